// Typed fields of an open query: one TField per result column, in column order. A field reads
// the query's current record (or the pending record while editing or inserting) as a Variant
// or as its text form, and converts what it is assigned to its column's type.
#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "data/variant.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace qar::data {

class TADOQuery;

enum class TFieldType {
  ftUnknown,
  ftString,
  ftFixedChar,
  ftWideString,
  ftMemo,
  ftInteger,
  ftAutoInc,
  ftSmallint,
  ftWord,
  ftBoolean,
  ftFloat,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBlob,
  ftGuid,
};
using enum TFieldType;

const char* fieldTypeName(TFieldType type);

// What a field is made from: its name in the field list, its type and the column behind it.
struct FieldDef {
  QString name;
  TFieldType type = ftUnknown;
  int size = 0;            // characters (UTF-16 code units) of a text field; 38 for a Guid
  bool readOnly = false;
  jet::Column column;      // the table column it reads and writes
};

// The field type of a table column, as the dataset layer presents it.
TFieldType fieldTypeOf(const jet::Column& column);
// Field definitions for a table's columns: unnamed columns become "COLUMN<n>" (n from 1)
// and a repeated name (letter case ignored) becomes "<name>_<k>", k from 1 upwards.
std::vector<FieldDef> makeFieldDefs(const std::vector<jet::Column>& columns, bool jet4);

class TField {
 public:
  virtual ~TField() = default;
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const QString& FieldName() const { return def_.name; }
  TFieldType DataType() const { return def_.type; }
  int Size() const { return def_.size; }
  bool ReadOnly() const { return def_.readOnly; }
  int Index() const { return index_; }
  const FieldDef& Def() const { return def_; }

  // The current record's value (the pending value while editing or inserting).
  Variant Value() const;
  // Assigns the pending value; allowed only while the query edits or inserts.
  void setValue(const Variant& value);
  // Sets this field to the current value of `source` (a field of another dataset) with the
  // same result as setValue(source.Value()); a value that needs no conversion between
  // fields of one kind is passed on as stored.
  void copyValueFrom(const TField& source);
  // The text form of the current value: empty for Null.
  QString AsString() const;
  void setAsString(const QString& text) { setValue(Variant(text)); }
  bool IsNull() const;
  void Clear() { setValue(Variant::null()); }

  // Conversions between the engine's stored values and this field's view of them.
  // toStored() raises the field's messages for values it refuses.
  Variant fromStored(const jet::Value& stored) const;
  QString textOf(const jet::Value& stored) const;
  jet::Value toStored(const Variant& value) const;

  // The field of the right class for def.type, reading and writing column index of dataset.
  static std::unique_ptr<TField> create(TADOQuery* dataset, int index, FieldDef def);

  TField(TADOQuery* dataset, int index, FieldDef def)
      : dataset_(dataset), index_(index), def_(std::move(def)) {}

 private:
  jet::Value convert(const Variant& value) const;
  TADOQuery* dataset_;
  int index_;
  FieldDef def_;
};

class TWideStringField : public TField {
 public:
  using TField::TField;
};
class TMemoField : public TField {
 public:
  using TField::TField;
};
class TIntegerField : public TField {
 public:
  using TField::TField;
  // The value as an integer; 0 for Null.
  int64_t AsInteger() const;
};
class TAutoIncField : public TIntegerField {
 public:
  using TIntegerField::TIntegerField;
};
class TSmallintField : public TIntegerField {
 public:
  using TIntegerField::TIntegerField;
};
class TWordField : public TIntegerField {
 public:
  using TIntegerField::TIntegerField;
};
class TBooleanField : public TField {
 public:
  using TField::TField;
  bool AsBoolean() const;  // false for Null
};
class TFloatField : public TField {
 public:
  using TField::TField;
  double AsFloat() const;  // 0 for Null
};
class TBCDField : public TField {
 public:
  using TField::TField;
  Currency AsCurrency() const;  // 0 for Null
};
class TDateTimeField : public TField {
 public:
  using TField::TField;
  DateTime AsDateTime() const;  // day 0 for Null
};
class TBlobField : public TField {
 public:
  using TField::TField;
};
class TGuidField : public TWideStringField {
 public:
  using TWideStringField::TWideStringField;
};

}  // namespace qar::data
