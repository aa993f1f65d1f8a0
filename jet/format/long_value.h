// Memo and OLE values: the 12-byte reference a row stores, and the long-value rows it names.
//
//   0x00  4  length (low 30 bits) and storage (top two bits, read as the top byte):
//              0x80 the value follows this reference in the row itself
//              0x40 the value is one whole row on an LVAL page
//              0x00 the value is a chain of rows on LVAL pages
//   0x04  1  row number of the first long-value row
//   0x05  3  page number of the first long-value row
//   0x08  4  unused
//   0x0C     inline value (storage 0x80 only)
//
// In a chain every row starts with a 4-byte pointer (row number, 3-byte page number) to the
// next row, 0 in the last one, followed by that row's part of the value.
// Values stored on disk: never change them.
#pragma once

#include <cstdint>

#include "jet/format/types.h"

namespace jet::format::longvalue {

inline constexpr uint32_t kLength = 0x00;
inline constexpr uint32_t kLengthMask = 0x3FFFFFFF;
inline constexpr uint32_t kStorageShift = 24;
inline constexpr uint8_t kStorageMask = 0xC0;
inline constexpr uint8_t kInline = 0x80;
inline constexpr uint8_t kSingleRow = 0x40;
inline constexpr uint8_t kChain = 0x00;
inline constexpr uint32_t kRow = 0x04;
inline constexpr uint32_t kPage = 0x05;
inline constexpr uint32_t kReferenceSize = 12;
inline constexpr uint32_t kInlineData = kReferenceSize;

inline constexpr uint32_t kChainPointerSize = 4;

// Limits: the longest value (Access's limit), the longest value kept inside the row itself,
// and the longest kept in a single long-value row (what an empty long-value page holds,
// less a few bytes Access keeps free: 2048-byte pages in Jet 3, 4096 in Jet 4).
inline constexpr uint32_t kMaxLength = kLengthMask;
inline constexpr uint32_t kMaxInlineJet4 = 64;
inline constexpr uint32_t kMaxInlineJet3 = 64;
inline constexpr uint32_t kMaxSingleRowJet4 = 4076;
inline constexpr uint32_t kMaxSingleRowJet3 = 2032;

inline constexpr uint32_t maxSingleRow(Format f) { return f == Format::Jet3 ? kMaxSingleRowJet3 : kMaxSingleRowJet4; }

}  // namespace jet::format::longvalue
