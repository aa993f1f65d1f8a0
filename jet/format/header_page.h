// Page 0 of an Access file, the database header page, as Jet 3 and Jet 4 store it.
//
//   0x00  1  page type (0x00)
//   0x04 15  engine name: "Standard Jet DB" (Jet 3/4), "Standard ACE DB" (Access 2007+)
//   0x14  4  version: 0 Jet 3, 1 Jet 4, 2 and up ACE (Access 2007, 2010, ...)
//   0x18     masked region, XORed with an RC4 key stream (126 bytes Jet 3, 128 bytes Jet 4):
//     0x3A  2  Jet 3: default sort order (locale id)
//     0x3C  2  default code page
//     0x3E  4  database key: not zero when the pages are encoded
//     0x42 20  Jet 3: database password (code page bytes)
//     0x42 40  Jet 4: database password (UTF-16), XORed again with a mask from 0x72
//     0x6E  4  Jet 4: default sort order: locale id (2 bytes), unused, version (1 byte)
//     0x72  8  Jet 4: creation date (a Double); its integer part, little-endian, masks the password
// Values stored on disk: never change them.
#pragma once

#include <cstdint>

#include "jet/format/types.h"

namespace jet::format::header {

inline constexpr uint8_t kPageType = 0x00;
inline constexpr uint8_t kPageMarker = 0x01;  // the byte after the type in a new file
inline constexpr uint32_t kEngineName = 0x04;
inline constexpr uint32_t kEngineNameSize = 15;
inline constexpr char kJetEngineName[] = "Standard Jet DB";
inline constexpr char kAceEngineName[] = "Standard ACE DB";
inline constexpr uint32_t kVersion = 0x14;
inline constexpr uint8_t kVersionJet3 = 0x00;
inline constexpr uint8_t kVersionJet4 = 0x01;

inline constexpr uint32_t kMaskedRegion = 0x18;
inline constexpr uint32_t kMaskedSizeJet3 = 126;
inline constexpr uint32_t kMaskedSizeJet4 = 128;
inline constexpr uint32_t kMaskKey = 0x6b39dac7;  // RC4 key, stored little-endian

inline constexpr uint32_t kSortOrderJet3 = 0x3A;
inline constexpr uint32_t kCodePage = 0x3C;
inline constexpr uint32_t kDatabaseKey = 0x3E;
inline constexpr uint32_t kPassword = 0x42;
inline constexpr uint32_t kPasswordSizeJet3 = 20;
inline constexpr uint32_t kPasswordSizeJet4 = 40;
inline constexpr uint32_t kSortOrderJet4 = 0x6E;
inline constexpr uint32_t kSortOrderVersionJet4 = kSortOrderJet4 + 3;
inline constexpr uint32_t kCreationDateJet4 = 0x72;

// Page sizes, and the default sort order of a new database ("General", locale 1033), which
// new text columns take too.
inline constexpr uint32_t kPageSizeJet3 = 2048;
inline constexpr uint32_t kPageSizeJet4 = 4096;
inline constexpr uint16_t kGeneralSortOrder = 0x0409;

// The fields whose place depends on the version, chosen by layout().
struct HeaderLayout {
  uint32_t maskedSize, sortOrder, sortVersion, passwordSize, creationDate;
  static constexpr uint32_t kAbsent = 0xFFFFFFFF;
};
inline constexpr HeaderLayout kHeaderJet3{kMaskedSizeJet3, kSortOrderJet3, HeaderLayout::kAbsent, kPasswordSizeJet3,
                                          HeaderLayout::kAbsent};
inline constexpr HeaderLayout kHeaderJet4{kMaskedSizeJet4, kSortOrderJet4, kSortOrderVersionJet4, kPasswordSizeJet4,
                                          kCreationDateJet4};
inline constexpr const HeaderLayout& layout(Format f) { return f == Format::Jet3 ? kHeaderJet3 : kHeaderJet4; }

// After the masked region, what the Jet engine writes into a new Jet 4 file: values at the
// start of the masked region (Jet 3 writes the same ones), its version tag and text, and a table of 0x0100 words running
// to the end of the page (the first 0x0101).
inline constexpr uint32_t kEngineValuesJet4[] = {0x100, 0x101, 2, 3, 4, 5};
inline constexpr uint32_t kEngineTagJet4 = 0x98;
inline constexpr uint32_t kEngineTagValueJet4 = 0x0654;
inline constexpr uint32_t kEngineTextJet4 = 0x9C;
inline constexpr char kEngineTextValueJet4[] = "4.0";
inline constexpr uint32_t kWordTableJet4 = 0xE00;
inline constexpr uint16_t kWordTableFirst = 0x0101;
inline constexpr uint16_t kWordTableWord = 0x0100;

// What the Jet 3 engine writes into a new Access 97 file: the same values at the start of
// the masked region, two words inside it, and the word table (0x0100 words, the first
// 0x0101) over the last 512 bytes of the page.
inline constexpr uint32_t kEngineWordJet3 = 0x38;
inline constexpr uint16_t kEngineWordValueJet3 = 0x0001;
inline constexpr uint32_t kEngineStampJet3 = 0x56;
inline constexpr uint16_t kEngineStampValueJet3 = 0x251E;
inline constexpr uint32_t kWordTableJet3 = 0x600;

// The smallest prefix of page 0 that holds every field above.
inline constexpr uint32_t kHeaderBytes = kMaskedRegion + kMaskedSizeJet4;

}  // namespace jet::format::header
