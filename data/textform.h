// Text forms of numbers, amounts and dates as the user's locale writes them, and the parsers
// that read those forms back. Both follow QLocale() (the system locale unless the program or
// a test set another default), so a value's text form always parses to the same value.
#pragma once

#include <QDate>
#include <QString>

#include <optional>

#include "jet/value.h"

namespace qar::data {

// General format with 15 significant digits: fixed notation unless the exponent is 15 or
// more, or below -5 ("1E20", "1.5E-7"); the locale's decimal separator; no group separators.
QString formatFloat(double value);
// An amount with at most four decimals, trailing zeros dropped ("12", "12,5", "-0.0001").
QString formatCurrency(jet::Currency value);
// Short date; then, unless hours, minutes and seconds are all zero, a blank and the long time.
QString formatDateTime(jet::DateTime value);

// The locale's short date form with a four-digit year, and its long time form without a
// time zone: the forms formatDateTime() writes and parseDateTime() reads.
QString shortDateFormat();
QString longTimeFormat();

// Reads a number written in the user's locale, or with "." as decimal separator; blanks
// around it are ignored. Group separators are not accepted. Empty on anything else.
std::optional<double> parseFloat(const QString& text);
// Reads an amount (as parseFloat) rounded to four decimals; empty when out of range.
std::optional<jet::Currency> parseCurrency(const QString& text);
// Reads a date, a time, or a date and a time: the forms formatDateTime() writes, the
// locale's other date and time forms, and ISO 8601 ("2024-05-01", "2024-05-01 13:45:00").
std::optional<jet::DateTime> parseDateTime(const QString& text);

// Splits a date-time into its calendar day and milliseconds since midnight (rounded to the
// millisecond). Empty for values outside the years 100 to 9999 or not finite.
struct DayAndTime {
  QDate date;
  int msecs = 0;
};
std::optional<DayAndTime> splitDateTime(jet::DateTime value);
jet::DateTime joinDateTime(const QDate& date, int msecs);

}  // namespace qar::data
