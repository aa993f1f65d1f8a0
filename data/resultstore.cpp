// Column-wise storage of an open query's rows (layout in resultstore.h).
#include "data/resultstore.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace qar::data {
namespace {

enum class Storage { Integer, Float, Double, Currency, DateTime, Text, Bytes, Guid, Decimal };

Storage storageOf(jet::ColumnKind kind) {
  switch (kind) {
    case jet::ColumnKind::YesNo:
    case jet::ColumnKind::Byte:
    case jet::ColumnKind::Integer:
    case jet::ColumnKind::Long: return Storage::Integer;
    case jet::ColumnKind::Single: return Storage::Float;
    case jet::ColumnKind::Double: return Storage::Double;
    case jet::ColumnKind::DateTime: return Storage::DateTime;
    case jet::ColumnKind::Currency: return Storage::Currency;
    case jet::ColumnKind::Text:
    case jet::ColumnKind::Memo: return Storage::Text;
    case jet::ColumnKind::ReplicationID: return Storage::Guid;
    case jet::ColumnKind::Decimal: return Storage::Decimal;
    case jet::ColumnKind::Binary:
    case jet::ColumnKind::OLE: break;
  }
  return Storage::Bytes;
}

[[noreturn]] void wrongType(jet::ColumnKind kind) {
  throw jet::Error(jet::ErrorKind::Invalid,
                   "A value of the wrong type for a " + std::string(jet::kindName(kind)) + " column");
}

}  // namespace

ResultStore::ResultStore(std::vector<jet::ColumnKind> kinds) {
  columns_.reserve(kinds.size());
  for (auto k : kinds) columns_.push_back(Column{k, {}, {}});
}

void ResultStore::reserve(size_t rows) {
  rowIds_.reserve(rows);
  for (auto& c : columns_) {
    c.cells.reserve(rows);
    c.nullBits.reserve(rows / 64 + 1);
  }
}

uint64_t ResultStore::addToPool(std::string_view bytes) {
  uint64_t offset = pool_.size();
  uint64_t n = bytes.size();
  char length[10];
  size_t used = 0;
  do {  // little-endian base-128 length
    char b = static_cast<char>(n & 0x7F);
    n >>= 7;
    if (n) b = static_cast<char>(b | 0x80);
    length[used++] = b;
  } while (n);
  if (pool_.capacity() - pool_.size() < used + bytes.size())
    pool_.reserve(std::max(pool_.capacity() * 2, pool_.size() + used + bytes.size()));
  pool_.append(length, used);
  pool_.append(bytes);
  return offset;
}

std::string_view ResultStore::bytesAt(size_t row, size_t column) const {
  uint64_t offset = columns_[column].cells[row];
  uint64_t n = 0;
  int shift = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(pool_.data()) + offset;
  while (true) {
    n |= static_cast<uint64_t>(*p & 0x7F) << shift;
    if (!(*p++ & 0x80)) break;
    shift += 7;
  }
  return {reinterpret_cast<const char*>(p), n};
}

uint64_t ResultStore::encode(const Column& column, const jet::Value& v) {
  switch (storageOf(column.kind)) {
    case Storage::Integer:
      if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
      if (auto* u8 = std::get_if<uint8_t>(&v)) return *u8;
      if (auto* i16 = std::get_if<int16_t>(&v)) return static_cast<uint64_t>(int64_t{*i16});
      if (auto* i32 = std::get_if<int32_t>(&v)) return static_cast<uint64_t>(int64_t{*i32});
      break;
    case Storage::Float:
      if (auto* f = std::get_if<float>(&v)) return std::bit_cast<uint64_t>(double{*f});
      break;
    case Storage::Double:
      if (auto* d = std::get_if<double>(&v)) return std::bit_cast<uint64_t>(*d);
      break;
    case Storage::DateTime:
      if (auto* d = std::get_if<jet::DateTime>(&v)) return std::bit_cast<uint64_t>(d->days);
      break;
    case Storage::Currency:
      if (auto* c = std::get_if<jet::Currency>(&v)) return static_cast<uint64_t>(c->scaled);
      break;
    case Storage::Text:
      if (auto* s = std::get_if<std::string>(&v)) return addToPool(*s);
      break;
    case Storage::Bytes:
      if (auto* b = std::get_if<jet::Bytes>(&v))
        return addToPool({reinterpret_cast<const char*>(b->data()), b->size()});
      break;
    case Storage::Guid:
      if (auto* g = std::get_if<jet::Guid>(&v))
        return addToPool({reinterpret_cast<const char*>(g->bytes.data()), g->bytes.size()});
      break;
    case Storage::Decimal:
      if (auto* d = std::get_if<jet::Decimal>(&v)) {
        decimals_.push_back(*d);
        return decimals_.size() - 1;
      }
      break;
  }
  wrongType(column.kind);
}

