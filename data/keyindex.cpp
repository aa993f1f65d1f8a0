// Normalized search keys and the two index shapes (exact: hash with chains of equal keys in
// result order; prefix: sorted keys) behind a query's key search.
#include "data/keyindex.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "data/fieldvalues.h"
#include "data/textform.h"
#include "jet/collation.h"
#include "jet/text.h"

namespace qar::data {
namespace {

constexpr uint32_t kNone = UINT32_MAX;

// Component tags: a key of one kind never equals a key of another.
enum Tag : char {
  kNull = 0, kText = 1, kInteger = 2, kFloat = 3, kCurrency = 4, kDate = 5, kBool = 6,
  kGuid = 7, kBytes = 8, kFolded = 9,
};

void putInt(std::string& out, Tag tag, int64_t v) {
  out.push_back(tag);
  char b[8];
  std::memcpy(b, &v, 8);
  out.append(b, 8);
}

void putFloat(std::string& out, double v) {
  // Numbers compare as their text forms do: fifteen significant digits.
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  out.push_back(kFloat);
  out.append(buf, res.ptr);
}

void putDate(std::string& out, DateTime v) {
  // To the second, as the text form shows it.
  auto parts = splitDateTime(v);
  if (!parts) {
    putFloat(out, v.days);
    return;
  }
  putInt(out, kDate, parts->date.toJulianDay() * 86400 + parts->msecs / 1000);
}

void putFolded(std::string& out, const QString& text) {
  out.push_back(kFolded);
  for (QChar c : text.toCaseFolded()) {  // big-endian code units: byte order = text order
    out.push_back(static_cast<char>(c.unicode() >> 8));
    out.push_back(static_cast<char>(c.unicode() & 0xFF));
  }
}

void putText(std::string& out, std::string_view utf8, const FieldDef& def) {
  out.push_back(kText);
  out += jet::textSortKey(utf8, def.column.sortOrder);
}

// UTF-16 to UTF-8 into a reused buffer (a lone surrogate becomes U+FFFD).
void toUtf8(const QString& text, std::string& out) {
  out.clear();
  const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
  const char16_t* end = p + text.size();
  out.reserve(static_cast<size_t>(text.size()) * 3);
  while (p < end && *p < 0x80) out.push_back(static_cast<char>(*p++));
  while (p < end) {
    char32_t c = *p++;
    if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
    else if (c >= 0xD800 && c <= 0xDFFF)
      c = 0xFFFD;
    jet::appendUtf8(out, c);
  }
}

void putVariantNumber(std::string& out, const Variant& v) {
  if (v.type() == VarType::Integer) putInt(out, kInteger, v.integer());
  else if (v.type() == VarType::Currency) putInt(out, kCurrency, v.currency().scaled);
  else putFloat(out, v.real());
}

std::optional<int64_t> literalInteger(const QString& text) {
  bool ok = false;
  qlonglong exact = text.toLongLong(&ok);
  if (ok) return exact;
  auto d = parseFloat(text);
  if (!d || std::trunc(*d) != *d) return std::nullopt;
  return roundToInteger(*d);
}

bool isText(TFieldType t) { return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo; }

// The component of a stored value.
void storedComponent(std::string& out, const ResultStore& store, uint32_t row, int col,
                     const FieldDef& def, bool folded) {
  if (store.isNull(row, col)) {
    out.push_back(kNull);
    return;
  }
  switch (store.kind(col)) {
    case jet::ColumnKind::Text:
    case jet::ColumnKind::Memo: {
      auto text = store.bytesAt(row, col);
      if (folded)
        putFolded(out, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
      else
        putText(out, text, def);
      return;
    }
    case jet::ColumnKind::YesNo: putInt(out, kBool, store.integerAt(row, col) != 0); return;
    case jet::ColumnKind::Byte:
    case jet::ColumnKind::Integer:
    case jet::ColumnKind::Long: putInt(out, kInteger, store.integerAt(row, col)); return;
    case jet::ColumnKind::Single:
      putFloat(out, singleAsDouble(static_cast<float>(store.doubleAt(row, col))));
      return;
    case jet::ColumnKind::Double: putFloat(out, store.doubleAt(row, col)); return;
    case jet::ColumnKind::DateTime: putDate(out, DateTime{store.doubleAt(row, col)}); return;
    case jet::ColumnKind::Currency: putInt(out, kCurrency, store.integerAt(row, col)); return;
    case jet::ColumnKind::Decimal:
      putVariantNumber(out, decimalAsVariant(std::get<jet::Decimal>(store.cell(row, col))));
      return;
    case jet::ColumnKind::ReplicationID:
      if (def.type == ftGuid) {
        out.push_back(kGuid);
        out += store.bytesAt(row, col);
        return;
      }
      break;
    case jet::ColumnKind::OLE:
    case jet::ColumnKind::Binary: break;
  }
  out.push_back(kBytes);
  out += store.bytesAt(row, col);
}

// The component a criterion asks for; false when nothing of the field's type can match it.
bool literalComponent(std::string& out, const Criterion& c, const FieldDef& def, bool folded) {
  if (c.nullWord) {
    out.push_back(kNull);
    return true;
  }
  const QString& lit = c.literal;
  if (isText(def.type)) {
    if (folded) {
      putFolded(out, lit);
    } else {
      thread_local std::string utf8;
      toUtf8(lit, utf8);
      putText(out, utf8, def);
    }
    return true;
  }
  switch (def.type) {
    case ftGuid: {
      auto g = parseGuid(lit);
      if (!g) return false;
      out.push_back(kGuid);
      out.append(reinterpret_cast<const char*>(g->bytes.data()), g->bytes.size());
      return true;
    }
    case ftInteger:
    case ftAutoInc:
    case ftSmallint:
    case ftWord: {
      auto i = literalInteger(lit);
      if (!i) return false;
      putInt(out, kInteger, *i);
      return true;
    }
    case ftBoolean: {
      QString t = lit.trimmed();
      if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        putInt(out, kBool, 1);
        return true;
      }
      if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        putInt(out, kBool, 0);
        return true;
      }
      auto d = parseFloat(t);
      if (!d) return false;
      putInt(out, kBool, *d != 0);
      return true;
    }
    case ftFloat: {
      auto d = parseFloat(lit);
      if (!d) return false;
      putFloat(out, *d);
      return true;
    }
    case ftBCD: {
      auto cur = parseCurrency(lit);
      if (!cur) return false;
      putInt(out, kCurrency, cur->scaled);
      return true;
    }
    case ftDate:
    case ftTime:
    case ftDateTime: {
      auto d = parseDateTime(lit);
      if (!d) return false;
      putDate(out, *d);
      return true;
    }
    default: return false;
  }
}

void putLength(std::string& out, size_t n) {
  auto v = static_cast<uint32_t>(n);
  char b[4];
  std::memcpy(b, &v, 4);
  out.append(b, 4);
}

}  // namespace

