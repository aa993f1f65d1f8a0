// Locale text forms of numbers, amounts and dates, and their parsers.
#include "data/textform.h"

#include <QLocale>
#include <QStringList>
#include <QTime>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qar::data {
namespace {

constexpr int kMsecsPerDay = 86400000;
const QDate kEpoch(1899, 12, 30);  // day 0 of the OLE automation date
constexpr double kMinDays = -657434.0;     // 0100-01-01
constexpr double kMaxDays = 2958465.99999;  // 9999-12-31 23:59:59.999

QString decimalPoint() { return QLocale().decimalPoint(); }

// Drops the unquoted time-zone letters ('t') of a Qt time format.
QString withoutTimeZone(const QString& format) {
  QString out;
  bool quoted = false;
  for (QChar c : format) {
    if (c == u'\'') quoted = !quoted;
    if (!quoted && c == u't') continue;
    out += c;
  }
  return out.simplified();
}

std::optional<double> parseWith(const QLocale& locale, const QString& text) {
  bool ok = false;
  double v = locale.toDouble(text, &ok);
  if (!ok) return std::nullopt;
  return v;
}

std::optional<QDate> parseDate(const QString& text) {
  QLocale locale;
  const QString forms[] = {shortDateFormat(), locale.dateFormat(QLocale::ShortFormat),
                           locale.dateFormat(QLocale::LongFormat), QStringLiteral("yyyy-MM-dd")};
  for (const QString& form : forms) {
    QDate d = locale.toDate(text, form);
    if (d.isValid()) return d;
  }
  return std::nullopt;
}

std::optional<int> parseTime(const QString& text) {
  QLocale locale;
  const QString forms[] = {longTimeFormat(), withoutTimeZone(locale.timeFormat(QLocale::ShortFormat)),
                           QStringLiteral("HH:mm:ss"), QStringLiteral("HH:mm:ss.zzz"),
                           QStringLiteral("HH:mm")};
  for (const QString& form : forms) {
    QTime t = locale.toTime(text, form);
    if (t.isValid()) return t.msecsSinceStartOfDay();
  }
  return std::nullopt;
}

}  // namespace

QString formatFloat(double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  if (value == 0) return QStringLiteral("0");
  char buf[40];
  // [-]d.dddddddddddddde[+-]xx, independent of the C library's locale.
  auto res = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific, 14);
  *res.ptr = 0;
  const char* p = buf;
  bool negative = *p == '-';
  if (negative) ++p;
  QString digits;
  for (; *p && *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') digits += QChar(*p);
  }
  int exponent = *p ? std::atoi(p + 1) : 0;
  while (digits.size() > 1 && digits.endsWith(u'0')) digits.chop(1);

  QString out = negative ? QStringLiteral("-") : QString();
  if (exponent >= 15 || exponent < -5) {
    out += digits[0];
    if (digits.size() > 1) out += decimalPoint() + digits.mid(1);
    out += u'E' + QString::number(exponent);
    return out;
  }
  if (exponent < 0) {
    out += u'0' + decimalPoint() + QString(-exponent - 1, u'0') + digits;
    return out;
  }
  int whole = exponent + 1;
  if (digits.size() <= whole) return out + digits + QString(whole - digits.size(), u'0');
  return out + digits.left(whole) + decimalPoint() + digits.mid(whole);
}

QString formatCurrency(jet::Currency value) {
  bool negative = value.scaled < 0;
  // Work on the magnitude as unsigned so the most negative amount has one too.
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value.scaled) : static_cast<uint64_t>(value.scaled);
  QString out = negative ? QStringLiteral("-") : QString();
  out += QString::number(magnitude / 10000);
  uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    QString f = QString::number(fraction).rightJustified(4, u'0');
    while (f.endsWith(u'0')) f.chop(1);
    out += decimalPoint() + f;
  }
  return out;
}

QString shortDateFormat() {
  QString form = QLocale().dateFormat(QLocale::ShortFormat);
  if (!form.contains(QStringLiteral("yyyy")) && form.contains(QStringLiteral("yy")))
    form.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  return form;
}

QString longTimeFormat() { return withoutTimeZone(QLocale().timeFormat(QLocale::LongFormat)); }

std::optional<DayAndTime> splitDateTime(jet::DateTime value) {
  double days = value.days;
  if (!std::isfinite(days) || days < kMinDays || days > kMaxDays) return std::nullopt;
  double whole = std::trunc(days);
  double fraction = std::fabs(days - whole);
  auto msecs = static_cast<int>(std::llround(fraction * kMsecsPerDay));
  QDate date = kEpoch.addDays(static_cast<qint64>(whole));
  if (msecs >= kMsecsPerDay) {  // rounded up to the next midnight
    msecs -= kMsecsPerDay;
    date = date.addDays(1);
  }
  return DayAndTime{date, msecs};
}

