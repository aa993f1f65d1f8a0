// Builds index keys from typed values: numbers, dates, Yes/No, GUIDs, decimals, binary
// and text, ascending or descending, one field per index column.
#include "jet/index/key_encoder.h"

#include <cmath>
#include <cstring>
#include <optional>

#include "jet/error.h"
#include "jet/format/index_key.h"
#include "jet/index/proven_sort_orders.h"
#include "jet/index/text_key.h"

namespace jet {
namespace {

using namespace format::indexkey;

constexpr SortOrder kGeneralLegacy{1033, 0};

[[noreturn]] void refuse(const KeyColumn& column, const char* what) {
  throw Error(ErrorKind::Invalid, std::string("index key: ") + what + " for a " +
                                      std::string(kindName(column.kind)) + " column");
}

std::optional<int64_t> integerOf(const Value& v) {
  if (auto p = std::get_if<uint8_t>(&v)) return *p;
  if (auto p = std::get_if<int16_t>(&v)) return *p;
  if (auto p = std::get_if<int32_t>(&v)) return *p;
  return std::nullopt;
}

int64_t integerIn(const KeyColumn& column, const Value& v, int64_t lo, int64_t hi) {
  auto n = integerOf(v);
  if (!n) refuse(column, "a value of another type");
  if (*n < lo || *n > hi) refuse(column, "a number out of range");
  return *n;
}

double floatingOf(const KeyColumn& column, const Value& v) {
  if (auto p = std::get_if<double>(&v)) return *p;
  if (auto p = std::get_if<float>(&v)) return *p;
  if (auto n = integerOf(v)) return static_cast<double>(*n);
  refuse(column, "a value of another type");
}

// Appends the low `width` bytes of bits, most significant first, with the top bit
// inverted (so negative numbers sort first), all inverted again when descending.
void appendSigned(uint64_t bits, int width, bool ascending, KeyBytes& out) {
  bits ^= uint64_t{1} << (8 * width - 1);
  if (!ascending) bits = ~bits;
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

// IEEE numbers: positive ones get their sign bit set, negative ones are inverted whole.
void appendFloating(uint64_t bits, int width, bool ascending, KeyBytes& out) {
  const uint64_t sign = uint64_t{1} << (8 * width - 1);
  const bool negative = (bits & sign) != 0;
  if (!negative) bits ^= sign;
  if (negative == ascending) bits = ~bits;
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

void appendSegments(const uint8_t* data, size_t size, bool ascending, KeyBytes& out) {
  const uint8_t invert = ascending ? 0x00 : 0xFF;
  while (size > kSegmentData) {
    // A full segment with more after it: the data is inverted for descending, the 9 not.
    for (size_t i = 0; i < kSegmentData; ++i) out.push_back(data[i] ^ invert);
    out.push_back(kMoreSegments);
    data += kSegmentData;
    size -= kSegmentData;
  }
  if (size == 0) return;
  for (size_t i = 0; i < kSegmentData; ++i) out.push_back((i < size ? data[i] : 0) ^ invert);
  out.push_back(static_cast<uint8_t>(size) ^ invert);
}

// Jet 4 decimals (the original Jet ordering, kept by Access 2000-2003 files): a sign byte,
// then the 16-byte magnitude. Rescaled to the column's scale first.
void appendDecimal(const KeyColumn& column, const Value& v, KeyBytes& out) {
  Decimal d;
  if (auto p = std::get_if<Decimal>(&v)) {
    d = *p;
  } else if (auto n = integerOf(v)) {
    d.negative = *n < 0;
    d.magnitude = static_cast<unsigned __int128>(*n < 0 ? -*n : *n);
  } else {
    refuse(column, "a value of another type");
  }
  static const unsigned __int128 kLimit = [] {
    unsigned __int128 x = 1;
    for (int i = 0; i < 28; ++i) x *= 10;
    return x;
  }();
  while (d.scale < column.scale) {
    if (d.magnitude >= kLimit / 10) refuse(column, "a decimal with too many digits");
    d.magnitude *= 10;
    ++d.scale;
  }
  while (d.scale > column.scale) {
    if (d.magnitude % 10 != 0) refuse(column, "a decimal with more digits after the point than the column keeps");
    d.magnitude /= 10;
    --d.scale;
  }
  if (d.magnitude >= kLimit) refuse(column, "a decimal with too many digits");
  const bool negative = d.negative && d.magnitude != 0;
  uint8_t bytes[17];
  for (int i = 0; i < 16; ++i) bytes[1 + i] = static_cast<uint8_t>(d.magnitude >> (8 * (15 - i)));
  if (negative == column.ascending) {
    for (int i = 1; i < 17; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
  }
  bytes[0] = negative ? 0x00 : 0xFF;
  out.insert(out.end(), bytes, bytes + 17);
}

// Rows store a GUID's first three groups little-endian; keys store them as written.
void appendGuid(const Guid& g, bool ascending, KeyBytes& out) {
  uint8_t ordered[16];
  for (int i = 0; i < 16; ++i) ordered[i] = g.bytes[kGuidWrittenOrder[i]];
  appendSegments(ordered, 16, ascending, out);
}

void appendValue(const KeyColumn& column, const Value& value, KeyBytes& out) {
  const bool asc = column.ascending;
  switch (column.kind) {
    case ColumnKind::Byte: {
      uint8_t b = static_cast<uint8_t>(integerIn(column, value, 0, 255));
      out.push_back(asc ? b : static_cast<uint8_t>(~b));
      return;
    }
    case ColumnKind::Integer:
      appendSigned(static_cast<uint64_t>(integerIn(column, value, INT16_MIN, INT16_MAX)), 2, asc, out);
      return;
    case ColumnKind::Long:
      appendSigned(static_cast<uint64_t>(integerIn(column, value, INT32_MIN, INT32_MAX)), 4, asc, out);
      return;
    case ColumnKind::Currency: {
      int64_t scaled;
      if (auto p = std::get_if<Currency>(&value)) {
        scaled = p->scaled;
      } else {
        scaled = integerIn(column, value, INT32_MIN, INT32_MAX) * 10000;
      }
      appendSigned(static_cast<uint64_t>(scaled), 8, asc, out);
      return;
    }
    case ColumnKind::Single: {
      float f;
      if (auto p = std::get_if<float>(&value)) {
        f = *p;
      } else {
        const double d = floatingOf(column, value);
        f = static_cast<float>(d);
        if (static_cast<double>(f) != d && !std::isnan(d)) refuse(column, "a number a Single cannot hold exactly");
      }
      uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      appendFloating(bits, 4, asc, out);
      return;
    }
    case ColumnKind::Double:
    case ColumnKind::DateTime: {
      double d;
      if (auto p = std::get_if<DateTime>(&value)) {
        d = p->days;
      } else if (column.kind == ColumnKind::DateTime && !std::holds_alternative<double>(value)) {
        refuse(column, "a value of another type");
      } else {
        d = floatingOf(column, value);
      }
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      appendFloating(bits, 8, asc, out);
      return;
    }
    case ColumnKind::ReplicationID: {
      auto p = std::get_if<Guid>(&value);
      if (!p) refuse(column, "a value of another type");
      appendGuid(*p, asc, out);
      return;
    }
    case ColumnKind::Binary: {
      auto p = std::get_if<Bytes>(&value);
      if (!p) refuse(column, "a value of another type");
      appendSegments(p->data(), p->size(), asc, out);
      return;
    }
    case ColumnKind::Decimal:
      appendDecimal(column, value, out);
      return;
    case ColumnKind::Text:
    case ColumnKind::Memo: {
      auto p = std::get_if<std::string>(&value);
      if (!p) refuse(column, "a value of another type");
      if (!canEncodeSortOrder(column.format, column.sortOrder)) {
        throw Error(ErrorKind::Unsupported,
                    "text index keys in " + describe(column.sortOrder) + " cannot be built");
      }
      if (!encodesEveryText(column.format, column.sortOrder)) requireProvenText(column.sortOrder, *p, "");
      if (column.format == Format::Jet3) {
        appendGeneral97Text(*p, asc, out);
      } else {
        appendGeneralLegacyText(*p, asc, out);
      }
      return;
    }
    case ColumnKind::YesNo:
    case ColumnKind::OLE:
      break;
  }
  throw Error(ErrorKind::Unsupported,
              "columns of kind " + std::string(kindName(column.kind)) + " cannot be indexed");
}

}  // namespace

bool encodesEveryText(Format format, SortOrder order) {
  if (format == Format::Jet3) return order.id == kGeneralLegacy.id;  // Jet 3 stores no version
  return order == kGeneralLegacy;
}

bool canEncodeSortOrder(Format format, SortOrder order) {
  return encodesEveryText(format, order) || (format == Format::Jet4 && provenSortOrder(order) != nullptr);
}

void appendKeyField(const KeyColumn& column, const Value& value, KeyBytes& out) {
  const size_t mark = out.size();
  if (column.kind == ColumnKind::YesNo) {
    bool yes = false;
    if (auto p = std::get_if<bool>(&value)) {
      yes = *p;
    } else if (!isNull(value)) {
      refuse(column, "a value of another type");
    }
    out.push_back(column.ascending ? kAscendingStart : kDescendingStart);
    const uint8_t stored = yes ? kAscendingYes : kAscendingNo;
    out.push_back(column.ascending ? stored : static_cast<uint8_t>(~stored));
    return;
  }
  if (isNull(value)) {
    out.push_back(column.ascending ? kAscendingNull : kDescendingNull);
    return;
  }
  out.push_back(column.ascending ? kAscendingStart : kDescendingStart);
  try {
    appendValue(column, value, out);
  } catch (...) {
    out.resize(mark);
    throw;
  }
}

KeyEncoder::KeyEncoder(const TableDef& table, const Index& index, Format format)
    : where_("index " + index.name + " of table " + table.name) {
  for (const IndexColumn& ic : index.columns) {
    if (ic.column < 0 || static_cast<size_t>(ic.column) >= table.columns.size()) {
      throw Error(ErrorKind::Corrupt, "index " + index.name + " of table " + table.name +
                                          " refers to a column the table does not have");
    }
    const Column& col = table.columns[ic.column];
    KeyColumn kc;
    kc.kind = col.kind;
    kc.ascending = ic.ascending;
    kc.sortOrder = col.sortOrder;
    kc.scale = col.scale;
    kc.format = format;
    columns_.push_back(kc);
    positions_.push_back(ic.column);
    if ((col.kind == ColumnKind::Text || col.kind == ColumnKind::Memo) && !encodesEveryText(format, col.sortOrder)) {
      provenOnly_ = true;
    }
    if (!reason_.empty()) continue;
    const std::string where = "index " + index.name + " of table " + table.name;
    if (col.unknownKind || col.kind == ColumnKind::OLE) {
      reason_ = where + " cannot be written: column " + col.name + " is of a kind the engine cannot index";
    } else if ((col.kind == ColumnKind::Text || col.kind == ColumnKind::Memo) &&
               !canEncodeSortOrder(format, col.sortOrder)) {
      reason_ = where + " cannot be written: column " + col.name + " uses the text " +
                describe(col.sortOrder) + (format == Format::Jet3 ? " in a Jet 3 file" : "") +
                ", which the engine cannot encode";
    } else if (format == Format::Jet3 && (col.kind == ColumnKind::Text || col.kind == ColumnKind::Memo) &&
               col.codePage != 0 && col.codePage != kGeneral97CodePage) {
      reason_ = where + " cannot be written: column " + col.name + " holds text in code page " +
                std::to_string(col.codePage) + ", whose keys in the General sort order of Jet 3 files the engine " +
                "cannot build (it builds them for code page " + std::to_string(kGeneral97CodePage) + ")";
    }
  }
}

void KeyEncoder::check() const {
  if (!reason_.empty()) throw Error(ErrorKind::Unsupported, reason_);
}

void KeyEncoder::requireProvenRow(const Row& row) const {
  if (!provenOnly_) return;
  for (size_t i = 0; i < columns_.size(); ++i) {
    const KeyColumn& c = columns_[i];
    if (c.kind != ColumnKind::Text && c.kind != ColumnKind::Memo) continue;
    const size_t at = static_cast<size_t>(positions_[i]);
    if (at >= row.size()) continue;
    if (auto text = std::get_if<std::string>(&row[at])) requireProvenText(c.sortOrder, *text, where_);
  }
}

void KeyEncoder::encodeRow(const Row& row, KeyBytes& out) const {
  check();
  requireProvenRow(row);
  const size_t mark = out.size();
  try {
    for (size_t i = 0; i < columns_.size(); ++i) {
      const size_t at = static_cast<size_t>(positions_[i]);
      if (at >= row.size()) throw Error(ErrorKind::Invalid, "index key: the row has too few values");
      appendKeyField(columns_[i], row[at], out);
    }
  } catch (...) {
    out.resize(mark);
    throw;
  }
}

void KeyEncoder::encodeKey(const Row& key, KeyBytes& out) const {
  check();
  if (key.size() > columns_.size()) {
    throw Error(ErrorKind::Invalid, "index key: " + std::to_string(key.size()) + " values given for an index of " +
                                        std::to_string(columns_.size()) + " columns");
  }
  const size_t mark = out.size();
  try {
    for (size_t i = 0; i < key.size(); ++i) {
      const KeyColumn& c = columns_[i];
      if (provenOnly_ && (c.kind == ColumnKind::Text || c.kind == ColumnKind::Memo)) {
        if (auto text = std::get_if<std::string>(&key[i])) requireProvenText(c.sortOrder, *text, where_);
      }
      appendKeyField(c, key[i], out);
    }
  } catch (...) {
    out.resize(mark);
    throw;
  }
}

bool KeyEncoder::allNull(const Row& row) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].kind == ColumnKind::YesNo) return false;
    const size_t at = static_cast<size_t>(positions_[i]);
    if (at < row.size() && !isNull(row[at])) return false;
  }
  return true;
}

}  // namespace jet
