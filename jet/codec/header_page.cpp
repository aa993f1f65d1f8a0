// Header page fields and mask.
#include "jet/codec/header_page.h"

#include <cmath>

#include "jet/util/bytes.h"
#include "jet/util/rc4.h"

namespace jet::codec {

namespace hdr = format::header;

namespace {

// Jet 4 masks the password once more with the integer part of the creation date.
void passwordMask(double created, uint8_t (&mask)[4]) {
  mask[0] = mask[1] = mask[2] = mask[3] = 0;
  if (std::isfinite(created) && std::fabs(created) < 2147483647.0) {
    put32(mask, static_cast<uint32_t>(static_cast<int32_t>(created)));
  }
}

}  // namespace

void applyHeaderMask(Format format, uint8_t* page) {
  uint8_t key[4];
  put32(key, hdr::kMaskKey);
  rc4Apply(key, sizeof key, page + hdr::kMaskedRegion, hdr::layout(format).maskedSize);
}

HeaderFields readHeaderFields(const uint8_t* p, Format format) {
  const hdr::HeaderLayout& at = hdr::layout(format);
  HeaderFields f;
  f.databaseKey = le32(p + hdr::kDatabaseKey);
  f.codePage = le16(p + hdr::kCodePage);
  f.sortOrder.id = le16(p + at.sortOrder);
  if (at.sortVersion != hdr::HeaderLayout::kAbsent) f.sortOrder.version = p[at.sortVersion];
  uint8_t mask[4] = {0, 0, 0, 0};
  if (at.creationDate != hdr::HeaderLayout::kAbsent) {
    f.created = leDouble(p + at.creationDate);
    passwordMask(f.created, mask);
  }
  for (uint32_t i = 0; i < at.passwordSize; ++i) f.hasPassword |= (p[hdr::kPassword + i] ^ mask[i % 4]) != 0;
  return f;
}

void writeHeaderFields(uint8_t* p, Format format, const HeaderFields& fields) {
  const hdr::HeaderLayout& at = hdr::layout(format);
  put16(p + hdr::kCodePage, fields.codePage);
  put16(p + at.sortOrder, fields.sortOrder.id);
  if (at.sortVersion != hdr::HeaderLayout::kAbsent) p[at.sortVersion] = fields.sortOrder.version;
  uint8_t mask[4] = {0, 0, 0, 0};
  if (at.creationDate != hdr::HeaderLayout::kAbsent) {
    putDouble(p + at.creationDate, fields.created);
    passwordMask(fields.created, mask);
  }
  for (uint32_t i = 0; i < at.passwordSize; ++i) p[hdr::kPassword + i] = mask[i % 4];
}

}  // namespace jet::codec
