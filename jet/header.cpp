// Header page decoding.
#include "jet/header.h"

#include <cstring>

#include "jet/codec/header_page.h"
#include "jet/error.h"
#include "jet/format/header_page.h"

namespace jet {

namespace hdr = format::header;

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
  codec::applyHeaderMask(info.format, page.data());
  const codec::HeaderFields fields = codec::readHeaderFields(page.data(), info.format);
  if (fields.databaseKey != 0) {
    throw Error(ErrorKind::Unsupported, "the database is encoded; decode it in Access first");
  }
  info.codePage = fields.codePage;
  info.sortOrder = fields.sortOrder;
  const bool hasPassword = fields.hasPassword;
  if (hasPassword) {
    throw Error(ErrorKind::Unsupported, "the database is protected by a database password; remove it in Access first");
  }
  return info;
}

}  // namespace jet