KeyIndex::KeyIndex(std::vector<int> columns, std::vector<FieldDef> defs, bool prefix)
    : columns_(std::move(columns)), defs_(std::move(defs)), prefix_(prefix) {}

std::string KeyIndex::rowKey(const ResultStore& store, uint32_t row) const {
  std::string key;
  std::string part;
  for (size_t i = 0; i < columns_.size(); ++i) {
    bool folded = prefix_ && i + 1 == columns_.size();
    part.clear();
    storedComponent(part, store, row, columns_[i], defs_[i], folded);
    if (!folded) putLength(key, part.size());
    key += part;
  }
  return key;
}

std::optional<std::string> KeyIndex::probe(const std::vector<Criterion>& criteria) const {
  std::string key;
  if (!probe(criteria, key)) return std::nullopt;
  return key;
}

bool KeyIndex::probe(const std::vector<Criterion>& criteria, std::string& key) const {
  key.clear();
  if (criteria.size() != columns_.size()) return false;
  for (size_t i = 0; i < criteria.size(); ++i) {
    bool folded = prefix_ && i + 1 == columns_.size();
    size_t at = key.size();
    if (!folded) putLength(key, 0);  // patched below
    if (!literalComponent(key, criteria[i], defs_[i], folded)) return false;
    if (!folded) {
      auto n = static_cast<uint32_t>(key.size() - at - 4);
      std::memcpy(key.data() + at, &n, 4);
    }
  }
  return true;
}

