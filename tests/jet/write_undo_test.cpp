// A failing operation's pages go back as they were: whatever it changed (whole pages, bytes
// within ranges it named, or both on one page in either order), a rollback restores every
// page byte for byte, and a commit keeps every change.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/io/file.h"
#include "jet/write/write_context.h"
#include "jet/write/write_session.h"
#include "reader_fixtures.h"

namespace {

TEST(WriteUndo, RollbackPutsEveryPageBackWhateverTheOperationChanged) {
  jet::testing::TempDir dir;
  const std::string path = (dir.path() / "undo.mdb").string();
  {
    auto db = jet::Database::create(path);
    jet::TableSpec blueprint;
    blueprint.name = "Cards";
    blueprint.columns = {{"ID", jet::ColumnKind::Long}, {"Name", jet::ColumnKind::Text, 60}};
    auto table = db->createTable(blueprint);
    for (int32_t i = 0; i < 400; ++i) {
      jet::Row row{i, "card holder number " + std::to_string(i)};
      table.insert(row);
    }
    db->close();
  }
  auto impl = jet::openDatabaseImpl(std::make_unique<jet::MemoryFile>(jet::testing::readWholeFile(path)), "memory",
                                    jet::OpenMode::ReadWrite);
  jet::write::WriteContext& ctx = impl->writer().context();
  const uint32_t pages = impl->pager().pageCount();
  const uint32_t size = impl->pager().pageSize();
  ASSERT_GT(pages, 6u);
  auto bytesOf = [&](uint32_t page) {
    const uint8_t* b = ctx.read(page);
    return std::vector<uint8_t>(b, b + size);
  };

  std::mt19937 random(11);
  int rolledBack = 0, widened = 0;
  for (int round = 0; round < 500; ++round) {
    SCOPED_TRACE(round);
    std::map<uint32_t, std::vector<uint8_t>> before;  // the pages this operation touches, as they were
    std::map<uint32_t, bool> ranged;
    ctx.begin();
    for (int step = int(random() % 6); step >= 0; --step) {
      const uint32_t page = 1 + random() % (pages - 1);
      if (!before.count(page)) before[page] = bytesOf(page);
      if (random() % 2) {
        if (ranged[page]) ++widened;
        uint8_t* b = ctx.modify(page);
        if (random() % 5 == 0) std::memset(b, int(random() % 256), size);
        for (int k = int(random() % 20); k >= 0; --k) b[random() % size] = uint8_t(random());
      } else {
        // Two ranges, at times overlapping, at times empty or reaching the page's end.
        jet::write::WriteContext::ByteRange r[2];
        for (auto& x : r) {
          x.offset = random() % (size + 1);
          x.length = std::min<uint32_t>(random() % 400, size - x.offset);
        }
        ranged[page] = true;
        uint8_t* b = ctx.modifyWithin(page, {r[0], r[1]});
        for (const auto& x : r) {
          for (int k = int(random() % 12); k >= 0 && x.length > 0; --k) b[x.offset + random() % x.length] = uint8_t(random());
        }
      }
    }
    if (random() % 2) {
      ctx.rollback();
      ++rolledBack;
      for (const auto& [page, old] : before) ASSERT_EQ(bytesOf(page), old) << "page " << page;
    } else {
      std::map<uint32_t, std::vector<uint8_t>> now;
      for (const auto& [page, old] : before) now[page] = bytesOf(page);
      ctx.commit();
      for (const auto& [page, bytes] : now) ASSERT_EQ(bytesOf(page), bytes) << "page " << page;
    }
  }
  EXPECT_GT(rolledBack, 200);
  EXPECT_GT(widened, 20);  // pages changed within ranges, then as a whole, in one operation

  // Ranges past the page are refused before anything changes.
  ctx.begin();
  EXPECT_THROW(ctx.modifyWithin(2, {{size - 10, 11}}), jet::Error);
  ctx.rollback();
}

}  // namespace
