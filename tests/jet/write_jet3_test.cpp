// Writing Access 97 (Jet 3) files: every table without indexes of every Access-written Jet 3
// fixture changed on a copy (rows added, grown, moved and deleted) and read back equal by the
// engine and by mdbtools, untouched tables unchanged and the structure check passing; text
// in the file's code page (refused when the code page lacks a character); random rounds
// against a model with rows long enough to need the jump table; tables whose text indexes
// the engine cannot keep refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <random>

#include "jet/check/write_fitness.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/io/file.h"
#include "jet/pager/journal.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::jet3Fixtures;

using jet::testing::mdbExport;
using Model = std::map<jet::RowId, jet::Row>;

bool indexed(const jet::Table& t) { return !t.def().indexes.empty(); }

// Whether some index of the table has a Text column.
bool textIndexed(const jet::Table& t) {
  for (const jet::Index& index : t.def().indexes) {
    for (const jet::IndexColumn& c : index.columns) {
      if (t.def().columns[c.column].kind == jet::ColumnKind::Text) return true;
    }
  }
  return false;
}

size_t lines(const std::string& s) { return static_cast<size_t>(std::count(s.begin(), s.end(), '\n')); }

Model readAll(const jet::Table& t) {
  Model rows;
  auto c = t.scan();
  while (c.next()) rows[c.id()] = c.values();
  return rows;
}

// Text of `length` code page bytes mixing ASCII with characters of code page 1252 above 0x7F.
std::string textOfLength(std::mt19937& rng, size_t length) {
  static const char* const wide[] = {"\xc3\xa9", "\xc3\x9f", "\xe2\x82\xac", "\xc3\x91", "\xe2\x80\x94"};
  std::string s;
  for (size_t i = 0; i < length; ++i) {
    if (rng() % 5 == 0) {
      s += wide[rng() % 5];
    } else {
      s += static_cast<char>('a' + rng() % 26);
    }
  }
  return s;
}

// A row like `like` with every Text column given new text of random length (some Null) and
// auto-numbers left Null, so the table assigns them.
jet::Row variedRow(std::mt19937& rng, const jet::Table& t, jet::Row like, bool keepAutoNumbers) {
  for (size_t i = 0; i < like.size(); ++i) {
    const jet::Column& c = t.def().columns[i];
    if (c.autoNumber) {
      if (!keepAutoNumbers) like[i] = jet::Null{};
      continue;
    }
    if (c.kind != jet::ColumnKind::Text) continue;
    if (rng() % 6 == 0 && c.nullable) {
      like[i] = jet::Null{};
    } else {
      like[i] = textOfLength(rng, rng() % (c.size + 1u));
    }
  }
  return like;
}

// The quoted fields of mdb-export's output (text), quotes undoubled.
std::multiset<std::string> quotedFields(const std::string& out) {
  std::multiset<std::string> fields;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] != '"') continue;
    std::string field;
    for (++i; i < out.size(); ++i) {
      if (out[i] == '"' && i + 1 < out.size() && out[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (out[i] == '"') {
        break;
      } else {
        field += out[i];
      }
    }
    fields.insert(std::move(field));
  }
  return fields;
}

// mdbtools reads the rows: one line per row, every text the model holds among them.
void expectExported(const std::filesystem::path& path, const std::string& table, const Model& model) {
  if (!jet::testing::haveMdbTools()) return;
  const std::string out = mdbExport(path, table);
  EXPECT_EQ(lines(out), model.size() + 1) << out.substr(0, 2000);
  std::multiset<std::string> fields = quotedFields(out);
  size_t missing = 0;
  for (const auto& [id, row] : model) {
    for (const jet::Value& v : row) {
      const auto* text = std::get_if<std::string>(&v);
      if (!text || text->empty()) continue;
      auto it = fields.find(*text);
      if (it == fields.end()) {
        ++missing;
      } else {
        fields.erase(it);
      }
    }
  }
  EXPECT_EQ(missing, 0u) << table << "\n" << out.substr(0, 2000);
}

bool hasText(const jet::Table& t) {
  return std::any_of(t.def().columns.begin(), t.def().columns.end(),
                     [](const jet::Column& c) { return c.kind == jet::ColumnKind::Text; });
}

