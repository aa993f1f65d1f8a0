// Decoding (and unmasking) the database header page: format, code page, sort order, and the
// checks that refuse files this engine cannot open (ACE, encoded, password-protected).
#pragma once

#include <cstdint>
#include <vector>

#include "jet/codec/header_page.h"
#include "jet/format/header_page.h"
#include "jet/format/types.h"
#include "jet/schema.h"

namespace jet {

struct HeaderInfo {
  Format format = Format::Jet4;
  uint32_t pageSize = 4096;
  uint16_t codePage = 0;
  SortOrder sortOrder;
};

// Page size of a format.
inline uint32_t pageSizeOf(Format f) {
  return f == Format::Jet3 ? format::header::kPageSizeJet3 : format::header::kPageSizeJet4;
}

// The header mask (jet/codec/header_page.h), for tools that look at page 0 themselves.
using codec::applyHeaderMask;

// Reads the first bytes of a file (at least kHeaderBytes, or the whole file when shorter) and
// decides what it is. Throws ErrorKind::Unsupported for ACE files ("Access 2007 format is not
// supported"), encoded or password-protected databases; ErrorKind::Corrupt for anything that is
// not a Jet 3 or Jet 4 database.
HeaderInfo decodeHeader(const std::vector<uint8_t>& firstBytes);

}  // namespace jet
