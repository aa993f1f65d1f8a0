// Reading and writing the database header page (layout in jet/format/header_page.h): the
// RC4 mask over its middle, and the fields inside it. The reader decides from these what a
// file is; the database creator writes a new file's header with them.
#pragma once

#include <cstdint>

#include "jet/format/header_page.h"
#include "jet/format/types.h"
#include "jet/schema.h"

namespace jet::codec {

// XORs the masked region of a header page (at least format::header::kHeaderBytes long) with the
// key stream; applying it twice restores the bytes. Used on a copy of page 0.
void applyHeaderMask(Format format, uint8_t* page);

// The fields of the masked region, read from or written to unmasked bytes.
struct HeaderFields {
  uint16_t codePage = 0;
  SortOrder sortOrder;
  uint32_t databaseKey = 0;  // not zero when the pages are encoded
  bool hasPassword = false;  // read only: a database password is set
  double created = 0;        // Jet 4: creation date (it also masks the password)
};
HeaderFields readHeaderFields(const uint8_t* unmasked, Format format);
// Writes code page, sort order, creation date (Jet 4) and an empty password (which the file
// stores as its mask); leaves every other byte as it is.
void writeHeaderFields(uint8_t* unmasked, Format format, const HeaderFields& fields);

}  // namespace jet::codec