TEST(WriteJet3, FixtureTablesTakeInsertsGrowingUpdatesAndDeletes) {
  QAR_REQUIRE_FIXTURES();
  const bool mdbtools = jet::testing::haveMdbTools();
  int changedTables = 0;
  for (const auto& source : jet3Fixtures()) {
    // The check follows the long values of Access's own rows to their pages.
    for (const std::string& w : jet::testing::checkFile(source).warnings) {
      EXPECT_EQ(w.find("lost pages"), std::string::npos) << source << ": " << w;
    }
    jet::testing::TempDir dir;
    auto path = dir.copy(source);
    std::map<std::string, std::string> before;
    std::map<std::string, Model> models;
    std::mt19937 rng(7);
    {
      auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
      ASSERT_EQ(db->format(), jet::Format::Jet3);
      for (const auto& name : db->tableNames()) before[name] = mdbtools ? mdbExport(path, name) : "";
      for (const auto& name : db->tableNames()) {
        auto t = db->table(name);
        if (indexed(t)) continue;
        Model model = readAll(t);
        std::vector<std::pair<jet::RowId, jet::Row>> rows(model.begin(), model.end());
        SCOPED_TRACE(source.string() + " table " + name);
        // Copies of the rows with new text (rows of Nulls and text in an empty table),
        // then each old row grown (moved when it no longer fits) or shrunk in place, and
        // every third one deleted.
        const jet::Row empty(t.def().columns.size(), jet::Null{});
        for (size_t i = 0; i < std::max<size_t>(std::min<size_t>(rows.size(), 40), 30); ++i) {
          jet::Row copy = variedRow(rng, t, rows.empty() ? empty : rows[i % rows.size()].second, false);
          jet::RowId id = t.insert(copy);
          model[id] = copy;
        }
        for (size_t i = 0; i < rows.size(); ++i) {
          if (i % 3 == 2) {
            t.remove(rows[i].first);
            model.erase(rows[i].first);
          } else if (hasText(t)) {
            jet::Row changed = variedRow(rng, t, rows[i].second, true);
            t.update(rows[i].first, changed);
            model[rows[i].first] = changed;
          }
        }
        EXPECT_EQ(readAll(t), model) << "before the flush";
        EXPECT_EQ(t.rowCount(), model.size());
        models[name] = std::move(model);
      }
      db->close();
    }
    changedTables += static_cast<int>(models.size());
    auto db = jet::Database::open(path.string());
    // The definition and data pages of the tables left alone are byte for byte as before.
    std::set<uint32_t> untouched;
    for (const auto& name : db->tableNames()) {
      if (!models.count(name)) untouched.insert(db->table(name).def().definitionPage);
    }
    const auto original = jet::testing::readWholeFile(source);
    const auto written = jet::testing::readWholeFile(path);
    size_t compared = 0;
    for (size_t at = 0; at + 2048 <= original.size() && at + 2048 <= written.size(); at += 2048) {
      const uint8_t* page = original.data() + at;
      const uint32_t owner = page[4] | page[5] << 8 | page[6] << 16 | static_cast<uint32_t>(page[7]) << 24;
      const bool ownPage = (page[0] == 0x02 && untouched.count(static_cast<uint32_t>(at / 2048))) ||
                           (page[0] == 0x01 && untouched.count(owner));
      if (!ownPage) continue;
      ++compared;
      EXPECT_TRUE(std::equal(page, page + 2048, written.data() + at)) << source << " page " << at / 2048;
    }
    EXPECT_EQ(compared > 0, !untouched.empty()) << source;
    for (const auto& [name, model] : models) {
      EXPECT_EQ(readAll(db->table(name)), model) << source << " table " << name << " after reopening";
      EXPECT_EQ(db->table(name).rowCount(), model.size());
    }
    if (mdbtools) {
      for (const auto& [name, text] : before) {
        std::string after = mdbExport(path, name);
        auto changed = models.find(name);
        if (changed == models.end()) {
          EXPECT_EQ(after, text) << source << " table " << name << " changed";
        } else {
          expectExported(path, name, changed->second);
        }
      }
    }
    // No drift of the writer's own (free-space maps exact, no lost pages): only what Access
    // left in the file.
    jet::StructureReport report = jet::testing::checkFile(path);
    EXPECT_TRUE(report.ok()) << source << "\n" << jet::testing::describeDefects(report);
    EXPECT_EQ(report.warnings, jet::testing::checkFile(source).warnings) << source;
  }
  if (!jet3Fixtures().empty()) {
    EXPECT_GT(changedTables, 3);
  }
}

