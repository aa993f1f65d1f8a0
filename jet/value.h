// Typed column values as the engine reads and writes them.
// Text is UTF-8 inside the program; the engine converts to and from the file's encoding.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

struct Null {
  friend bool operator==(Null, Null) { return true; }
};

// Currency: a 64-bit integer holding the amount times 10,000 (four decimals, exact).
struct Currency {
  int64_t scaled = 0;
  friend bool operator==(const Currency&, const Currency&) = default;
};

// Date/Time: days since 1899-12-30 00:00 (the OLE automation date), fraction = time of day.
struct DateTime {
  double days = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};
// 1970-01-01 (the Unix epoch) as a Date/Time day: 1899-12-30 is 25569 days before it.
inline constexpr int64_t kUnixEpochDay = 25569;

// Replication ID: 16 bytes in the order they are stored in the file.
struct Guid {
  std::array<uint8_t, 16> bytes{};
  friend bool operator==(const Guid&, const Guid&) = default;
};
// The file stores a GUID's first three groups little-endian and the last two as written:
// the i-th byte of its written form ({XXXXXXXX-XXXX-...}, and index keys) is stored byte
// kGuidWrittenOrder[i].
inline constexpr std::array<int, 16> kGuidWrittenOrder = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

// Decimal: sign, 96-bit magnitude (up to 28 digits) and scale (digits after the point).
struct Decimal {
  bool negative = false;
  uint8_t scale = 0;
  unsigned __int128 magnitude = 0;
  friend bool operator==(const Decimal&, const Decimal&) = default;
};

using Bytes = std::vector<uint8_t>;

// Which alternative a column kind reads as:
//   Yes/No -> bool, Byte -> uint8_t, Integer -> int16_t, Long (and auto-number) -> int32_t,
//   Currency -> Currency, Single -> float, Double -> double, Date/Time -> DateTime,
//   Text, Memo -> std::string (UTF-8), OLE, Binary, unknown kinds -> Bytes,
//   Replication ID -> Guid, Decimal -> Decimal. A Null column reads as Null.
using Value = std::variant<Null, bool, uint8_t, int16_t, int32_t, Currency, float, double, DateTime,
                           std::string, Bytes, Guid, Decimal>;

using Row = std::vector<Value>;

inline bool isNull(const Value& v) { return std::holds_alternative<Null>(v); }

}  // namespace jet
