// Message texts of the dataset layer and the helpers that raise them.
#include "data/messages.h"

#include "base/exception.h"
#include "data/textform.h"

namespace qar::data::msg {

QString missingProperty(const QString& property) {
  return QStringLiteral("Missing %1 property").arg(property);
}

QString listIndexOutOfBounds(int index) {
  return QStringLiteral("List index out of bounds (%1)").arg(index);
}

QString fieldReadOnly(const QString& field) {
  return QStringLiteral("Field '%1' cannot be modified").arg(field);
}

QString invalidValue(const QString& field) {
  return QStringLiteral("Invalid value for field '%1'").arg(field);
}

QString outOfRange(double value, const QString& field, double low, double high) {
  return QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
      .arg(formatFloat(value), field, formatFloat(low), formatFloat(high));
}

QString fieldNotFound(const QString& field) {
  return QStringLiteral("Field '%1' not found").arg(field);
}

QString tableNotFound(const QString& table) {
  return QStringLiteral("The table '%1' does not exist in the database").arg(table);
}

QString providerMessage(const QString& text) {
  qsizetype n = text.size();
  while (n > 0) {
    QChar c = text[n - 1];
    if (c.unicode() <= 0x20 || c == u'.' || c.category() == QChar::Other_Control)
      --n;
    else
      break;
  }
  return text.left(n);
}

QString providerMessage(const std::string& utf8) {
  return providerMessage(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

void raise(const QString& text) { throw qar::Exception(text.toStdString()); }

void raiseFor(const QString& name, const QString& text) {
  if (name.isEmpty()) raise(text);
  raise(name + QStringLiteral(": ") + text);
}

void raiseProvider(const std::string& utf8) { raise(providerMessage(utf8)); }

}  // namespace qar::data::msg