// The first table without indexes that has a Text column, in a copy of a Jet 3 fixture.
struct TextTable {
  std::filesystem::path path;
  std::string table;
  size_t textColumn = 0;
};

std::optional<TextTable> findTextTable(jet::testing::TempDir& dir) {
  for (const auto& source : jet3Fixtures()) {
    auto db = jet::Database::open(source.string());
    for (const auto& name : db->tableNames()) {
      auto t = db->table(name);
      if (indexed(t)) continue;
      for (size_t i = 0; i < t.def().columns.size(); ++i) {
        const jet::Column& c = t.def().columns[i];
        if (c.kind == jet::ColumnKind::Text && c.size >= 20) return TextTable{dir.copy(source), name, i};
      }
    }
  }
  return std::nullopt;
}

TEST(WriteJet3, TextIsStoredInTheCodePageAndRefusedWhenItHasNoByteForACharacter) {
  QAR_REQUIRE_FIXTURES();
  jet::testing::TempDir dir;
  auto found = findTextTable(dir);
  if (!found) GTEST_SKIP() << "no Jet 3 fixture has a table with a Text column and no indexes";
  const std::string accented = "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac 5 \xe2\x80\x94 \xc5\x92uvre";  // Grüße € 5 — Œuvre
  jet::RowId kept;
  size_t size = 0;
  std::string column;
  {
    auto db = jet::Database::open(found->path.string(), jet::OpenMode::ReadWrite);
    EXPECT_EQ(db->codePage(), 1252);
    auto t = db->table(found->table);
    const jet::Column& c = t.def().columns[found->textColumn];
    size = c.size;
    column = c.name;
    jet::Row row(t.def().columns.size(), jet::Null{});
    row[found->textColumn] = accented;
    kept = t.insert(row);
    EXPECT_EQ(t.read(kept)[found->textColumn], jet::Value(accented));

    struct Refused {
      std::string text, named;
    };
    const Refused refused[] = {
        {"abc \xce\xa9", "U+03A9"},          // Greek capital omega
        {"\xe4\xb8\xad", "U+4E2D"},          // a Chinese character
        {"ok \xf0\x9f\x98\x80", "U+1F600"},  // an emoji (a surrogate pair in UTF-16)
    };
    for (const Refused& r : refused) {
      row[found->textColumn] = r.text;
      try {
        t.insert(row);
        ADD_FAILURE() << "stored " << r.text;
      } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Invalid);
        std::string what = e.what();
        EXPECT_NE(what.find(column), std::string::npos) << what;
        EXPECT_NE(what.find(r.named), std::string::npos) << what;
        EXPECT_NE(what.find("1252"), std::string::npos) << what;
      }
    }
    // The limit counts code page bytes: size characters of "é" fit, one more does not.
    std::string full;
    for (size_t i = 0; i < size; ++i) full += "\xc3\xa9";
    row[found->textColumn] = full;
    jet::RowId fullId = t.insert(row);
    EXPECT_EQ(t.read(fullId)[found->textColumn], jet::Value(full));
    row[found->textColumn] = full + "e";
    EXPECT_THROW(t.insert(row), jet::Error);
    db->close();
  }
  auto db = jet::Database::open(found->path.string());
  EXPECT_EQ(db->table(found->table).read(kept)[found->textColumn], jet::Value(accented));
  if (jet::testing::haveMdbTools()) {
    std::string out = mdbExport(found->path, found->table);
    EXPECT_NE(out.find(accented), std::string::npos) << out;
  }
  jet::StructureReport report = jet::testing::checkFile(found->path);
  EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
}

