// Field definitions from table columns, field classes, and the read side of a field:
// stored engine values as Variants and as text.
#include "data/field.h"

#include <QSet>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "data/fieldvalues.h"
#include "data/query.h"
#include "data/textform.h"

namespace qar::data {

const char* fieldTypeName(TFieldType type) {
  switch (type) {
    case ftUnknown: return "Unknown";
    case ftString: return "String";
    case ftFixedChar: return "FixedChar";
    case ftWideString: return "WideString";
    case ftMemo: return "Memo";
    case ftInteger: return "Integer";
    case ftAutoInc: return "AutoInc";
    case ftSmallint: return "Smallint";
    case ftWord: return "Word";
    case ftBoolean: return "Boolean";
    case ftFloat: return "Float";
    case ftBCD: return "BCD";
    case ftDate: return "Date";
    case ftTime: return "Time";
    case ftDateTime: return "DateTime";
    case ftBlob: return "Blob";
    case ftGuid: return "Guid";
  }
  return "Unknown";
}

TFieldType fieldTypeOf(const jet::Column& column) {
  if (column.unknownKind) return ftBlob;
  switch (column.kind) {
    case jet::ColumnKind::Text: return ftWideString;
    case jet::ColumnKind::Memo: return ftMemo;
    case jet::ColumnKind::Long: return column.autoNumber ? ftAutoInc : ftInteger;
    case jet::ColumnKind::Integer: return ftSmallint;
    case jet::ColumnKind::Byte: return ftWord;
    case jet::ColumnKind::YesNo: return ftBoolean;
    case jet::ColumnKind::Single:
    case jet::ColumnKind::Double: return ftFloat;
    case jet::ColumnKind::Currency: return ftBCD;
    case jet::ColumnKind::DateTime: return ftDateTime;
    case jet::ColumnKind::OLE:
    case jet::ColumnKind::Binary: return ftBlob;
    case jet::ColumnKind::ReplicationID: return ftGuid;
    case jet::ColumnKind::Decimal:
      return column.scale == 0 && column.precision < 10 ? ftInteger : ftBCD;
  }
  return ftUnknown;
}

std::vector<FieldDef> makeFieldDefs(const std::vector<jet::Column>& columns, bool jet4) {
  std::vector<FieldDef> defs;
  QSet<QString> taken;  // names in lower case
  for (size_t i = 0; i < columns.size(); ++i) {
    const jet::Column& c = columns[i];
    FieldDef d;
    d.column = c;
    d.type = fieldTypeOf(c);
    QString base = QString::fromStdString(c.name);
    if (base.isEmpty()) base = QStringLiteral("COLUMN%1").arg(i + 1);
    QString name = base;
    for (int k = 1; taken.contains(name.toLower()); ++k) name = QStringLiteral("%1_%2").arg(base).arg(k);
    taken.insert(name.toLower());
    d.name = name;
    if (d.type == ftWideString) d.size = c.textLength(jet4);
    if (d.type == ftGuid) d.size = 38;
    d.readOnly = d.type == ftAutoInc || (c.kind == jet::ColumnKind::ReplicationID && c.autoNumber);
    defs.push_back(std::move(d));
  }
  return defs;
}

std::unique_ptr<TField> TField::create(TADOQuery* dataset, int index, FieldDef def) {
  switch (def.type) {
    case ftString:
    case ftFixedChar:
    case ftWideString: return std::make_unique<TWideStringField>(dataset, index, std::move(def));
    case ftMemo: return std::make_unique<TMemoField>(dataset, index, std::move(def));
    case ftInteger: return std::make_unique<TIntegerField>(dataset, index, std::move(def));
    case ftAutoInc: return std::make_unique<TAutoIncField>(dataset, index, std::move(def));
    case ftSmallint: return std::make_unique<TSmallintField>(dataset, index, std::move(def));
    case ftWord: return std::make_unique<TWordField>(dataset, index, std::move(def));
    case ftBoolean: return std::make_unique<TBooleanField>(dataset, index, std::move(def));
    case ftFloat: return std::make_unique<TFloatField>(dataset, index, std::move(def));
    case ftBCD: return std::make_unique<TBCDField>(dataset, index, std::move(def));
    case ftDate:
    case ftTime:
    case ftDateTime: return std::make_unique<TDateTimeField>(dataset, index, std::move(def));
    case ftGuid: return std::make_unique<TGuidField>(dataset, index, std::move(def));
    case ftBlob:
    case ftUnknown: break;
  }
  return std::make_unique<TBlobField>(dataset, index, std::move(def));
}

Variant TField::fromStored(const jet::Value& v) const {
  if (jet::isNull(v)) return def_.type == ftMemo ? Variant(QString()) : Variant::null();
  if (auto* s = std::get_if<std::string>(&v))
    return Variant(QString::fromUtf8(s->data(), static_cast<qsizetype>(s->size())));
  if (auto* b = std::get_if<bool>(&v)) return Variant(*b);
  if (auto* u8 = std::get_if<uint8_t>(&v)) return Variant(int{*u8});
  if (auto* i16 = std::get_if<int16_t>(&v)) return Variant(int{*i16});
  if (auto* i32 = std::get_if<int32_t>(&v)) return Variant(int{*i32});
  if (auto* c = std::get_if<jet::Currency>(&v)) return Variant(*c);
  if (auto* f = std::get_if<float>(&v)) return Variant(singleAsDouble(*f));
  if (auto* d = std::get_if<double>(&v)) return Variant(*d);
  if (auto* dt = std::get_if<jet::DateTime>(&v)) return Variant(*dt);
  if (auto* g = std::get_if<jet::Guid>(&v)) return Variant(guidText(*g));
  if (auto* dec = std::get_if<jet::Decimal>(&v)) return decimalAsVariant(*dec);
  const auto& bytes = std::get<jet::Bytes>(v);
  return Variant(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

QString TField::textOf(const jet::Value& stored) const { return fromStored(stored).toString(); }

Variant TField::Value() const { return fromStored(dataset_->storedValue(index_)); }

QString TField::AsString() const { return textOf(dataset_->storedValue(index_)); }

bool TField::IsNull() const { return jet::isNull(dataset_->storedValue(index_)); }

void TField::setValue(const Variant& value) {
  dataset_->checkEditing();
  dataset_->assignValue(index_, toStored(value));
}

int64_t TIntegerField::AsInteger() const {
  Variant v = Value();
  return v.type() == VarType::Integer ? v.integer() : 0;
}

bool TBooleanField::AsBoolean() const {
  Variant v = Value();
  return v.type() == VarType::Boolean && v.boolean();
}

double TFloatField::AsFloat() const {
  Variant v = Value();
  return v.type() == VarType::Double ? v.real() : 0.0;
}

Currency TBCDField::AsCurrency() const {
  Variant v = Value();
  if (v.type() == VarType::Currency) return v.currency();
  if (v.type() == VarType::Double) return Currency{static_cast<int64_t>(std::llround(v.real() * 10000))};
  return Currency{};
}

DateTime TDateTimeField::AsDateTime() const {
  Variant v = Value();
  return v.type() == VarType::DateTime ? v.dateTime() : DateTime{};
}

}  // namespace qar::data
