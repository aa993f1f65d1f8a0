// The write side of a field: a Variant converted to the value its column stores, with the
// field's messages for values it refuses (read-only, out of range, not convertible).
#include <cfloat>
#include <cmath>

#include "data/field.h"
#include "data/fieldvalues.h"
#include "data/messages.h"
#include "data/query.h"
#include "data/textform.h"

namespace qar::data {
namespace {

std::optional<double> toNumber(const Variant& v) {
  switch (v.type()) {
    case VarType::Integer: return static_cast<double>(v.integer());
    case VarType::Double: return v.real();
    case VarType::Currency: return static_cast<double>(v.currency().scaled) / 10000.0;
    case VarType::Boolean: return v.boolean() ? -1.0 : 0.0;
    case VarType::DateTime: return v.dateTime().days;
    case VarType::Text: return parseFloat(v.text());
    default: return std::nullopt;
  }
}

std::optional<int64_t> toInteger(const Variant& v) {
  if (v.type() == VarType::Integer) return v.integer();
  if (v.type() == VarType::Text) {
    bool ok = false;
    qlonglong exact = v.text().toLongLong(&ok);
    if (ok) return exact;
  }
  auto d = toNumber(v);
  if (!d) return std::nullopt;
  return roundToInteger(*d);
}

std::optional<jet::Currency> toCurrency(const Variant& v) {
  switch (v.type()) {
    case VarType::Currency: return v.currency();
    case VarType::Integer: {
      int64_t i = v.integer();
      if (i > INT64_MAX / 10000 || i < INT64_MIN / 10000) return std::nullopt;
      return jet::Currency{i * 10000};
    }
    case VarType::Text: return parseCurrency(v.text());
    default: break;
  }
  auto d = toNumber(v);
  if (!d) return std::nullopt;
  auto scaled = roundToInteger(*d * 10000.0);
  if (!scaled) return std::nullopt;
  return jet::Currency{*scaled};
}

std::optional<bool> toBoolean(const Variant& v) {
  if (v.type() == VarType::Boolean) return v.boolean();
  if (v.type() == VarType::Text) {
    QString t = v.text().trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
        t.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0)
      return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 ||
        t.compare(QLatin1String("No"), Qt::CaseInsensitive) == 0)
      return false;
  }
  if (v.type() == VarType::DateTime) return std::nullopt;
  auto d = toNumber(v);
  if (!d || std::isnan(*d)) return std::nullopt;
  return *d != 0;
}

std::optional<jet::DateTime> toDateTime(const Variant& v) {
  std::optional<jet::DateTime> out;
  switch (v.type()) {
    case VarType::DateTime: out = v.dateTime(); break;
    case VarType::Text: out = parseDateTime(v.text()); break;
    case VarType::Integer:
    case VarType::Double:
    case VarType::Currency: out = jet::DateTime{*toNumber(v)}; break;
    default: break;
  }
  if (out && !splitDateTime(*out)) return std::nullopt;  // outside the years 100 to 9999
  return out;
}

std::string utf8(const QString& s) {
  QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

// Cuts text to at most size UTF-16 code units, never between the halves of a surrogate pair.
QString cutToSize(QString text, int size) {
  if (size <= 0 || text.size() <= size) return text;
  qsizetype n = size;
  if (text[n - 1].isHighSurrogate()) --n;
  text.truncate(n);
  return text;
}

jet::Bytes bytesOf(const QByteArray& b) { return jet::Bytes(b.begin(), b.end()); }

}  // namespace

namespace {

// UTF-16 code units of well-formed UTF-8 text: one per sequence, two for four-byte ones.
size_t utf16Length(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;
    if (c >= 0xF0) ++n;
  }
  return n;
}

// Whether a stored value would come back unchanged from a field of the same kind through
// its Variant (the shortcut copyValueFrom takes).
bool passesUnchanged(const jet::Value& v, const FieldDef& def) {
  if (jet::isNull(v)) return true;
  switch (def.column.kind) {
    case jet::ColumnKind::Text: {
      const auto* s = std::get_if<std::string>(&v);
      // No more units than bytes: short text needs no count.
      return s && (def.size <= 0 || s->size() <= static_cast<size_t>(def.size) ||
                   utf16Length(*s) <= static_cast<size_t>(def.size));
    }
    case jet::ColumnKind::Memo: {
      const auto* s = std::get_if<std::string>(&v);
      return s && !s->empty();
    }
    case jet::ColumnKind::Long: return std::holds_alternative<int32_t>(v);
    case jet::ColumnKind::Integer: return std::holds_alternative<int16_t>(v);
    case jet::ColumnKind::Byte: return std::holds_alternative<uint8_t>(v);
    case jet::ColumnKind::YesNo: return std::holds_alternative<bool>(v);
    case jet::ColumnKind::Double: return std::holds_alternative<double>(v);
    case jet::ColumnKind::Currency: return std::holds_alternative<jet::Currency>(v);
    case jet::ColumnKind::Single: {
      const auto* f = std::get_if<float>(&v);
      return f && std::isfinite(*f);
    }
    case jet::ColumnKind::DateTime: {
      const auto* d = std::get_if<jet::DateTime>(&v);
      return d && splitDateTime(*d).has_value();
    }
    default: return false;  // decimals, GUIDs and bytes take the Variant's road
  }
}

}  // namespace