jet::DateTime joinDateTime(const QDate& date, int msecs) {
  double whole = static_cast<double>(kEpoch.daysTo(date));
  double fraction = static_cast<double>(msecs) / kMsecsPerDay;
  // Before the epoch the time of day still counts forward from that day's midnight.
  return jet::DateTime{whole >= 0 ? whole + fraction : whole - fraction};
}

QString formatDateTime(jet::DateTime value) {
  auto parts = splitDateTime(value);
  if (!parts) return formatFloat(value.days);
  QLocale locale;
  QString out = locale.toString(parts->date, shortDateFormat());
  QTime time = QTime::fromMSecsSinceStartOfDay(parts->msecs);
  if (time.hour() != 0 || time.minute() != 0 || time.second() != 0)
    out += u' ' + locale.toString(time, longTimeFormat());
  return out;
}

std::optional<double> parseFloat(const QString& text) {
  QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  QLocale locale;
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  if (auto v = parseWith(locale, t)) return v;
  QLocale c = QLocale::c();
  c.setNumberOptions(QLocale::RejectGroupSeparator);
  return parseWith(c, t);
}

// Plain decimal text ("-12.3456", "12,5") read exactly, rounding half to even past four
// decimals; empty when the text has another shape or the amount does not fit.
std::optional<jet::Currency> parseExactAmount(const QString& t) {
  const QString point = decimalPoint();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
  unsigned __int128 scaled = 0;
  int decimals = -1;  // digits after the point so far; -1 before it
  int beyond = 0;     // first digit past the fourth decimal
  bool sticky = false;
  bool any = false;
  for (; i < t.size(); ++i) {
    QChar c = t[i];
    if (c.isDigit() && c.unicode() < 128) {
      any = true;
      int digit = c.unicode() - '0';
      if (decimals < 4) {
        scaled = scaled * 10 + digit;
        if (scaled > (static_cast<unsigned __int128>(1) << 64)) return std::nullopt;
        if (decimals >= 0) ++decimals;
      } else if (decimals == 4) {
        beyond = digit;
        decimals = 5;
      } else if (digit != 0) {
        sticky = true;
      }
    } else if (decimals < 0 && (QStringView(t).mid(i).startsWith(point) || c == u'.')) {
      decimals = 0;
      if (c != u'.') i += point.size() - 1;
    } else {
      return std::nullopt;
    }
  }
  if (!any) return std::nullopt;
  for (int d = decimals < 0 ? 0 : std::min(decimals, 4); d < 4; ++d) scaled *= 10;
  if (beyond > 5 || (beyond == 5 && (sticky || (scaled & 1)))) ++scaled;
  unsigned __int128 limit = static_cast<unsigned __int128>(INT64_MAX) + (negative ? 1 : 0);
  if (scaled > limit) return std::nullopt;
  auto magnitude = static_cast<uint64_t>(scaled);
  return jet::Currency{negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude)};
}

std::optional<jet::Currency> parseCurrency(const QString& text) {
  QString t = text.trimmed();
  if (auto exact = parseExactAmount(t)) return exact;
  auto v = parseFloat(t);
  if (!v) return std::nullopt;
  double scaled = std::nearbyint(*v * 10000.0);
  // 2^63 is exactly representable; anything at or past it does not fit.
  if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
    return std::nullopt;
  return jet::Currency{static_cast<int64_t>(scaled)};
}

std::optional<jet::DateTime> parseDateTime(const QString& text) {
  QString t = text.simplified();
  if (t.isEmpty()) return std::nullopt;
  if (auto d = parseDate(t)) return joinDateTime(*d, 0);
  if (auto ms = parseTime(t)) return joinDateTime(kEpoch, *ms);
  // A date and a time: the date part may itself hold blanks ("1 May 2024 13:45:00").
  for (qsizetype i = t.indexOf(u' '); i > 0; i = t.indexOf(u' ', i + 1)) {
    auto d = parseDate(t.left(i));
    if (!d) continue;
    if (auto ms = parseTime(t.mid(i + 1))) return joinDateTime(*d, *ms);
  }
  // ISO 8601 with a 'T' between date and time.
  qsizetype tPos = t.indexOf(u'T');
  if (tPos == 10) {
    auto d = parseDate(t.left(tPos));
    auto ms = parseTime(t.mid(tPos + 1));
    if (d && ms) return joinDateTime(*d, *ms);
  }
  return std::nullopt;
}

}  // namespace qar::data
