// The text criterion of a key search, one per key field: "(Name='value')", "([Card No]=12)",
// "(Stamp=#5/1/2024 1:30:00 PM#)", "(Name like 'Sm*')" or "(Name=Null)". Built from the
// searched field and the value's text, then read back to learn what the search compares.
#pragma once

#include <QString>

#include <optional>

#include "data/field.h"
#include "data/variant.h"

namespace qar::data {

// The criterion for one key field. The quote follows the field's type: '#' for dates and
// times, "'" for text (or '#' when the value's text holds "'"), none for other types.
// With partial set, a text field and a non-empty value give a prefix match (" like ", "*").
QString buildCriterion(const QString& fieldName, TFieldType type, const Variant& value, bool partial);

struct Criterion {
  QString field;         // the field's name, without brackets
  bool like = false;     // " like " rather than "="
  QChar quote;           // '\'', '#' or none (null QChar)
  QString literal;       // text between the quotes (or all of it); "*" removed for like
  bool nullWord = false; // the unquoted word Null
};

// Reads a criterion back; empty when it is not of the form above (for example a value that
// is empty on a field that takes no quotes). The literal runs from the first quote to the
// last one before the closing parenthesis, so quotes inside the value survive.
std::optional<Criterion> parseCriterion(const QString& text);

// What parseCriterion(buildCriterion(name, type, value, partial)) gives, without the text:
// the key search takes this road once per search.
std::optional<Criterion> criterionFor(const QString& fieldName, TFieldType type, const Variant& value, bool partial);

}  // namespace qar::data
