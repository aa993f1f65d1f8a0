// Building and reading the text criterion of a key search.
#include "data/criterion.h"

namespace qar::data {
namespace {

bool isTextType(TFieldType t) { return t == ftString || t == ftFixedChar || t == ftWideString; }
bool isDateType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime; }

// The quote a value's text gets on a field of this type (none: null QChar).
QChar quoteFor(TFieldType type, const QString& text) {
  if (isDateType(type)) return u'#';
  if (isTextType(type)) return text.contains(u'\'') ? u'#' : u'\'';
  return QChar();
}

}  // namespace

QString buildCriterion(const QString& fieldName, TFieldType type, const Variant& value, bool partial) {
  QString name = fieldName.contains(u' ') ? u'[' + fieldName + u']' : fieldName;
  if (value.isNullOrEmpty()) return u'(' + name + QStringLiteral("=Null)");
  QString text = value.toString();
  QChar q = quoteFor(type, text);
  QString quote = q.isNull() ? QString() : QString(q);
  QString op = QStringLiteral("=");
  if (partial && isTextType(type) && !text.isEmpty()) {
    op = QStringLiteral(" like ");
    text += u'*';
  }
  return u'(' + name + op + quote + text + quote + u')';
}

std::optional<Criterion> parseCriterion(const QString& text) {
  if (text.size() < 4 || !text.startsWith(u'(') || !text.endsWith(u')')) return std::nullopt;
  QStringView body = QStringView(text).mid(1, text.size() - 2);
  Criterion c;
  qsizetype pos = 0;
  if (body.startsWith(u'[')) {
    qsizetype close = body.indexOf(u']');
    if (close < 0) return std::nullopt;
    c.field = body.mid(1, close - 1).toString();
    pos = close + 1;
  } else {
    qsizetype eq = body.indexOf(u'=');
    qsizetype like = body.indexOf(QLatin1String(" like "), 0, Qt::CaseInsensitive);
    qsizetype end = eq < 0 ? like : (like < 0 ? eq : std::min(eq, like));
    if (end <= 0) return std::nullopt;
    c.field = body.left(end).toString();
    pos = end;
  }
  QStringView rest = body.mid(pos);
  if (rest.startsWith(u'=')) {
    rest = rest.mid(1);
  } else if (rest.startsWith(QLatin1String(" like "), Qt::CaseInsensitive)) {
    c.like = true;
    rest = rest.mid(6);
  } else {
    return std::nullopt;
  }
  if (c.field.trimmed().isEmpty()) return std::nullopt;

  if (!rest.isEmpty() && (rest[0] == u'\'' || rest[0] == u'#')) {
    QChar q = rest[0];
    qsizetype last = rest.lastIndexOf(q);
    if (last == 0) return std::nullopt;  // no closing quote
    if (last != rest.size() - 1) return std::nullopt;
    c.quote = q;
    c.literal = rest.mid(1, last - 1).toString();
  } else {
    if (rest.isEmpty()) return std::nullopt;  // "(ID=)": nothing to compare with
    c.literal = rest.toString();
    c.nullWord = !c.like && c.literal.compare(QLatin1String("Null"), Qt::CaseInsensitive) == 0;
  }
  if (c.like) {
    if (!c.literal.endsWith(u'*')) return std::nullopt;
    c.literal.chop(1);
  }
  return c;
}

std::optional<Criterion> criterionFor(const QString& fieldName, TFieldType type, const Variant& value,
                                      bool partial) {
  Criterion c;
  c.field = fieldName;
  if (fieldName.isEmpty()) return std::nullopt;
  if (value.isNullOrEmpty()) {
    c.nullWord = true;
    c.literal = QStringLiteral("Null");
    return c;
  }
  c.literal = value.toString();
  c.quote = quoteFor(type, c.literal);
  c.like = partial && isTextType(type) && !c.literal.isEmpty();
  if (c.quote.isNull()) {
    if (c.literal.isEmpty()) return std::nullopt;
    QChar first = c.literal[0];
    if (first == u'\'' || first == u'#') {
      // Unquoted text that starts like a quote reads as quoted text, as the criterion does.
      if (c.literal.size() < 2 || !c.literal.endsWith(first)) return std::nullopt;
      c.quote = first;
      c.literal = c.literal.mid(1, c.literal.size() - 2);
      return c;
    }
    c.nullWord = c.literal.compare(QLatin1String("Null"), Qt::CaseInsensitive) == 0;
  }
  return c;
}

}  // namespace qar::data
