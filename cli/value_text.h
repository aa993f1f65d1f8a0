// Text forms of column values for export: the plain text of each value (CSV fields) and
// JSON values (JSON Lines), as qar26m-cli prints them.
//   Yes/No true/false; Byte, Integer, Long decimal; Single, Double shortest round-trip form;
//   Currency, Decimal plain decimal; Date/Time "YYYY-MM-DD HH:MM:SS[.mmm]"; Text, Memo as is;
//   OLE, Binary (and unknown kinds) base64; Replication ID "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <string>

#include "jet/value.h"

namespace qar::cli {

// The text form of a non-null value (Null gives "").
std::string valueText(const jet::Value& value);
// Appends the text form; for CSV, a text value is quoted as csvField() would.
void appendValueText(std::string& out, const jet::Value& value, bool csvQuoting);
// A JSON value: null, true/false, numbers, or a quoted string.
std::string valueJson(const jet::Value& value);

std::string jsonString(const std::string& utf8);
std::string csvField(const std::string& text);  // quoted when it holds , " CR or LF
std::string base64(const jet::Bytes& bytes);
std::string dateTimeText(double days);
std::string currencyText(int64_t scaled);
std::string decimalText(const jet::Decimal& d);
std::string guidText(const jet::Guid& g);
std::string floatText(float f);
std::string doubleText(double d);

}  // namespace qar::cli
