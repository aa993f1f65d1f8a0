// The dataset layer's error messages, in one place, and the helpers that raise them.
// A query prefixes its own errors with its name ("adqTo: ..."); field errors and the
// engine's (provider's) messages carry no prefix.
#pragma once

#include <QString>

#include <string>

namespace qar::data::msg {

inline constexpr const char* kClosedDataset = "Cannot perform this operation on a closed dataset";
inline constexpr const char* kNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* kReadOnlyDataset = "Cannot modify a read-only dataset";
inline constexpr const char* kNoResultSet = "CommandText does not return a result set";
inline constexpr const char* kOpenObject = "Operation is not allowed when the object is open";

QString missingProperty(const QString& property);                  // "Missing SQL property"
QString listIndexOutOfBounds(int index);                            // "List index out of bounds (5)"
QString fieldReadOnly(const QString& field);                        // "Field 'ID' cannot be modified"
QString invalidValue(const QString& field);                         // "Invalid value for field 'X'"
QString outOfRange(double value, const QString& field, double low, double high);
QString fieldNotFound(const QString& field);                        // "Field 'X' not found"
QString tableNotFound(const QString& table);  // "The table 'X' does not exist in the database"

// A message of the database engine as the layer passes it on: trailing blanks, control
// characters and full stops removed.
QString providerMessage(const QString& text);
QString providerMessage(const std::string& utf8);

// Raises qar::Exception with text (UTF-8).
[[noreturn]] void raise(const QString& text);
// Raises text prefixed by the dataset's name ("name: text"); no prefix for an empty name.
[[noreturn]] void raiseFor(const QString& name, const QString& text);
// Raises the engine's message, cleaned by providerMessage().
[[noreturn]] void raiseProvider(const std::string& utf8);

}  // namespace qar::data::msg
