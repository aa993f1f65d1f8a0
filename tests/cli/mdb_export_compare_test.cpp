// Cross-check with an independent reader: "qar26m-cli export" of every table of every shared
// fixture against mdbtools' mdb-export. Only formatting is normalised (quoting, Null marker,
// booleans, date/time precision, float digits, binary encoding), never values. Rows are
// compared as sets: mdb-export lists a moved row where it now lives, we list it where Access
// does (at its original place).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include "cli/value_text.h"
#include "jet/database.h"
#include "reader_fixtures.h"

namespace {

struct Field {
  std::string text;
  bool quoted = false;
};
using CsvRow = std::vector<Field>;

// RFC 4180 records; rows end with LF or CRLF, quoted fields may hold either.
std::vector<CsvRow> parseCsv(const std::string& s) {
  std::vector<CsvRow> rows;
  CsvRow row;
  Field field;
  size_t i = 0;
  bool fieldStarted = false;
  auto endField = [&] {
    row.push_back(field);
    field = Field{};
    fieldStarted = false;
  };
  while (i < s.size()) {
    char c = s[i];
    if (!fieldStarted && c == '"') {
      field.quoted = true;
      fieldStarted = true;
      ++i;
      while (i < s.size()) {
        if (s[i] == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            field.text += '"';
            i += 2;
          } else {
            ++i;
            break;
          }
        } else {
          field.text += s[i++];
        }
      }
      continue;
    }
    if (c == ',') {
      endField();
      ++i;
    } else if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      endField();
      rows.push_back(std::move(row));
      row.clear();
      i += 2;
    } else if (c == '\n') {
      endField();
      rows.push_back(std::move(row));
      row.clear();
      ++i;
    } else {
      field.text += c;
      fieldStarted = true;
      ++i;
    }
  }
  if (fieldStarted || !row.empty()) {
    endField();
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

std::string runCommand(const std::string& command, int& status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) {
    status = -1;
    return out;
  }
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  status = ::pclose(p);
  return out;
}

bool haveMdbExport() {
  int status = 0;
  runCommand("mdb-export --version >/dev/null 2>&1", status);
  return status == 0;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string hexOf(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string unhex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::string fromBase64(const std::string& s) {
  std::string out;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : s) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else continue;
    acc = (acc << 6) | v;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  return out;
}

std::string noHyphens(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '-'), s.end());
  return s;
}

// mdb-export prints '?' for the C1 control characters that Jet 3 code page 1252 bytes
// 0x81, 0x8D, 0x8F, 0x90 and 0x9D stand for; we keep them.
std::string c1AsQuestionMark(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = s[i];
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
      out += '?';
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

const std::string kNull = "\x01null";
const std::string kPre1900 = "\x01before 1900";

// Canonical text of one of our fields.
std::string ours(const Field& f, const jet::Column& col) {
  if (f.text.empty() && !f.quoted) return kNull;
  // mdb-export prints zero-length text as Null; we keep the two apart.
  if (f.text.empty() && (col.kind == jet::ColumnKind::Text || col.kind == jet::ColumnKind::Memo)) return kNull;
  if (col.unknownKind) return hexOf(fromBase64(f.text));
  switch (col.kind) {
    case jet::ColumnKind::Single: return qar::cli::floatText(std::strtof(f.text.c_str(), nullptr));
    case jet::ColumnKind::Double: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.14g", std::strtod(f.text.c_str(), nullptr));
      return buf;
    }
    // mdb-export has no milliseconds, and cannot format dates before 1900.
    case jet::ColumnKind::DateTime: return f.text < "1899-12-30" ? kPre1900 : f.text.substr(0, 19);
    case jet::ColumnKind::OLE:
    case jet::ColumnKind::Binary: return hexOf(fromBase64(f.text));
    case jet::ColumnKind::ReplicationID: return noHyphens(f.text);
    case jet::ColumnKind::Text:
    case jet::ColumnKind::Memo: return c1AsQuestionMark(f.text);
    default: return f.text;
  }
}