void KeyIndex::build(const ResultStore& store) {
  auto n = static_cast<uint32_t>(store.rowCount());
  if (prefix_) {
    sorted_.clear();
    sorted_.reserve(n);
    for (uint32_t r = 0; r < n; ++r) sorted_.push_back(Entry{rowKey(store, r), r});
    std::sort(sorted_.begin(), sorted_.end(), [](const Entry& a, const Entry& b) {
      return a.key != b.key ? a.key < b.key : a.row < b.row;
    });
    return;
  }
  chains_.clear();
  chains_.reserve(n);
  next_.assign(n, kNone);
  for (uint32_t r = 0; r < n; ++r) {
    auto [it, inserted] = chains_.try_emplace(rowKey(store, r), Chain{r, r});
    if (!inserted) {
      next_[it->second.tail] = r;
      it->second.tail = r;
    }
  }
}

void KeyIndex::add(const ResultStore& store, uint32_t row) {
  std::string key = rowKey(store, row);
  if (prefix_) {
    Entry e{std::move(key), row};
    auto pos = std::lower_bound(sorted_.begin(), sorted_.end(), e, [](const Entry& a, const Entry& b) {
      return a.key != b.key ? a.key < b.key : a.row < b.row;
    });
    sorted_.insert(pos, std::move(e));
    return;
  }
  if (next_.size() <= row) next_.resize(row + 1, kNone);
  next_[row] = kNone;
  auto [it, inserted] = chains_.try_emplace(std::move(key), Chain{row, row});
  if (inserted) return;
  Chain& chain = it->second;
  if (row > chain.tail) {  // appended rows: the usual case, O(1)
    next_[chain.tail] = row;
    chain.tail = row;
  } else if (row < chain.head) {
    next_[row] = chain.head;
    chain.head = row;
  } else {
    uint32_t p = chain.head;
    while (next_[p] != kNone && next_[p] < row) p = next_[p];
    next_[row] = next_[p];
    next_[p] = row;
  }
}

void KeyIndex::remove(const ResultStore& store, uint32_t row) {
  std::string key = rowKey(store, row);
  if (prefix_) {
    Entry e{std::move(key), row};
    auto pos = std::lower_bound(sorted_.begin(), sorted_.end(), e, [](const Entry& a, const Entry& b) {
      return a.key != b.key ? a.key < b.key : a.row < b.row;
    });
    if (pos != sorted_.end() && pos->row == row && pos->key == e.key) sorted_.erase(pos);
    return;
  }
  auto it = chains_.find(key);
  if (it == chains_.end()) return;
  Chain& chain = it->second;
  if (chain.head == row) {
    if (chain.tail == row) {
      chains_.erase(it);
    } else {
      chain.head = next_[row];
    }
  } else {
    uint32_t p = chain.head;
    while (p != kNone && next_[p] != row) p = next_[p];
    if (p == kNone) return;
    next_[p] = next_[row];
    if (chain.tail == row) chain.tail = p;
  }
  next_[row] = kNone;
}

std::optional<uint32_t> KeyIndex::find(const std::string& probe) const {
  if (prefix_) {
    auto pos = std::lower_bound(sorted_.begin(), sorted_.end(), probe,
                                [](const Entry& e, const std::string& p) { return e.key < p; });
    if (pos == sorted_.end() || pos->key.compare(0, probe.size(), probe) != 0) return std::nullopt;
    return pos->row;
  }
  auto it = chains_.find(probe);
  if (it == chains_.end()) return std::nullopt;
  return it->second.head;
}

size_t KeyIndex::memoryBytes() const {
  size_t n = next_.capacity() * sizeof(uint32_t) + chains_.bucket_count() * sizeof(void*);
  for (const auto& [key, chain] : chains_) n += 48 + (key.size() > 15 ? key.capacity() : 0);
  for (const auto& e : sorted_) n += sizeof(Entry) + (e.key.size() > 15 ? e.key.capacity() : 0);
  return n;
}

}  // namespace qar::data