// Random inserts, updates and deletes with text of every length the columns take, against a
// model: four rounds, each on a fresh open of the file (every other one flushed and compared
// halfway), then the file read back by the engine and by mdbtools. Works on any table whose
// indexes, if any, the writer keeps; new Access 97 files can be run through it as well.
void randomRounds(const std::filesystem::path& path, const std::string& name, unsigned seed) {
  std::mt19937 rng(seed);
  Model model;
  jet::Row prototype;
  {
    auto db = jet::Database::open(path.string());
    model = readAll(db->table(name));
    prototype = model.empty() ? jet::Row(db->table(name).def().columns.size(), jet::Null{}) : model.begin()->second;
  }
  for (int round = 0; round < 4; ++round) {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto t = db->table(name);
    for (int op = 0; op < 400; ++op) {
      const unsigned pick = rng() % 10;
      if (pick < 4 || model.empty()) {
        jet::Row row = variedRow(rng, t, prototype, false);
        jet::RowId id = t.insert(row);
        ASSERT_EQ(model.count(id), 0u);
        model[id] = row;
      } else {
        auto it = model.begin();
        std::advance(it, static_cast<long>(rng() % model.size()));
        if (pick < 8) {
          jet::Row row = variedRow(rng, t, it->second, true);
          t.update(it->first, row);
          it->second = row;
        } else {
          t.remove(it->first);
          model.erase(it);
        }
      }
      if (round % 2 == 0 && op == 200) {
        db->flush();
        ASSERT_EQ(readAll(t), model) << "round " << round << " after the flush";
      }
    }
    ASSERT_EQ(readAll(t), model) << "round " << round;
    db->close();
  }
  auto db = jet::Database::open(path.string());
  EXPECT_EQ(readAll(db->table(name)), model);
  EXPECT_EQ(db->table(name).rowCount(), model.size());
  expectExported(path, name, model);
}

// The rounds on every table of the Access-written fixtures without indexes that has text;
// rows crossing 256 bytes exercise the jump table in both directions.
TEST(WriteJet3, RandomRoundsMatchTheModel) {
  QAR_REQUIRE_FIXTURES();
  unsigned tables = 0;
  for (const auto& source : jet3Fixtures()) {
    jet::testing::TempDir dir;
    auto path = dir.copy(source);
    std::vector<std::string> names;
    {
      auto db = jet::Database::open(path.string());
      for (const auto& name : db->tableNames()) {
        auto t = db->table(name);
        if (!indexed(t) && hasText(t)) names.push_back(name);
      }
    }
    for (const auto& name : names) {
      SCOPED_TRACE(source.string() + " table " + name);
      randomRounds(path, name, ++tables);
    }
    // No drift of the writer's own (free-space maps exact, no lost pages): only what Access
    // left in the file.
    jet::StructureReport report = jet::testing::checkFile(path);
    EXPECT_TRUE(report.ok()) << source << "\n" << jet::testing::describeDefects(report);
    EXPECT_EQ(report.warnings, jet::testing::checkFile(source).warnings) << source;
  }
  if (!jet3Fixtures().empty()) {
    EXPECT_GT(tables, 0u);
  }
}

// Text indexes the engine cannot keep (here every text column relabelled to another sort
// order) refuse the write, naming the table, and leave the file as it was.
TEST(WriteJet3, TablesWithTextIndexesInOtherSortOrdersAreRefusedAndTheFileIsUnchanged) {
  QAR_REQUIRE_FIXTURES();
  int refused = 0;
  for (const auto& source : jet3Fixtures()) {
    jet::testing::TempDir dir;
    auto path = dir.copy(source);
    jet::testing::relabelTextSortOrders(path, jet::SortOrder{1031, 0});
    auto bytes = jet::testing::readWholeFile(path);
    {
      auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
      for (const auto& name : db->tableNames()) {
        auto t = db->table(name);
        if (!textIndexed(t)) continue;
        jet::Row row(t.def().columns.size(), jet::Null{});
        try {
          t.insert(row);
          ADD_FAILURE() << source << " table " << name << ": an insert was accepted";
        } catch (const jet::Error& e) {
          EXPECT_EQ(e.kind(), jet::ErrorKind::Unsupported) << e.what();
          EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
          ++refused;
        }
      }
      db->close();
    }
    EXPECT_EQ(jet::testing::readWholeFile(path), bytes) << source;
  }
  if (!jet3Fixtures().empty()) {
    EXPECT_GT(refused, 0);
  }
}

