// The data page and usage map codecs against simple models: random pages built by the writer's
// page functions read back through the views, the reader and the writer agreeing on every
// damaged row table, and usage maps (inline and referenced, stale slots included) decoding to
// exactly the pages set in them.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "jet/codec/data_page_view.h"
#include "jet/codec/usage_map_view.h"
#include "jet/data_rows.h"
#include "jet/error.h"
#include "jet/write/data_page_writer.h"

namespace {

using jet::Format;
namespace fd = jet::format::data;
namespace fu = jet::format::usagemap;

struct ModelRow {
  uint32_t start, end;
  uint16_t flags;
};

TEST(DataPageCodecTest, RandomPagesReadBackAsBuilt) {
  std::mt19937 rng(12);
  for (Format format : {Format::Jet3, Format::Jet4}) {
    const jet::write::PageSpec blueprint{format, format == Format::Jet3 ? 2048u : 4096u};
    for (int round = 0; round < 200; ++round) {
      std::vector<uint8_t> page(blueprint.pageSize);
      jet::write::initDataPage(blueprint, page.data(), 77);
      std::vector<ModelRow> model;
      uint32_t end = blueprint.pageSize;
      while (true) {
        std::vector<uint8_t> row(4 + rng() % 300, static_cast<uint8_t>(rng()));
        if (!jet::write::rowFits(blueprint, page.data(), row.size())) break;
        uint16_t flags = rng() % 5 == 0 ? fd::kDeletedRow : 0;
        jet::write::addRow(blueprint, page.data(), row, flags);
        model.push_back({end - static_cast<uint32_t>(row.size()), end, flags});
        end -= static_cast<uint32_t>(row.size());
      }
      // Forward a few live rows elsewhere.
      for (size_t r = 0; r < model.size(); ++r) {
        if (model[r].flags == 0 && rng() % 4 == 0) {
          jet::write::forwardRow(blueprint, page.data(), 5, static_cast<uint16_t>(r), 1000 + r, static_cast<uint8_t>(r));
          model[r].flags = fd::kOverflowRow;
        }
      }
      jet::codec::DataPageView view(page.data(), blueprint.pageSize, format);
      ASSERT_TRUE(view.belongsTo(77));
      ASSERT_FALSE(view.isLongValuePage());
      ASSERT_EQ(view.rowCount(), model.size());
      ASSERT_TRUE(view.rowTableFits());
      jet::Page asPage{5, page};
      for (size_t r = 0; r < model.size(); ++r) {
        const auto row = static_cast<uint16_t>(r);
        EXPECT_EQ(view.entry(row).start, model[r].start);
        EXPECT_EQ(view.entry(row).flags, model[r].flags);
        EXPECT_EQ(view.rowEnd(row), model[r].end);
        jet::RowSlot slot = jet::dataPageRow(asPage, format, row);
        EXPECT_EQ(slot.deleted, (model[r].flags & fd::kDeletedRow) != 0);
        EXPECT_EQ(slot.overflow, (model[r].flags & fd::kOverflowRow) != 0);
        if (slot.overflow) {
          jet::RowId to = jet::codec::decodeRowPointer(page.data() + slot.start);
          EXPECT_EQ(to, (jet::RowId{static_cast<uint32_t>(1000 + r), row}));
        }
      }
    }
  }
}

// Damaged row tables: for every live row, the reader (dataPageRow) and the writer (rowSpan)
// either both refuse it or both give the same bounds.
TEST(DataPageCodecTest, ReaderAndWriterAgreeOnDamagedRowTables) {
  std::mt19937 rng(99);
  const jet::write::PageSpec blueprint{Format::Jet4, 4096};
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> page(blueprint.pageSize);
    jet::write::initDataPage(blueprint, page.data(), 3);
    int rows = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < rows; ++i) jet::write::addRow(blueprint, page.data(), std::vector<uint8_t>(8 + rng() % 40, 1));
    // Damage: a random offset entry, or the row count.
    jet::codec::DataPageView view(page.data(), blueprint.pageSize, blueprint.format);
    if (rng() % 4 == 0) {
      jet::put16(page.data() + fd::rowCountOffset(blueprint.format), static_cast<uint16_t>(rng() % 3000));
    } else {
      uint16_t victim = static_cast<uint16_t>(rng() % rows);
      jet::put16(page.data() + view.entryOffset(victim), static_cast<uint16_t>(rng() % 0x2000));
    }
    jet::Page asPage{9, page};
    const uint32_t count = std::min<uint32_t>(view.rowCount(), 40);
    for (uint16_t r = 0; r < count; ++r) {
      bool readerOk = true, writerOk = true;
      jet::RowSlot slot;
      jet::write::RowSpan span;
      try {
        slot = jet::dataPageRow(asPage, blueprint.format, r);
      } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Corrupt);
        readerOk = false;
      }
      try {
        span = jet::write::rowSpan(blueprint, page.data(), 9, r);
      } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Corrupt);
        writerOk = false;
      }
      ASSERT_EQ(readerOk, writerOk) << "round " << round << " row " << r;
      if (readerOk) {
        EXPECT_EQ(slot.start, span.start);
        EXPECT_EQ(slot.size(), span.length);
      }
    }
  }
}

