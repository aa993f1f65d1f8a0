// Small value conversions shared by the fields and the key index: Single to double, GUID
// text, decimals to currency, and rounding as the variant rules round (half to even).
#pragma once

#include <QString>

#include <optional>

#include "data/variant.h"
#include "jet/value.h"

namespace qar::data {

// The double nearest the shortest decimal text that reads back as the same Single, so a
// Single of 36.6 reads as 36.6 and not as 36.5999984741211.
double singleAsDouble(float value);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", the first three groups little-endian as stored.
QString guidText(const jet::Guid& guid);
// Reads that form, braces optional, letter case ignored.
std::optional<jet::Guid> parseGuid(const QString& text);

// A decimal as a field reads it: an integer when it has no decimals and fits, currency
// (four decimals, rounded) when it fits, else a double.
Variant decimalAsVariant(const jet::Decimal& value);
// An amount as a decimal of the given precision and scale; empty when it has more digits.
std::optional<jet::Decimal> currencyToDecimal(jet::Currency value, int precision, int scale);

// Rounds half to even; empty when not finite or outside the 64-bit range.
std::optional<int64_t> roundToInteger(double value);

}  // namespace qar::data
