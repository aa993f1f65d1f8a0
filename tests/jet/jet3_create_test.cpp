// New Access 97 files made from nothing: the header page and the system tables' definitions
// compared with what Access 97 wrote into the shared Jet 3 fixtures.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "jet/header.h"
#include "jet/io/file.h"
#include "jet/pager/pager.h"
#include "jet/table_info.h"
#include "jet/write/database_creator.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::TempDir;

std::vector<uint8_t> unmaskedHeader(const std::filesystem::path& path) {
  auto bytes = jet::testing::readWholeFile(path);
  bytes.resize(2048);
  jet::applyHeaderMask(jet::Format::Jet3, bytes.data());
  return bytes;
}

struct Definitions {
  explicit Definitions(const std::filesystem::path& path)
      : file(jet::openFile(path.string(), jet::FileAccess::ReadOnly)), pager(*file, 2048) {}
  jet::TableDef table(uint32_t page, const std::string& name) {
    return jet::readTableInfo(pager, jet::Format::Jet3, page, name, 1252, nullptr).def;
  }
  std::unique_ptr<jet::File> file;
  jet::Pager pager;
};

std::string describe(const jet::TableDef& def) {
  std::string out;
  for (const jet::Column& c : def.columns) {
    out += c.name + ":" + std::to_string(static_cast<int>(c.kind)) + ":" + std::to_string(c.size) + ":" +
           std::to_string(c.columnId) + (c.fixed ? ":fixed" : "") + " ";
  }
  std::vector<std::string> indexes;
  for (const jet::Index& ix : def.indexes) {
    std::string s = ix.name + "(";
    for (const auto& col : ix.columns) s += std::to_string(col.column) + (col.ascending ? "+" : "-");
    s += std::string(")") + (ix.primary ? " primary" : "") + (ix.unique ? " unique" : "") +
         (ix.ignoreNulls ? " ignore-nulls" : "") + (ix.required ? " required" : "");
    indexes.push_back(s);
  }
  std::sort(indexes.begin(), indexes.end());
  for (const auto& s : indexes) out += "| " + s + " ";
  return out;
}

TEST(Jet3Create, HeaderAndSystemTablesAreThoseAccess97Writes) {
  QAR_REQUIRE_FIXTURES();
  auto access = jet::testing::fixture("access/jet3/delTestV1997.mdb");
  if (access.empty()) GTEST_SKIP() << "access/jet3/delTestV1997.mdb not found";
  TempDir dir;
  auto path = dir.path() / "new97.mdb";
  jet::write::writeEmptyDatabaseFile(path.string(), jet::Format::Jet3);
  EXPECT_EQ(std::filesystem::file_size(path) % 2048, 0u);

  // Page 0, unmasked: the same bytes as Access 97's but for a word Access counts up.
  auto ours = unmaskedHeader(path);
  auto theirs = unmaskedHeader(access);
  for (size_t at = 0; at < 2048; ++at) {
    if (at == 0x602 || at == 0x603) continue;
    ASSERT_EQ(ours[at], theirs[at]) << "page 0 byte " << at;
  }
  auto bytes = jet::testing::readWholeFile(path);
  auto info = jet::decodeHeader(bytes);
  EXPECT_EQ(info.format, jet::Format::Jet3);
  EXPECT_EQ(info.pageSize, 2048u);
  EXPECT_EQ(info.codePage, 1252);
  EXPECT_EQ(info.sortOrder.id, 1033);

  // The four system tables, on the pages Access 97 gives them, with the same columns and
  // indexes; their definition pages carry Jet 3's "VC" tag.
  Definitions mine(path), access97(access);
  const std::pair<uint32_t, const char*> tables[] = {
      {2, "MSysObjects"}, {3, "MSysACEs"}, {4, "MSysQueries"}, {5, "MSysRelationships"}};
  for (const auto& [page, name] : tables) {
    EXPECT_EQ(describe(mine.table(page, name)), describe(access97.table(page, name))) << name;
    EXPECT_EQ(bytes[page * 2048 + 2], 'V');
    EXPECT_EQ(bytes[page * 2048 + 3], 'C');
  }
}

// Tables in a new Access 97 file: Text sizes count code page bytes, names are stored in the
// code page, and what Access 97 cannot hold is refused with the file left as it was.
TEST(Jet3Create, TablesTakeCodePageNamesAndRefuseWhatAccess97CannotHold) {
  TempDir dir;
  const std::string path = (dir.path() / "tables97.mdb").string();
  {
    auto db = jet::Database::create(path, jet::Format::Jet3);
    jet::TableSpec people{"Personnes", {{"Numéro", jet::ColumnKind::Long, 0, true}, {"Nom", jet::ColumnKind::Text, 255}}, {}};
    people.indexes = {{"PrimaryKey", {"Numéro"}, true, true, false}, {"Nom", {"Nom"}}};
    auto t = db->createTable(people);
    EXPECT_EQ(t.def().columns[1].size, 255);
    jet::Row row{jet::Null{}, std::string(255, 'e')};
    t.insert(row);
    db->close();
  }
  const auto before = jet::testing::readWholeFile(path);
  struct Refused {
    jet::TableSpec blueprint;
    const char* says;
  };
  const Refused refused[] = {
      {{"漢字", {{"a", jet::ColumnKind::Long}}, {}}, "code page 1252"},
      {{"T", {{"列", jet::ColumnKind::Long}}, {}}, "code page 1252"},
      {{"T", {{"d", jet::ColumnKind::Decimal, 0, false, false, 10, 2}}, {}}, "Decimal"},
      {{"personnes", {{"a", jet::ColumnKind::Long}}, {}}, "already exists"},
  };
  for (const Refused& r : refused) {
    auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);
    try {
      db->createTable(r.blueprint);
      ADD_FAILURE() << r.blueprint.name << " was created";
    } catch (const jet::Error& e) {
      EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << e.what();
    }
    db->close();
    EXPECT_EQ(jet::testing::readWholeFile(path), before) << r.says;
  }
  auto db = jet::Database::open(path);
  EXPECT_EQ(db->tableNames(), std::vector<std::string>{"Personnes"});
  EXPECT_EQ(db->table("Personnes").def().columns[0].name, "Numéro");
  EXPECT_TRUE(jet::testing::checkFile(path).ok());
  if (jet::testing::haveMdbTools()) {
    EXPECT_NE(jet::testing::runCommand("mdb-export '" + path + "' Personnes").find(std::string(255, 'e')), std::string::npos);
  }
}

}  // namespace