void TField::copyValueFrom(const TField& source) {
  dataset_->checkEditing();
  const FieldDef& from = source.def_;
  if (!def_.readOnly && from.type == def_.type && from.column.kind == def_.column.kind) {
    jet::Value stored = source.dataset_->storedValue(source.index_);
    if (passesUnchanged(stored, def_)) {
      dataset_->assignValue(index_, std::move(stored));
      return;
    }
  }
  setValue(source.Value());
}

jet::Value TField::toStored(const Variant& value) const {
  if (value.isNullOrEmpty()) {
    if (def_.readOnly) msg::raise(msg::fieldReadOnly(def_.name));
    return jet::Null{};
  }
  jet::Value stored = convert(value);
  if (def_.readOnly) msg::raise(msg::fieldReadOnly(def_.name));
  return stored;
}

jet::Value TField::convert(const Variant& v) const {
  const jet::Column& col = def_.column;
  auto invalid = [&]() { msg::raise(msg::invalidValue(def_.name)); };
  auto checkedInteger = [&](double low, double high) -> int64_t {
    auto i = toInteger(v);
    if (!i) invalid();
    if (static_cast<double>(*i) < low || static_cast<double>(*i) > high)
      msg::raise(msg::outOfRange(toNumber(v).value_or(static_cast<double>(*i)), def_.name, low, high));
    return *i;
  };

  switch (def_.type == ftBlob ? jet::ColumnKind::OLE : col.kind) {
    case jet::ColumnKind::Text: return utf8(cutToSize(v.toString(), def_.size));
    case jet::ColumnKind::Memo: {
      QString t = v.toString();
      if (t.isEmpty()) return jet::Null{};
      return utf8(t);
    }
    case jet::ColumnKind::Long: return static_cast<int32_t>(checkedInteger(INT32_MIN, INT32_MAX));
    case jet::ColumnKind::Integer: return static_cast<int16_t>(checkedInteger(INT16_MIN, INT16_MAX));
    case jet::ColumnKind::Byte: return static_cast<uint8_t>(checkedInteger(0, 255));
    case jet::ColumnKind::YesNo: {
      auto b = toBoolean(v);
      if (!b) invalid();
      return *b;
    }
    case jet::ColumnKind::Single: {
      auto d = toNumber(v);
      if (!d || (std::isfinite(*d) && std::fabs(*d) > FLT_MAX)) invalid();
      return static_cast<float>(*d);
    }
    case jet::ColumnKind::Double: {
      auto d = toNumber(v);
      if (!d) invalid();
      return *d;
    }
    case jet::ColumnKind::Currency: {
      auto c = toCurrency(v);
      if (!c) invalid();
      return *c;
    }
    case jet::ColumnKind::Decimal: {
      if (def_.type == ftInteger) {
        double limit = std::pow(10.0, col.precision) - 1;
        int64_t i = checkedInteger(-limit, limit);
        jet::Decimal d;
        d.negative = i < 0;
        d.magnitude = static_cast<unsigned __int128>(i < 0 ? -i : i);
        d.scale = 0;
        return d;
      }
      auto c = toCurrency(v);
      if (!c) invalid();
      auto d = currencyToDecimal(*c, col.precision, col.scale);
      if (!d) invalid();
      return *d;
    }
    case jet::ColumnKind::DateTime: {
      auto d = toDateTime(v);
      if (!d) invalid();
      return *d;
    }
    case jet::ColumnKind::ReplicationID: {
      if (v.type() == VarType::Bytes && v.bytes().size() == 16) {
        jet::Guid g;
        std::copy(v.bytes().begin(), v.bytes().end(), g.bytes.begin());
        return g;
      }
      auto g = v.type() == VarType::Text ? parseGuid(v.text()) : std::nullopt;
      if (!g) invalid();
      return *g;
    }
    case jet::ColumnKind::OLE:
    case jet::ColumnKind::Binary: break;
  }
  if (v.type() == VarType::Bytes) return bytesOf(v.bytes());
  if (v.type() == VarType::Text) {
    // Text that fits in 8 bits keeps its bytes (the text form of a blob reads them back).
    bool latin1 = std::all_of(v.text().begin(), v.text().end(), [](QChar c) { return c.unicode() < 256; });
    return bytesOf(latin1 ? v.text().toLatin1() : v.text().toUtf8());
  }
  invalid();
  return jet::Null{};  // not reached
}

}  // namespace qar::data
