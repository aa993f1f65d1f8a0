// Row decoding: null mask, fixed area, variable offset table (with the Jet 3 jump table),
// and the typed value of each column's bytes.
#include "jet/row_decoder.h"

#include <functional>

#include "jet/error.h"
#include "jet/format/row.h"
#include "jet/format/table_def.h"
#include "jet/long_value.h"
#include "jet/text.h"
#include "jet/util/bytes.h"

namespace jet {

namespace fr = format::row;

namespace {
constexpr size_t kLongValueKept = size_t{1} << 20;  // the largest Memo buffer a decoder keeps
}  // namespace

uint32_t fixedSizeOf(const Column& column) {
  if (column.unknownKind) return column.size;
  switch (column.kind) {
    case ColumnKind::YesNo: return 0;
    case ColumnKind::Byte: return 1;
    case ColumnKind::Integer: return 2;
    case ColumnKind::Long: return 4;
    case ColumnKind::Currency: return 8;
    case ColumnKind::Single: return 4;
    case ColumnKind::Double: return 8;
    case ColumnKind::DateTime: return 8;
    case ColumnKind::ReplicationID: return 16;
    case ColumnKind::Decimal: return 17;
    default: return column.size;
  }
}

RowDecoder::RowDecoder(const TableInfo& info, Pager& pager, uint16_t databaseCodePage)
    : info_(info), pager_(pager), codePage_(databaseCodePage) {}

void RowDecoder::fail(RowId where, const std::string& what) const {
  throw Error(ErrorKind::Corrupt, "table " + info_.def.name + ", page " + std::to_string(where.page) + " row " +
                                      std::to_string(where.row) + ": " + what);
}

std::string RowDecoder::longValueContext(const Column& col, RowId where) const {
  return "table " + info_.def.name + ", column " + col.name + " (page " + std::to_string(where.page) + " row " +
         std::to_string(where.row) + ")";
}

Value RowDecoder::decodeValue(size_t index, const uint8_t* p, size_t len, RowId where) const {
  const Column& col = info_.def.columns[index];
  auto need = [&](size_t n) {
    if (len < n) {
      fail(where, "column " + col.name + " has " + std::to_string(len) + " bytes, " + std::to_string(n) + " expected");
    }
  };
  if (col.unknownKind) return Bytes(p, p + len);
  switch (col.kind) {
    case ColumnKind::YesNo: return false;
    case ColumnKind::Byte: need(1); return p[0];
    case ColumnKind::Integer: need(2); return static_cast<int16_t>(le16(p));
    case ColumnKind::Long: need(4); return static_cast<int32_t>(le32(p));
    case ColumnKind::Currency: need(8); return Currency{static_cast<int64_t>(le64(p))};
    case ColumnKind::Single: need(4); return leFloat(p);
    case ColumnKind::Double: need(8); return leDouble(p);
    case ColumnKind::DateTime: need(8); return DateTime{leDouble(p)};
    case ColumnKind::ReplicationID: {
      need(16);
      Guid g;
      std::copy(p, p + 16, g.bytes.begin());
      return g;
    }
    case ColumnKind::Decimal: {
      need(17);
      // Sign byte, then four little-endian 32-bit words, most significant first.
      Decimal d;
      d.negative = p[0] != 0;
      d.scale = col.scale;
      for (int w = 0; w < 4; ++w) d.magnitude = (d.magnitude << 32) | le32(p + 1 + 4 * w);
      return d;
    }
    case ColumnKind::Text:
      if (info_.format == Format::Jet4) return decodeJet4Text(p, len);
      return decodeCodePage(p, len, col.codePage ? col.codePage : codePage_);
    case ColumnKind::Memo: {
      auto context = [&] { return longValueContext(col, where); };  // passed by reference: nothing allocated
      const Bytes bytes = readLongValue(pager_, info_.format, p, len, std::ref(context));
      if (info_.format == Format::Jet4) return decodeJet4Text(bytes.data(), bytes.size());
      return decodeCodePage(bytes.data(), bytes.size(), col.codePage ? col.codePage : codePage_);
    }
    case ColumnKind::OLE: {
      auto context = [&] { return longValueContext(col, where); };
      return readLongValue(pager_, info_.format, p, len, std::ref(context));
    }
    case ColumnKind::Binary: return Bytes(p, p + len);
  }
  return Bytes(p, p + len);
}

void RowDecoder::decode(const uint8_t* row, size_t size, RowId where, Row& out) const {
  decodeColumns(row, size, where, out, nullptr);
}

void RowDecoder::decode(const uint8_t* row, size_t size, RowId where, Row& out,
                        const std::vector<bool>& wanted) const {
  decodeColumns(row, size, where, out, &wanted);
}

void RowDecoder::check(const uint8_t* row, size_t size, RowId where, Row& out, const std::vector<bool>& wanted) const {
  decodeColumns(row, size, where, out, &wanted, true);
}

void RowDecoder::checkUnbuilt(size_t index, const uint8_t* p, size_t len, RowId where, Value& out) const {
  const Column& col = info_.def.columns[index];
  out = Null{};
  if (col.unknownKind) return;
  switch (col.kind) {
    case ColumnKind::Text:
    case ColumnKind::Binary:
      return;  // any bytes are a value
    case ColumnKind::Memo:
    case ColumnKind::OLE: {
      auto context = [&] { return longValueContext(col, where); };
      checkLongValue(pager_, info_.format, p, len, std::ref(context));
      return;
    }
    default:
      decodeValue(index, p, len, where);  // a fixed size to check; the value is a scalar
      return;
  }
}

void RowDecoder::decodeColumns(const uint8_t* row, size_t size, RowId where, Row& out,
                               const std::vector<bool>* wanted, bool checkOthers) const {
  const Format f = info_.format;
  const size_t countSize = fr::columnCountSize(f);
  if (size < countSize) fail(where, "row of " + std::to_string(size) + " bytes is too short");
  const uint32_t columnCount = f == Format::Jet3 ? row[0] : le16(row);
  const size_t maskSize = (columnCount + 7) / 8;
  if (countSize + maskSize > size) fail(where, "null mask for " + std::to_string(columnCount) + " columns does not fit");
  const uint8_t* mask = row + size - maskSize;
  const size_t maskStart = size - maskSize;

  // The variable offset table, read on first need: offsets_[i] .. offsets_[i+1] is entry i.
  bool varRead = false;
  uint32_t varCount = 0;
  offsets_.clear();
  auto readVarTable = [&] {
    varRead = true;
    const size_t os = fr::varOffsetSize(f);
    if (maskStart < countSize + os) fail(where, "variable column count does not fit");
    const size_t countPos = maskStart - os;
    varCount = f == Format::Jet3 ? row[countPos] : le16(row + countPos);
    if (f == Format::Jet4) {
      size_t tableBytes = (static_cast<size_t>(varCount) + 1) * 2;
      if (countPos < countSize + tableBytes) fail(where, std::to_string(varCount) + " variable offsets do not fit");
      offsets_.resize(varCount + 1);
      for (uint32_t i = 0; i <= varCount; ++i) offsets_[i] = le16(row + countPos - 2 * (i + 1));
      // offsets_[varCount] is the end of the variable data.
    } else {
      const size_t rowEnd = size - 1;
      size_t jumps = (size - 1) / fr::kJumpStretch;
      if (rowEnd < maskSize + jumps + 1 + varCount + countSize) {
        fail(where, std::to_string(varCount) + " variable offsets do not fit");
      }
      const size_t first = rowEnd - maskSize - jumps - 1;  // entry 0, entries run downwards
      if ((first - varCount) / fr::kJumpStretch < jumps) --jumps;  // the last jump entry is unused
      offsets_.resize(varCount + 1);
      size_t used = 0;
      for (uint32_t i = 0; i <= varCount; ++i) {
        while (used < jumps && i == row[rowEnd - maskSize - used - 1]) ++used;
        offsets_[i] = row[first - i] + static_cast<uint32_t>(used * fr::kJumpStretch);
      }
    }
    const size_t dataLimit = f == Format::Jet4 ? countPos - 2 * (static_cast<size_t>(varCount) + 1) : maskStart;
    for (uint32_t i = 0; i < varCount; ++i) {
      if (offsets_[i] > offsets_[i + 1] || offsets_[i + 1] > dataLimit || offsets_[i] < countSize) {
        fail(where, "variable column " + std::to_string(i) + " has bounds " + std::to_string(offsets_[i]) + ".." +
                        std::to_string(offsets_[i + 1]) + " outside the row");
      }
    }
  };

  out.resize(info_.def.columns.size());
  for (size_t i = 0; i < info_.def.columns.size(); ++i) {
    const Column& col = info_.def.columns[i];
    const ColumnStorage& st = info_.storage[i];
    const bool built = !wanted || (i < wanted->size() && (*wanted)[i]);
    if (!built && !checkOthers) {
      out[i] = Null{};
      continue;
    }
    const bool present = st.number < columnCount && (mask[st.number / 8] & (1u << (st.number % 8))) != 0;
    if (col.kind == ColumnKind::YesNo && !col.unknownKind) {
      out[i] = present;
      continue;
    }
    if (!present) {
      out[i] = Null{};
      continue;
    }
    if (col.fixed) {
      const size_t start = countSize + st.fixedOffset;
      const size_t len = fixedSizeOf(col);
      if (start + len > maskStart) {
        fail(where, "fixed column " + col.name + " at " + std::to_string(start) + " runs past the row");
      }
      if (!built) {
        checkUnbuilt(i, row + start, len, where, out[i]);
        continue;
      }
      out[i] = decodeValue(i, row + start, len, where);
    } else {
      if (!varRead) readVarTable();
      if (st.varIndex >= varCount) {
        out[i] = Null{};
        continue;
      }
      const uint32_t start = offsets_[st.varIndex];
      const uint32_t len = offsets_[st.varIndex + 1] - start;
      if (len == 0 && (col.kind == ColumnKind::Memo || col.kind == ColumnKind::OLE)) {
        out[i] = Null{};
        continue;
      }
      if (!built) {
        checkUnbuilt(i, row + start, len, where, out[i]);
        continue;
      }
      // A row read into the same Row again: Jet 4 text reuses the string it held.
      auto* text = f == Format::Jet4 && col.kind == ColumnKind::Text && !col.unknownKind
                       ? std::get_if<std::string>(&out[i])
                       : nullptr;
      if (text) {
        decodeJet4TextInto(row + start, len, *text);
        continue;
      }
      if (f == Format::Jet4 && col.kind == ColumnKind::Memo && !col.unknownKind) {
        auto context = [&] { return longValueContext(col, where); };
        readLongValueInto(pager_, f, row + start, len, std::ref(context), longValue_);
        auto* memo = std::get_if<std::string>(&out[i]);
        if (!memo) memo = &out[i].emplace<std::string>();
        decodeJet4TextInto(longValue_.data(), longValue_.size(), *memo);
        if (longValue_.capacity() > kLongValueKept) Bytes().swap(longValue_);  // an exceptional size: let it go
        continue;
      }
      out[i] = decodeValue(i, row + start, len, where);
    }
  }
}

}  // namespace jet
