// Conversions into and out of Access 97 files. The shared basic pair is carried into new
// Access 97 and Access 2000 files with qar26m-cli (create, create-table, import), its text
// held to code page 1252; the pair then converts all eighteen tables in every pairing of the
// two versions with the same counts and the same rows as Access 2000 into Access 2000.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <fstream>
#include <regex>

#include "engine/catalogue.h"
#include "jet/check/structure_check.h"
#include "support/engine_test_support.h"
#include "write_testing.h"

namespace qar::test {
namespace {

const std::string kCli = QAR_BUILD_DIR "/qar26m-cli";

std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

// Runs qar26m-cli; fails the test when it does not exit 0.
void cli(const std::string& arguments) {
  const std::string output = jet::testing::runCommand(kCli + " " + arguments + " 2>&1; echo \"exit=$?\"");
  ASSERT_NE(output.find("exit=0"), std::string::npos) << "qar26m-cli " << arguments << "\n" << output;
}

// Every character of UTF-8 text that code page 1252 cannot hold (anything past U+00FF, the
// C1 controls) turned into an ASCII letter picked by its code point.
std::string heldTo1252(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? lead : lead & (0x7F >> n);
    for (size_t k = 1; k < n && i + k < utf8.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out.append(utf8, i, n);
    } else {
      out.push_back(static_cast<char>('a' + cp % 26));
    }
    i += n;
  }
  return out;
}

// create-table arguments giving the table the fixture table's columns and indexes.
std::string tableArguments(const jet::TableDef& def) {
  std::string args = shellQuoted(def.name);
  for (const jet::Column& c : def.columns) {
    args += " " + shellQuoted(c.name + ":" + std::string(jet::kindName(c.kind, c.autoNumber)) +
                         (c.kind == jet::ColumnKind::Text ? ":" + std::to_string(c.textLength(true)) : ""));
  }
  for (const jet::Index& index : def.indexes) {
    if (index.foreignKey) continue;
    std::string columns;
    for (const jet::IndexColumn& ic : index.columns) {
      columns += (columns.empty() ? "" : ",") + std::string(ic.ascending ? "" : "-") + def.columns[size_t(ic.column)].name;
    }
    args += index.primary ? " --primary-key " + shellQuoted(columns)
                          : " --index " + shellQuoted(index.name + ":" + columns + (index.unique ? ":unique" : ""));
  }
  return args;
}

// The fixture file's eighteen tables as a new file of the given version ("97" or "2000").
void carryOver(const QString& fixture, const QString& target, const char* access, const QString& scratch) {
  cli("create " + shellQuoted(target.toStdString()) + " --access " + access);
  auto model = jet::Database::open(fixture.toStdString());
  for (const CatalogueEntry& entry : TableCatalogue) {
    SCOPED_TRACE(entry.name);
    cli("create-table " + shellQuoted(target.toStdString()) + " " + tableArguments(model->table(entry.name).def()));
    const std::string rows = jet::testing::runCommand(kCli + " export " + shellQuoted(fixture.toStdString()) + " " +
                                                      entry.name + " --format jsonl");
    const std::string file = scratch.toStdString() + "/rows.jsonl";
    std::string held = heldTo1252(rows);
    if (model->table(entry.name).def().columns.front().autoNumber) {
      // The new table numbers its rows itself: each line's first value (the number) left out.
      held = std::regex_replace(held, std::regex(R"(^\[-?[0-9]+,)", std::regex::multiline), "[null,");
    }
    std::ofstream(file, std::ios::binary) << held;
    cli("import " + shellQuoted(target.toStdString()) + " " + entry.name + " --format jsonl < " + shellQuoted(file));
  }
}

QStringList allTables() {
  QStringList names;
  for (const CatalogueEntry& entry : TableCatalogue) names << QString::fromLatin1(entry.name);
  return names;
}

struct Converted {
  RunOutcome outcome;
  std::map<QString, std::vector<jet::Row>> rows;
};

TEST(Access97Convert, EveryPairingOfVersionsConvertsLikeAccess2000) {
  QTemporaryDir dir;
  const QString fixtures = fixturesDir() + "/qar26m/basic";
  if (!QFile::exists(fixtures + "/source.mdb")) GTEST_SKIP() << "shared fixtures absent: " << fixtures.toStdString();
  for (const char* access : {"97", "2000"}) {
    QDir(dir.path()).mkpath(access);
    for (const char* side : {"source", "destination"}) {
      carryOver(fixtures + "/" + side + ".mdb", dir.filePath(QString(access) + "/" + side + ".mdb"), access, dir.path());
      if (HasFatalFailure()) return;
    }
  }
  // Access 2000 into Access 2000 first: the runs the others are held to.
  const std::pair<const char*, const char*> pairings[] = {{"2000", "2000"}, {"97", "97"}, {"97", "2000"}, {"2000", "97"}};
  std::vector<Converted> runs;
  for (const auto& [from, to] : pairings) {
    SCOPED_TRACE(std::string(from) + " into " + to);
    const QString folder = dir.filePath(QString("run-%1-%2").arg(from, to));
    QDir().mkpath(folder);
    const QString source = folder + "/source.mdb", destination = folder + "/destination.mdb";
    ASSERT_TRUE(QFile::copy(dir.filePath(QString(from) + "/source.mdb"), source));
    ASSERT_TRUE(QFile::copy(dir.filePath(QString(to) + "/destination.mdb"), destination));
    const QByteArray sourceBytes = fileBytes(source);
    RecordingObserver observer;
    Converted run;
    run.outcome = convert(source, destination, allTables(), observer);
    ASSERT_TRUE(run.outcome.completed()) << run.outcome.errorDetails.toStdString();
    ASSERT_EQ(run.outcome.tables.size(), 18u);
    EXPECT_EQ(fileBytes(source), sourceBytes) << "the source changed";
    for (const CatalogueEntry& entry : TableCatalogue) run.rows[entry.name] = readRows(destination, entry.name);
    const jet::StructureReport report = jet::testing::checkFile(destination.toStdString());
    EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
    if (jet::testing::haveMdbTools()) {
      for (const CatalogueEntry& entry : TableCatalogue) {
        const std::string exported = jet::testing::mdbExport(destination.toStdString(), entry.name);
        const size_t lines = size_t(std::count(exported.begin(), exported.end(), '\n'));
        EXPECT_EQ(lines, run.rows[entry.name].size() + 1) << entry.name << ": mdb-export reads\n" << exported.substr(0, 400);
      }
    }
    runs.push_back(std::move(run));
  }
  const Converted& reference = runs.front();
  for (size_t r = 1; r < runs.size(); ++r) {
    SCOPED_TRACE(std::string(pairings[r].first) + " into " + pairings[r].second);
    for (size_t t = 0; t < reference.outcome.tables.size(); ++t) {
      const TableSummary& want = reference.outcome.tables[t];
      const TableSummary& got = runs[r].outcome.tables[t];
      SCOPED_TRACE(want.name.toStdString());
      EXPECT_EQ(got.name, want.name);
      EXPECT_EQ(got.recordsRead, want.recordsRead);
      EXPECT_EQ(got.recordsUpdated, want.recordsUpdated);
      EXPECT_EQ(got.recordsAppended, want.recordsAppended);
      EXPECT_EQ(got.recordsRemoved, want.recordsRemoved);
      EXPECT_EQ(got.recordsUnchanged, want.recordsUnchanged);
      EXPECT_EQ(runs[r].rows.at(want.name), reference.rows.at(want.name));
    }
  }
}

// A source whose text code page 1252 cannot hold stops the run at the first such record with
// "Fields Transform Error!", the column and the character named; the backup is the
// destination as it was.
TEST(Access97Convert, TextTheCodePageLacksIsAFieldsTransformError) {
  QTemporaryDir dir;
  const QString fixtures = fixturesDir() + "/qar26m/basic";
  if (!QFile::exists(fixtures + "/source.mdb")) GTEST_SKIP() << "shared fixtures absent: " << fixtures.toStdString();
  const QString source = dir.filePath("source.mdb"), destination = dir.filePath("destination.mdb");
  ASSERT_TRUE(QFile::copy(fixtures + "/source.mdb", source));
  carryOver(fixtures + "/destination.mdb", destination, "97", dir.path());
  if (HasFatalFailure()) return;
  const QByteArray before = fileBytes(destination);
  RecordingObserver observer;
  const RunOutcome outcome = convert(source, destination, {"DepartmentData"}, observer);
  EXPECT_EQ(outcome.failure, RunFailure::FieldsTransform) << outcome.errorDetails.toStdString();
  ASSERT_EQ(observer.boxes.size(), 1u);
  EXPECT_EQ(observer.boxes[0].text, "Fields Transform Error!");
  EXPECT_NE(observer.boxes[0].details.indexOf("DepartmentName"), -1) << observer.boxes[0].details.toStdString();
  EXPECT_NE(observer.boxes[0].details.indexOf("1252"), -1) << observer.boxes[0].details.toStdString();
  EXPECT_EQ(fileBytes(outcome.backupPath), before);
  EXPECT_TRUE(jet::testing::checkFile(destination.toStdString()).ok());
}

}  // namespace
}  // namespace qar::test
