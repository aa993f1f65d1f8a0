// Text of a Variant and names of its types.
#include "data/variant.h"

#include "data/textform.h"

namespace qar::data {

QString Variant::toString() const {
  switch (type()) {
    case VarType::Empty:
    case VarType::Null: return QString();
    case VarType::Integer: return QString::number(integer());
    case VarType::Double: return formatFloat(real());
    case VarType::Currency: return formatCurrency(currency());
    case VarType::Boolean: return boolean() ? QStringLiteral("True") : QStringLiteral("False");
    case VarType::DateTime: return formatDateTime(dateTime());
    case VarType::Text: return text();
    case VarType::Bytes: return QString::fromLatin1(bytes());
  }
  return QString();
}

const char* varTypeName(VarType type) {
  switch (type) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Integer: return "Integer";
    case VarType::Double: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::Boolean: return "Boolean";
    case VarType::DateTime: return "Date";
    case VarType::Text: return "String";
    case VarType::Bytes: return "Array of Byte";
  }
  return "Unknown";
}

}  // namespace qar::data
