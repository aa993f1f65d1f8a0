// The dataset layer's value type: what a field reads as and what it is assigned.
// A Variant is unassigned, Null, or one of integer, double, currency, boolean, date-time,
// text (UTF-16) or bytes. Conversions to text follow the user's locale (see textform.h).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <variant>

#include "jet/value.h"

namespace qar::data {

using Currency = jet::Currency;  // amount times 10,000
using DateTime = jet::DateTime;  // days since 1899-12-30, fraction = time of day

enum class VarType { Empty, Null, Integer, Double, Currency, Boolean, DateTime, Text, Bytes };

class Variant {
 public:
  struct Empty {
    friend bool operator==(Empty, Empty) { return true; }
  };

  Variant() = default;                   // unassigned
  static Variant null() { return Variant(jet::Null{}); }
  Variant(int v) : v_(int64_t{v}) {}
  Variant(int64_t v) : v_(v) {}
  Variant(double v) : v_(v) {}
  Variant(bool v) : v_(v) {}
  Variant(Currency v) : v_(v) {}
  Variant(DateTime v) : v_(v) {}
  Variant(const QString& v) : v_(v) {}
  Variant(const char* utf8) : v_(QString::fromUtf8(utf8)) {}
  Variant(const QByteArray& v) : v_(v) {}
  explicit Variant(jet::Null n) : v_(n) {}

  VarType type() const { return static_cast<VarType>(v_.index()); }
  bool isEmpty() const { return type() == VarType::Empty; }
  bool isNull() const { return type() == VarType::Null; }
  // Null or unassigned: both read as "no value".
  bool isNullOrEmpty() const { return isEmpty() || isNull(); }

  // Direct access; valid only when type() says so.
  int64_t integer() const { return std::get<int64_t>(v_); }
  double real() const { return std::get<double>(v_); }
  bool boolean() const { return std::get<bool>(v_); }
  Currency currency() const { return std::get<Currency>(v_); }
  DateTime dateTime() const { return std::get<DateTime>(v_); }
  const QString& text() const { return std::get<QString>(v_); }
  const QByteArray& bytes() const { return std::get<QByteArray>(v_); }

  // The value's text as the user's locale writes it: empty for Null and unassigned,
  // "True"/"False", decimal integers, general format for numbers, short date and long time.
  QString toString() const;

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  std::variant<Empty, jet::Null, int64_t, double, Currency, bool, DateTime, QString, QByteArray> v_;
};

// Name of a variant type for messages ("Integer", "String", ...).
const char* varTypeName(VarType type);

}  // namespace qar::data