// A usage map and the pages it holds, built with the codec's own bit functions.
struct BuiltMap {
  std::vector<uint8_t> row;
  std::map<uint32_t, std::vector<uint8_t>> mapPages;
  std::set<uint32_t> pages;
};

TEST(UsageMapCodecTest, MapsDecodeToThePagesSetInThem) {
  std::mt19937 rng(5);
  const uint32_t pageSize = 2048;  // small map pages reach many slots quickly
  const uint32_t perMapPage = jet::codec::pagesPerMapPage(pageSize);
  for (int round = 0; round < 300; ++round) {
    const uint32_t pageCount = 1 + rng() % (perMapPage * 4);
    BuiltMap built;
    if (rng() % 2 == 0) {
      built.row.assign(fu::kInlineBitmap + 1 + rng() % 64, 0);
      const uint32_t start = (rng() % 200) / 8 * 8;
      jet::put32(built.row.data() + fu::kInlineStart, start);
      const uint32_t bits = static_cast<uint32_t>(built.row.size() - fu::kInlineBitmap) * 8;
      for (uint32_t b = 0; b < bits; ++b) {
        if (rng() % 3 == 0) {
          jet::codec::setBit(built.row.data() + fu::kInlineBitmap, b, true);
          if (start + b < pageCount) built.pages.insert(start + b);
        }
      }
    } else {
      const uint32_t slots = 1 + rng() % 6;
      built.row.assign(jet::codec::UsageMapView::slotOffset(slots), 0);
      built.row[fu::kType] = fu::kReferenceType;
      for (uint32_t j = 0; j < slots; ++j) {
        const bool stale = static_cast<uint64_t>(j) * perMapPage >= pageCount;
        if (stale) {
          // Whatever Access left there: never followed.
          jet::put32(built.row.data() + jet::codec::UsageMapView::slotOffset(j), rng());
          continue;
        }
        if (rng() % 4 == 0) continue;  // no bitmap page for this stretch
        const uint32_t at = 100000 + j;
        jet::put32(built.row.data() + jet::codec::UsageMapView::slotOffset(j), at);
        std::vector<uint8_t> bits(pageSize, 0);
        jet::codec::initMapPage(bits.data());
        for (int k = 0; k < 50; ++k) {
          uint32_t b = rng() % perMapPage;
          jet::codec::setBit(bits.data() + fu::kMapPageBitmap, b, true);
          if (j * perMapPage + b < pageCount) built.pages.insert(j * perMapPage + b);
        }
        built.mapPages[at] = bits;
      }
    }
    jet::codec::UsageMapView map(built.row.data(), static_cast<uint32_t>(built.row.size()), pageSize);
    ASSERT_TRUE(map.wellFormed());
    std::vector<uint32_t> got;
    jet::codec::forEachMappedPage(
        map, pageCount,
        [&](uint32_t page) -> const uint8_t* {
          auto it = built.mapPages.find(page);
          EXPECT_NE(it, built.mapPages.end()) << "followed slot to page " << page;
          return it == built.mapPages.end() ? nullptr : it->second.data();
        },
        [](uint32_t, uint32_t) {}, [&](uint32_t p) { got.push_back(p); });
    EXPECT_EQ(got, std::vector<uint32_t>(built.pages.begin(), built.pages.end())) << "round " << round;
    for (uint32_t p : built.pages) {
      if (map.isInline()) {
        EXPECT_TRUE(map.inlineCovers(p));
        EXPECT_TRUE(jet::codec::testBit(map.inlineBitmap(), p - map.inlineStart()));
      } else {
        EXPECT_NE(map.mapPage(map.slotOf(p), pageCount), 0u);
      }
    }
  }
}

}  // namespace
