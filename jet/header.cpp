// Header page decoding.
#include "jet/header.h"

#include <cmath>
#include <cstring>

#include "jet/error.h"
#include "jet/format/header_page.h"
#include "jet/util/bytes.h"
#include "jet/util/rc4.h"

namespace jet {

namespace hdr = format::header;

void applyHeaderMask(Format format, uint8_t* page) {
  uint8_t key[4];
  put32(key, hdr::kMaskKey);
  size_t len = format == Format::Jet3 ? hdr::kMaskedSizeJet3 : hdr::kMaskedSizeJet4;
  rc4Apply(key, sizeof key, page + hdr::kMaskedRegion, len);
}

HeaderInfo decodeHeader(const std::vector<uint8_t>& firstBytes) {
  const std::string notJet = "not a Jet 3 or Jet 4 database";
  if (firstBytes.size() < hdr::kVersion + 1 || firstBytes[0] != hdr::kPageType) {
    throw Error(ErrorKind::Corrupt, notJet);
  }
  const char* engine = reinterpret_cast<const char*>(firstBytes.data() + hdr::kEngineName);
  uint8_t version = firstBytes[hdr::kVersion];
  if (std::memcmp(engine, hdr::kAceEngineName, hdr::kEngineNameSize) == 0 ||
      (std::memcmp(engine, hdr::kJetEngineName, hdr::kEngineNameSize) == 0 && version >= 2)) {
    throw Error(ErrorKind::Unsupported, "Access 2007 format is not supported");
  }
  if (std::memcmp(engine, hdr::kJetEngineName, hdr::kEngineNameSize) != 0 ||
      (version != hdr::kVersionJet3 && version != hdr::kVersionJet4)) {
    throw Error(ErrorKind::Corrupt, notJet);
  }
  HeaderInfo info;
  info.format = version == hdr::kVersionJet3 ? Format::Jet3 : Format::Jet4;
  info.pageSize = pageSizeOf(info.format);
  if (firstBytes.size() < info.pageSize) {
    throw Error(ErrorKind::Corrupt, notJet + ": the file is shorter than one page (" +
                                        std::to_string(firstBytes.size()) + " bytes)");
  }

  std::vector<uint8_t> page(firstBytes.begin(), firstBytes.begin() + hdr::kHeaderBytes);
  applyHeaderMask(info.format, page.data());
  const uint8_t* p = page.data();

  if (le32(p + hdr::kDatabaseKey) != 0) {
    throw Error(ErrorKind::Unsupported, "the database is encoded; decode it in Access first");
  }
  info.codePage = le16(p + hdr::kCodePage);
  bool hasPassword = false;
  if (info.format == Format::Jet3) {
    info.sortOrder = SortOrder{le16(p + hdr::kSortOrderJet3), 0};
    for (uint32_t i = 0; i < hdr::kPasswordSizeJet3; ++i) hasPassword |= p[hdr::kPassword + i] != 0;
  } else {
    info.sortOrder = SortOrder{le16(p + hdr::kSortOrderJet4), p[hdr::kSortOrderVersionJet4]};
    // The password bytes are masked once more with the integer part of the creation date.
    double created = leDouble(p + hdr::kCreationDateJet4);
    uint8_t mask[4] = {0, 0, 0, 0};
    if (std::isfinite(created) && std::fabs(created) < 2147483647.0) {
      put32(mask, static_cast<uint32_t>(static_cast<int32_t>(created)));
    }
    for (uint32_t i = 0; i < hdr::kPasswordSizeJet4; ++i) {
      hasPassword |= (p[hdr::kPassword + i] ^ mask[i % 4]) != 0;
    }
  }
  if (hasPassword) {
    throw Error(ErrorKind::Unsupported, "the database is protected by a database password; remove it in Access first");
  }
  return info;
}

}  // namespace jet
