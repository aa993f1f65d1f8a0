// The table definition codec against a model: random definitions, Jet 3 and Jet 4, built by
// the builder read back field for field by the view and, spread over pages, by the table
// reader; and every cut-short definition refused as corrupt rather than read past its end.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "jet/codec/table_def_builder.h"
#include "jet/error.h"
#include "jet/io/file.h"
#include "jet/table_info.h"

namespace {

using jet::Format;
namespace codec = jet::codec;
namespace td = jet::format::tabledef;

struct Model {
  codec::TableDefBlock block;
  std::vector<codec::ColumnDescriptor> columns;
  std::vector<std::string> columnNames, indexNames;
  std::vector<codec::RealIndexDescriptor> real;
  std::vector<codec::LogicalIndexDescriptor> logical;
  std::vector<codec::ColumnUsageEntry> usage;
};

jet::RowRef randomRef(std::mt19937& rng) { return jet::RowRef{static_cast<uint8_t>(rng()), static_cast<uint32_t>(rng() & 0xFFFFFF)}; }

Model randomModel(std::mt19937& rng, Format format) {
  Model m;
  const uint16_t columnCount = 1 + rng() % 40;
  const uint32_t realCount = rng() % 6;
  m.block = codec::TableDefBlock{static_cast<uint32_t>(rng()), static_cast<uint32_t>(rng()), td::kUserTable,
                                 columnCount, static_cast<uint16_t>(rng() % columnCount), columnCount,
                                 static_cast<uint32_t>(realCount + rng() % 3), realCount, randomRef(rng), randomRef(rng)};
  for (uint16_t i = 0; i < columnCount; ++i) {
    codec::ColumnDescriptor c;
    c.kind = rng() % 2 ? 0x10 : 0x0A;  // Decimal or Text
    c.number = c.index = static_cast<uint16_t>(columnCount - 1 - i);  // stored out of order
    c.varIndex = rng() % 100;
    if (c.kind == 0x10) {
      c.precision = 1 + rng() % 28;
      c.scale = rng() % c.precision;
    } else {
      c.sortOrder = 1033 + rng() % 3;
      if (format == Format::Jet4) c.sortVersion = rng() % 2;
      if (format == Format::Jet3) c.codePage = 1252;
    }
    c.flags = static_cast<uint8_t>(rng());
    if (format == Format::Jet4) c.extFlags = rng() % 2;
    c.fixedOffset = rng() % 500;
    c.length = rng() % 510;
    m.columns.push_back(c);
    m.columnNames.push_back("c" + std::to_string(i) + std::string(rng() % 30, 'x'));
  }
  for (uint32_t i = 0; i < realCount; ++i) {
    codec::RealIndexDescriptor r;
    for (uint32_t s = 0; s < 1 + rng() % td::kIndexColumnSlots; ++s) {
      r.columns[s] = codec::IndexColumnSlot{static_cast<uint16_t>(rng() % columnCount), static_cast<uint8_t>(rng() % 2)};
    }
    r.usedPages = randomRef(rng);
    r.firstPage = rng();
    r.flags = static_cast<uint8_t>(rng());
    m.real.push_back(r);
  }
  for (uint32_t i = 0; i < m.block.logicalIndexes; ++i) {
    const uint8_t types[] = {0, td::kPrimaryKey, td::kForeignKey};
    m.logical.push_back(codec::LogicalIndexDescriptor{i, realCount ? i % realCount : 0, static_cast<uint8_t>(rng()),
                                                      static_cast<uint32_t>(rng()), static_cast<uint32_t>(rng()),
                                                      static_cast<uint8_t>(rng() % 2), static_cast<uint8_t>(rng() % 2),
                                                      types[rng() % 3]});
    m.indexNames.push_back("i" + std::to_string(i));
  }
  if (realCount == 0) m.block.logicalIndexes = 0, m.logical.clear(), m.indexNames.clear();
  for (uint32_t i = 0; i < rng() % 4; ++i) m.usage.push_back({static_cast<uint16_t>(i), randomRef(rng), randomRef(rng)});
  return m;
}

// Names stored as Jet 3 code page bytes or Jet 4 UTF-16 (ASCII names here).
std::vector<uint8_t> stored(const std::string& name, Format format) {
  std::vector<uint8_t> out;
  for (char c : name) {
    out.push_back(static_cast<uint8_t>(c));
    if (format == Format::Jet4) out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> build(const Model& m, Format format) {
  codec::TableDefBuilder b(format);
  b.begin(m.block);
  for (const auto& c : m.columns) b.addColumn(c);
  for (const auto& n : m.columnNames) b.addName(stored(n, format));
  for (const auto& r : m.real) b.addRealIndex(r);
  for (const auto& l : m.logical) b.addLogicalIndex(l);
  for (const auto& n : m.indexNames) b.addName(stored(n, format));
  for (const auto& u : m.usage) b.addColumnUsage(u);
  return b.finish();
}

// Reads every part in the model's order; throws where the bytes run out.
void readAll(const codec::TableDefView& v, const Model& m, bool compare) {
  const Format f = v.format();
  const codec::TableDefBlock b = v.block();
  uint32_t pos = codec::columnsOffset(f, b.realIndexes);
  for (size_t i = 0; i < m.columns.size(); ++i, pos += td::column(f).size) {
    const codec::ColumnDescriptor c = v.column(pos);
    if (!compare) continue;
    const codec::ColumnDescriptor& e = m.columns[i];
    EXPECT_EQ(c.kind, e.kind);
    EXPECT_EQ(c.number, e.number);
    EXPECT_EQ(c.varIndex, e.varIndex);
    EXPECT_EQ(c.flags, e.flags);
    EXPECT_EQ(c.extFlags, e.extFlags);
    EXPECT_EQ(c.fixedOffset, e.fixedOffset);
    EXPECT_EQ(c.length, e.length);
    if (e.kind == 0x10) {
      EXPECT_EQ(c.precision, e.precision);
      EXPECT_EQ(c.scale, e.scale);
    } else {
      EXPECT_EQ(c.sortOrder, e.sortOrder);
      EXPECT_EQ(c.sortVersion, e.sortVersion);
      EXPECT_EQ(c.codePage, e.codePage);
    }
  }
  for (const auto& n : m.columnNames) {
    auto s = v.name(pos);
    if (compare) {
      EXPECT_EQ(std::vector<uint8_t>(s.begin(), s.end()), stored(n, f));
    }
  }
  for (const auto& e : m.real) {
    const codec::RealIndexDescriptor r = v.realIndex(pos);
    pos += td::realIndex(f).size;
    if (!compare) continue;
    for (uint32_t s = 0; s < td::kIndexColumnSlots; ++s) {
      EXPECT_EQ(r.columns[s].number, e.columns[s].number);
      EXPECT_EQ(r.columns[s].order, e.columns[s].order);
    }
    EXPECT_EQ(r.usedPages.page, e.usedPages.page);
    EXPECT_EQ(r.usedPages.row, e.usedPages.row);
    EXPECT_EQ(r.firstPage, e.firstPage);
    EXPECT_EQ(r.flags, e.flags);
  }
  for (const auto& e : m.logical) {
    const codec::LogicalIndexDescriptor l = v.logicalIndex(pos);
    pos += td::logicalIndex(f).size;
    if (!compare) continue;
    EXPECT_EQ(std::tie(l.number, l.realIndex, l.relatedTableType, l.relatedIndex, l.relatedTablePage,
                       l.cascadeUpdates, l.cascadeDeletes, l.type),
              std::tie(e.number, e.realIndex, e.relatedTableType, e.relatedIndex, e.relatedTablePage,
                       e.cascadeUpdates, e.cascadeDeletes, e.type));
  }
  for (size_t i = 0; i < m.indexNames.size(); ++i) v.name(pos);
  codec::ColumnUsageEntry u;
  size_t n = 0;
  while (v.columnUsage(pos, u)) {
    if (compare && n < m.usage.size()) {
      EXPECT_EQ(u.columnNumber, m.usage[n].columnNumber);
      EXPECT_EQ(u.freePages.page, m.usage[n].freePages.page);
    }
    ++n;
  }
  if (compare) {
    EXPECT_EQ(n, m.usage.size());
  }
}

TEST(TableDefCodecTest, RandomDefinitionsReadBackAsBuilt) {
  std::mt19937 rng(7);
  for (Format f : {Format::Jet3, Format::Jet4}) {
    for (int round = 0; round < 100; ++round) {
      const Model m = randomModel(rng, f);
      const std::vector<uint8_t> bytes = build(m, f);
      codec::TableDefView v(bytes, f, "model");
      const codec::TableDefBlock b = v.block();
      EXPECT_EQ(std::tie(b.rowCount, b.lastAutoNumber, b.columns, b.varColumns, b.logicalIndexes, b.realIndexes),
                std::tie(m.block.rowCount, m.block.lastAutoNumber, m.block.columns, m.block.varColumns,
                         m.block.logicalIndexes, m.block.realIndexes));
      EXPECT_EQ(b.ownedPages.page, m.block.ownedPages.page);
      readAll(v, m, true);
      ASSERT_FALSE(HasFailure()) << "format " << static_cast<int>(f) << ", round " << round;
    }
  }
}

// The reader, over the builder's bytes spread across pages the way the writer spreads them.
TEST(TableDefCodecTest, TableReaderDecodesBuiltDefinitionsInBothFormats) {
  std::mt19937 rng(8);
  for (Format f : {Format::Jet3, Format::Jet4}) {
    const uint32_t pageSize = f == Format::Jet3 ? 2048 : 4096;
    for (int round = 0; round < 30; ++round) {
      Model m = randomModel(rng, f);
      for (auto& c : m.columns) c.flags |= td::kNullable;
      const std::vector<uint8_t> bytes = build(m, f);
      std::vector<uint8_t> file(pageSize, 0);  // page 0 stands for the header
      size_t at = 0;
      for (uint32_t page = 1; at < bytes.size(); ++page) {
        file.resize((page + 1) * pageSize, 0);
        uint8_t* p = file.data() + page * pageSize;
        const size_t from = page == 1 ? 0 : td::kPageHeaderSize;
        const size_t n = std::min<size_t>(pageSize - from, bytes.size() - at);
        std::memcpy(p + from, bytes.data() + at, n);
        p[0] = td::kPageType;
        at += n;
        jet::put32(p + td::kNextPage, at < bytes.size() ? page + 1 : 0);
      }
      jet::MemoryFile mem(file, false);
      jet::Pager pager(mem, pageSize);
      jet::Pager::ReadScope scope(pager);
      const jet::TableInfo info = jet::readTableInfo(pager, f, 1, "T", 1252, nullptr);
      ASSERT_EQ(info.def.columns.size(), m.columns.size());
      for (size_t i = 0; i < m.columns.size(); ++i) {
        const codec::ColumnDescriptor& e = m.columns[m.columns.size() - 1 - i];  // read in column order
        EXPECT_EQ(info.storage[i].number, i);
        EXPECT_EQ(info.def.columns[i].name, m.columnNames[m.columns.size() - 1 - i]);
        if (e.kind == 0x10) EXPECT_EQ(info.def.columns[i].precision, e.precision);
        else EXPECT_EQ(info.def.columns[i].sortOrder.id, e.sortOrder);
      }
      ASSERT_EQ(info.def.indexes.size(), m.logical.size());
      for (size_t i = 0; i < m.logical.size(); ++i) EXPECT_EQ(info.def.indexes[i].name, m.indexNames[i]);
      EXPECT_EQ(info.def.rowCount, m.block.rowCount);
      EXPECT_EQ(info.def.nextAutoNumber, m.block.lastAutoNumber + 1);
      EXPECT_EQ(info.columnUsage.size(), m.usage.size());
      ASSERT_FALSE(HasFailure()) << "format " << static_cast<int>(f) << ", round " << round;
    }
  }
}

TEST(TableDefCodecTest, CutShortDefinitionsAreRefusedAsCorrupt) {
  std::mt19937 rng(9);
  for (Format f : {Format::Jet3, Format::Jet4}) {
    const Model m = randomModel(rng, f);
    const std::vector<uint8_t> bytes = build(m, f);
    // Cut before the column usage end marker: every read from there on must stop or refuse.
    const size_t usageStart = bytes.size() - 2 - m.usage.size() * td::kColumnUsageEntrySize;
    for (size_t len = 0; len < usageStart; ++len) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + len);
      codec::TableDefView v(cut, f, "cut");
      try {
        readAll(v, m, false);
        ADD_FAILURE() << "a definition cut to " << len << " of " << bytes.size() << " bytes read whole";
      } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Corrupt);
        EXPECT_NE(std::string(e.what()).find("cut: "), std::string::npos) << e.what();
      }
    }
  }
}

}  // namespace
