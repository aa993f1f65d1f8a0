// The journal a flush leaves beside a database file ("<file>-journal") while it writes pages:
// the old bytes of every page the flush overwrites, so an interrupted flush can be undone.
// Layout (little-endian): a header, one entry per saved page, then a trailer repeating the
// magic and the count. A journal without its trailer was never finished: the flush had not
// yet touched the database, and the journal is simply dropped.
#pragma once

#include <cstdint>

namespace jet::format::journal {

constexpr uint32_t kMagic = 0x4A524151;  // "QARJ"

// Header.
constexpr uint32_t kHeaderMagic = 0;     // u32 kMagic
constexpr uint32_t kHeaderPageSize = 4;  // u32 page size of the database
constexpr uint32_t kHeaderOldSize = 8;   // u64 length of the database before the flush
constexpr uint32_t kHeaderCount = 16;    // u32 number of page entries
constexpr uint32_t kHeaderSize = 24;     // bytes 20..23 are zero

// Each entry: u32 page number, then the page's old bytes (page size of them).
constexpr uint32_t kEntryPage = 0;
constexpr uint32_t kEntryBytes = 4;

// Trailer, after the last entry.
constexpr uint32_t kTrailerMagic = 0;  // u32 kMagic
constexpr uint32_t kTrailerCount = 4;  // u32 number of page entries again
constexpr uint32_t kTrailerSize = 8;

constexpr uint64_t entrySize(uint32_t pageSize) { return kEntryBytes + uint64_t{pageSize}; }
constexpr uint64_t journalSize(uint32_t pageSize, uint32_t count) {
  return kHeaderSize + uint64_t{count} * entrySize(pageSize) + kTrailerSize;
}

}  // namespace jet::format::journal
