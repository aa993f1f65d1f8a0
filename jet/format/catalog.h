// The catalog: MSysObjects, whose definition always starts on page 2, lists every object of a
// database. What its rows store: object kinds, flags, the identifiers of the containers a new
// database has, and the low bits of a table's id, which are its definition page.
// Values stored on disk: never change them.
#pragma once

#include <cstdint>

namespace jet::format::catalog {

inline constexpr uint32_t kCatalogPage = 2;

// Type column.
inline constexpr int16_t kObjectTypeTable = 1;
inline constexpr int16_t kObjectTypeDatabase = 2;
inline constexpr int16_t kObjectTypeContainer = 3;

// Flags column.
inline constexpr uint32_t kSystemObjectFlag = 0x80000000;
inline constexpr uint32_t kAltSystemObjectFlag = 0x00000002;
inline constexpr uint32_t kHiddenObjectFlag = 0x00000008;

// Id column: a table's id carries its definition page in the low three bytes.
inline constexpr uint32_t kObjectIdPageMask = 0x00FFFFFF;

// Ids of the root, the three containers and the database's own entry (MSysDb).
inline constexpr int32_t kRootId = 0x0F000000;
inline constexpr int32_t kTablesId = 0x0F000001;
inline constexpr int32_t kDatabasesId = 0x0F000002;
inline constexpr int32_t kRelationshipsId = 0x0F000003;
inline constexpr int32_t kDatabaseEntryId = 0x10000000;

// Access rights an access entry (MSysACEs) grants for everything.
inline constexpr int32_t kFullAccess = 0x000FFFFF;

}  // namespace jet::format::catalog
