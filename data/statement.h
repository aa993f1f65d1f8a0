// The two statements the dataset layer runs: "Select * From <table>" and
// "Delete From <table>" (keywords in any letter case, the name bare or in brackets, an
// optional trailing semicolon). Anything else is refused with a message saying so.
#pragma once

#include <QString>

namespace qar::data {

struct Statement {
  enum Kind { Select, Delete } kind = Select;
  QString table;
};

// Reads a statement text; raises qar::Exception with a clear message for anything else.
Statement parseStatement(const QString& sql);

}  // namespace qar::data