// Canonical text of one of mdb-export's fields (run with -0 NULL -B -b hex).
std::string theirs(const Field& f, const jet::Column& col) {
  if (!f.quoted && f.text == "NULL") return kNull;
  if (col.unknownKind) return upper(f.text);
  switch (col.kind) {
    case jet::ColumnKind::DateTime: return f.text.compare(0, 10, "1900-01-00") == 0 ? kPre1900 : f.text;
    case jet::ColumnKind::YesNo: return f.text == "TRUE" ? "true" : f.text == "FALSE" ? "false" : f.text;
    case jet::ColumnKind::Single: return qar::cli::floatText(std::strtof(f.text.c_str(), nullptr));
    case jet::ColumnKind::Double: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.14g", std::strtod(f.text.c_str(), nullptr));
      return buf;
    }
    case jet::ColumnKind::OLE:
    case jet::ColumnKind::Binary: return upper(f.text);
    // -b hex also hex-encodes the GUID's text, which (in Jet 3 files) lacks the last hyphen.
    case jet::ColumnKind::ReplicationID: return noHyphens(unhex(f.text));
    default: return f.text;
  }
}

std::string describe(const std::vector<std::string>& row) {
  std::string s;
  for (const auto& f : row) s += (s.empty() ? "" : " | ") + (f == kNull ? std::string("<null>") : f.substr(0, 80));
  return s;
}

TEST(MdbExportCrossCheck, ExportOfEveryFixtureTableAgreesWithMdbExport) {
  QAR_REQUIRE_FIXTURES();
  if (!haveMdbExport()) GTEST_SKIP() << "mdb-export (Debian package mdbtools) is not installed";
  const std::string cli = std::string(QAR_BUILD_DIR) + "/qar26m-cli";
  int tablesCompared = 0;
  for (const auto& path : jet::testing::allFixtureDatabases()) {
    auto db = jet::Database::open(path.string());
    for (const auto& name : db->tableNames()) {
      SCOPED_TRACE(path.string() + " " + name);
      const auto& columns = db->table(name).def().columns;
      int status = 0;
      std::string mine = runCommand(cli + " export " + shellQuote(path.string()) + " " + shellQuote(name), status);
      ASSERT_EQ(status, 0);
      std::string other = runCommand("mdb-export -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -b hex -B -0 NULL " +
                                         shellQuote(path.string()) + " " + shellQuote(name) + " 2>/dev/null",
                                     status);
      ASSERT_EQ(status, 0);
      auto a = parseCsv(mine);
      auto b = parseCsv(other);
      ASSERT_FALSE(a.empty());
      ASSERT_FALSE(b.empty());
      ASSERT_EQ(a[0].size(), columns.size());
      ASSERT_EQ(b[0].size(), columns.size());
      for (size_t i = 0; i < columns.size(); ++i) EXPECT_EQ(a[0][i].text, b[0][i].text);
      std::vector<std::vector<std::string>> ra, rb;
      for (size_t r = 1; r < a.size(); ++r) {
        ASSERT_EQ(a[r].size(), columns.size()) << "our row " << r;
        std::vector<std::string> row;
        for (size_t i = 0; i < columns.size(); ++i) row.push_back(ours(a[r][i], columns[i]));
        ra.push_back(row);
      }
      for (size_t r = 1; r < b.size(); ++r) {
        ASSERT_EQ(b[r].size(), columns.size()) << "mdb-export row " << r;
        std::vector<std::string> row;
        for (size_t i = 0; i < columns.size(); ++i) row.push_back(theirs(b[r][i], columns[i]));
        rb.push_back(row);
      }
      EXPECT_EQ(ra.size(), rb.size());
      std::sort(ra.begin(), ra.end());
      std::sort(rb.begin(), rb.end());
      std::vector<std::vector<std::string>> onlyOurs, onlyTheirs;
      std::set_difference(ra.begin(), ra.end(), rb.begin(), rb.end(), std::back_inserter(onlyOurs));
      std::set_difference(rb.begin(), rb.end(), ra.begin(), ra.end(), std::back_inserter(onlyTheirs));
      for (size_t i = 0; i < std::min<size_t>(onlyOurs.size(), 3); ++i) ADD_FAILURE() << "only ours: " << describe(onlyOurs[i]);
      for (size_t i = 0; i < std::min<size_t>(onlyTheirs.size(), 3); ++i)
        ADD_FAILURE() << "only mdb-export's: " << describe(onlyTheirs[i]);
      ++tablesCompared;
    }
  }
  EXPECT_GT(tablesCompared, 0);
}

}  // namespace