// "Delete From" gives every data page back and the flush cuts them off the file; the table
// takes rows again afterwards, and the check before a write passes it.
TEST(WriteJet3, DeleteFromReleasesThePagesAndTheFileShrinks) {
  QAR_REQUIRE_FIXTURES();
  auto source = jet::testing::fixture("access/jet3/overflowTestV1997.mdb");
  if (source.empty()) GTEST_SKIP() << "access/jet3/overflowTestV1997.mdb not found";
  jet::testing::TempDir dir;
  auto path = dir.copy(source);
  const auto originalSize = std::filesystem::file_size(path);
  std::mt19937 rng(3);
  Model model;
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("Table1");
    // Rows of about 450 bytes, four to a page: more pages than the inline maps of the
    // table and of the database (page 1) reach.
    for (int i = 0; i < 4400; ++i) {
      jet::Row row(t.def().columns.size());
      for (auto& v : row) v = textOfLength(rng, 45 + rng() % 6);
      model[t.insert(row)] = row;
    }
    db->close();
  }
  EXPECT_GT(std::filesystem::file_size(path), originalSize + 1100 * 2048);
  expectExported(path, "Table1", [&] {
    Model all = readAll(jet::Database::open(path.string())->table("Table1"));
    EXPECT_EQ(all.size(), 4407u);
    return all;
  }());
  {
    jet::StructureReport report = jet::testing::checkFile(path);
    EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
  }
  model.clear();
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("Table1");
    EXPECT_EQ(t.removeAll(), 4407u);
    EXPECT_EQ(t.rowCount(), 0u);
    db->close();
  }
  EXPECT_LE(std::filesystem::file_size(path), originalSize);
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("Table1");
    EXPECT_TRUE(readAll(t).empty());
    for (int i = 0; i < 50; ++i) {
      jet::Row row = variedRow(rng, t, jet::Row(t.def().columns.size(), jet::Null{}), false);
      model[t.insert(row)] = row;
    }
    db->close();
  }
  EXPECT_EQ(readAll(jet::Database::open(path.string())->table("Table1")), model);
  expectExported(path, "Table1", model);
  // Only the drift Access left in the file remains.
  jet::StructureReport report = jet::testing::checkFile(path);
  EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
  EXPECT_EQ(report.warnings, jet::testing::checkFile(source).warnings);

  auto db = jet::openDatabaseFile(path.string(), jet::OpenMode::ReadOnly);
  EXPECT_TRUE(jet::formatWritingDefects(*db).empty());
  EXPECT_TRUE(jet::checkFitForWriting(*db, {"Table1"}).ok());
}

// A flush cut short on 2 KB pages: the journal it left (old bytes of the pages it was
// overwriting and the old length) puts the file back on the next open.
TEST(WriteJet3, AJournalLeftByACutShortFlushPutsTheFileBack) {
  QAR_REQUIRE_FIXTURES();
  auto source = jet::testing::fixture("access/jet3/overflowTestV1997.mdb");
  if (source.empty()) GTEST_SKIP() << "access/jet3/overflowTestV1997.mdb not found";
  jet::testing::TempDir dir;
  auto path = dir.copy(source);
  std::mt19937 rng(11);
  Model model;
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("Table1");
    for (int i = 0; i < 200; ++i) {
      jet::Row row = variedRow(rng, t, jet::Row(t.def().columns.size(), jet::Null{}), false);
      t.insert(row);
    }
    db->close();
    model = readAll(jet::Database::open(path.string())->table("Table1"));
  }
  const auto whole = jet::testing::readWholeFile(path);
  const uint32_t pages = static_cast<uint32_t>(whole.size() / 2048);
  {
    // The journal a flush writes first, then the flush's half-done page writes.
    auto file = jet::openFile(path.string(), jet::FileAccess::ReadWrite);
    jet::Journal(jet::Journal::pathFor(path.string())).save(*file, 2048, {1, pages / 2, pages - 1});
    std::vector<uint8_t> garbage(2048, 0xA5);
    file->writeAt(uint64_t{pages / 2} * 2048, garbage.data(), garbage.size());
    file->writeAt(uint64_t{pages - 1} * 2048, garbage.data(), 100);
    file->writeAt(uint64_t{pages + 3} * 2048, garbage.data(), garbage.size());  // the file grew
    file->sync();
  }
  auto db = jet::Database::open(path.string());
  EXPECT_EQ(jet::testing::readWholeFile(path), whole);
  EXPECT_FALSE(std::filesystem::exists(jet::Journal::pathFor(path.string())));
  EXPECT_EQ(readAll(db->table("Table1")), model);
  db.reset();
  jet::StructureReport report = jet::testing::checkFile(path);
  EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
}

}  // namespace
