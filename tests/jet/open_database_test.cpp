// The open database takes its write session from the factory it was made with: without one it
// refuses every write and leaves the file as it was; the openers hand it the writer's.
#include <gtest/gtest.h>

#include "jet/database_impl.h"
#include "jet/header.h"
#include "jet/write/table_creator.h"
#include "jet/write/write_session.h"
#include "reader_fixtures.h"

namespace {

TEST(OpenDatabase, WritesNeedTheWriterFactoryTheOpenersHandOver) {
  jet::testing::TempDir dir;
  const std::string path = (dir.path() / "made.mdb").string();
  jet::Database::create(path)->close();
  const std::vector<uint8_t> before = jet::testing::readWholeFile(path);
  const jet::TableSpec blueprint{"Cards", {{"CardNo", jet::ColumnKind::Long}}, {}};
  {
    std::vector<uint8_t> first(before.begin(), before.begin() + 4096);
    jet::DatabaseImpl bare(jet::openFile(path, jet::FileAccess::ReadWrite), path, jet::OpenMode::ReadWrite,
                           jet::decodeHeader(first));
    try {
      jet::write::createTable(bare, blueprint);
      FAIL() << "a database without a writer created a table";
    } catch (const jet::Error& e) {
      EXPECT_EQ(e.kind(), jet::ErrorKind::Unsupported);
      EXPECT_NE(std::string(e.what()).find("without a writer"), std::string::npos) << e.what();
    }
    EXPECT_EQ(bare.writerIfAny(), nullptr);
    bare.close();
  }
  EXPECT_EQ(jet::testing::readWholeFile(path), before);

  auto db = jet::openDatabaseImpl(jet::openFile(path, jet::FileAccess::ReadWrite), path, jet::OpenMode::ReadWrite);
  jet::write::createTable(*db, blueprint);
  ASSERT_NE(db->writerIfAny(), nullptr);
  db->close();
  auto again = jet::Database::open(path, jet::OpenMode::ReadOnly);
  EXPECT_TRUE(again->hasTable("Cards"));
}

}  // namespace