void ResultStore::setNull(Column& column, size_t row, bool null) {
  size_t word = row / 64;
  if (column.nullBits.size() <= word) column.nullBits.resize(word + 1, 0);
  if (!null && !(column.nullBits[word] >> (row % 64) & 1)) return;  // the usual case
  uint64_t bit = uint64_t{1} << (row % 64);
  if (null)
    column.nullBits[word] |= bit;
  else
    column.nullBits[word] &= ~bit;
}

void ResultStore::appendRow(const jet::Row& row, jet::RowId id) {
  if (row.size() != columns_.size())
    throw jet::Error(jet::ErrorKind::Invalid, "A row with " + std::to_string(row.size()) +
                                                  " values for a result of " +
                                                  std::to_string(columns_.size()) + " columns");
  const size_t r = rowIds_.size();
  const size_t word = r / 64;
  const uint64_t bit = uint64_t{1} << (r % 64);
  for (size_t c = 0; c < columns_.size(); ++c) {
    Column& column = columns_[c];
    const bool null = jet::isNull(row[c]);
    column.cells.push_back(null ? 0 : encode(column, row[c]));
    if (column.nullBits.size() <= word) column.nullBits.resize(word + 1, 0);
    column.nullBits[word] = (column.nullBits[word] & ~bit) | (null ? bit : 0);
  }
  rowIds_.push_back(id);
}

void ResultStore::setCell(size_t row, size_t column, const jet::Value& value) {
  Column& c = columns_.at(column);
  if (row >= rowIds_.size()) throw std::out_of_range("row past the end of the result");
  bool null = jet::isNull(value);
  if (!null) c.cells[row] = encode(c, value);
  setNull(c, row, null);
}

bool ResultStore::isNull(size_t row, size_t column) const {
  const Column& c = columns_[column];
  return (c.nullBits[row / 64] >> (row % 64)) & 1;
}

int64_t ResultStore::integerAt(size_t row, size_t column) const {
  return static_cast<int64_t>(columns_[column].cells[row]);
}

double ResultStore::doubleAt(size_t row, size_t column) const {
  return std::bit_cast<double>(columns_[column].cells[row]);
}

jet::Value ResultStore::cell(size_t row, size_t column) const {
  if (isNull(row, column)) return jet::Null{};
  const Column& c = columns_[column];
  uint64_t slot = c.cells[row];
  switch (c.kind) {
    case jet::ColumnKind::YesNo: return slot != 0;
    case jet::ColumnKind::Byte: return static_cast<uint8_t>(slot);
    case jet::ColumnKind::Integer: return static_cast<int16_t>(slot);
    case jet::ColumnKind::Long: return static_cast<int32_t>(slot);
    case jet::ColumnKind::Single: return static_cast<float>(std::bit_cast<double>(slot));
    case jet::ColumnKind::Double: return std::bit_cast<double>(slot);
    case jet::ColumnKind::DateTime: return jet::DateTime{std::bit_cast<double>(slot)};
    case jet::ColumnKind::Currency: return jet::Currency{static_cast<int64_t>(slot)};
    case jet::ColumnKind::Text:
    case jet::ColumnKind::Memo: return std::string(bytesAt(row, column));
    case jet::ColumnKind::ReplicationID: {
      jet::Guid g;
      auto b = bytesAt(row, column);
      std::memcpy(g.bytes.data(), b.data(), std::min(b.size(), g.bytes.size()));
      return g;
    }
    case jet::ColumnKind::Decimal: return decimals_[slot];
    case jet::ColumnKind::Binary:
    case jet::ColumnKind::OLE: break;
  }
  auto b = bytesAt(row, column);
  return jet::Bytes(b.begin(), b.end());
}

jet::Row ResultStore::row(size_t r) const {
  jet::Row out;
  out.reserve(columns_.size());
  for (size_t c = 0; c < columns_.size(); ++c) out.push_back(cell(r, c));
  return out;
}

size_t ResultStore::memoryBytes() const {
  size_t n = pool_.capacity() + rowIds_.capacity() * sizeof(jet::RowId) +
             decimals_.capacity() * sizeof(jet::Decimal);
  for (const auto& c : columns_) n += c.cells.capacity() * 8 + c.nullBits.capacity() * 8;
  return n;
}

}  // namespace qar::data
