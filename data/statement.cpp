// Reading the statement text of a query or command.
#include "data/statement.h"

#include <QRegularExpression>

#include "data/messages.h"

namespace qar::data {

Statement parseStatement(const QString& sql) {
  static const QRegularExpression kForm(
      QStringLiteral(R"(^\s*(select\s+\*\s*|delete\s+)from\s+(?:\[([^\]]+)\]|([^\s\[\];]+))\s*;?\s*$)"),
      QRegularExpression::CaseInsensitiveOption);
  QRegularExpressionMatch m = kForm.match(sql);
  if (!m.hasMatch()) {
    QString shown = sql.simplified();
    if (shown.size() > 80) shown = shown.left(77) + QStringLiteral("...");
    msg::raise(QStringLiteral("Unsupported statement \"%1\": only \"Select * From <table>\" and "
                              "\"Delete From <table>\" can be run")
                   .arg(shown));
  }
  Statement s;
  s.kind = m.captured(1).trimmed().startsWith(u'd', Qt::CaseInsensitive) ? Statement::Delete : Statement::Select;
  s.table = m.captured(2).isEmpty() ? m.captured(3) : m.captured(2);
  return s;
}

}  // namespace qar::data
