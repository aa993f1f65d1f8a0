// Proof by Access itself: for every index of every Access-written fixture, the keys our
// encoder builds from the rows, sorted, are exactly the entries Access stored, byte for
// byte and in the same order. Indexes whose text sort order the engine cannot encode are
// named and skipped, with the reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <random>
#include <sstream>

#include "index_fixture_pages.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/codec/index_page_builder.h"
#include "jet/index/index_tree.h"
#include "jet/index/key_encoder.h"

namespace jet {
namespace {

using testing::RawPages;

struct Entry {
  KeyBytes key;
  RowId row;
  bool operator<(const Entry& o) const { return key != o.key ? key < o.key : row < o.row; }
  bool operator==(const Entry& o) const = default;
};

std::string hex(const KeyBytes& key) {
  std::string s;
  char buf[4];
  for (uint8_t b : key) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    s += buf;
  }
  return s;
}

struct Tally {
  int compared = 0;
  uint64_t entries = 0;
  std::vector<std::string> skipped;
};

// Compares one index; adds a failure naming the first entry that differs.
void proveIndex(const RawPages& pages, const Database& db, const Table& table,
                const std::vector<std::pair<RowId, Row>>& rows, const Index& index, const std::string& where,
                Tally& tally) {
  const TableDef& def = table.def();
  KeyEncoder encoder(def, index, db.format());
  if (!encoder.writable()) {
    tally.skipped.push_back(where + ": " + encoder.unsupportedReason());
    return;
  }
  std::vector<Entry> expected;
  for (const auto& [id, row] : rows) {
    if (index.ignoreNulls && encoder.allNull(row)) continue;
    Entry e;
    e.row = id;
    encoder.encodeRow(row, e.key);
    expected.push_back(std::move(e));
  }
  std::sort(expected.begin(), expected.end());

  std::vector<Entry> stored;
  IndexEntryCursor cursor(pages.fetcher(), db.format(), index.firstPage);
  while (cursor.next()) stored.push_back(Entry{KeyBytes(cursor.key().begin(), cursor.key().end()), cursor.row()});

  ++tally.compared;
  tally.entries += stored.size();
  EXPECT_EQ(stored.size(), expected.size()) << where << ": entry count";
  const size_t n = std::min(stored.size(), expected.size());
  for (size_t i = 0; i < n; ++i) {
    if (stored[i] == expected[i]) continue;
    std::ostringstream msg;
    msg << where << ": entry " << i << " differs\n  stored:  " << hex(stored[i].key) << "@" << stored[i].row.page
        << ":" << stored[i].row.row << "\n  encoded: " << hex(expected[i].key) << "@" << expected[i].row.page << ":"
        << expected[i].row.row;
    ADD_FAILURE() << msg.str();
    return;
  }
}

void proveFile(const std::filesystem::path& path, Tally& tally) {
  SCOPED_TRACE(path.filename().string());
  const RawPages pages(path);
  auto db = Database::open(path.string(), OpenMode::ReadOnly);
  for (const std::string& name : db->tableNames()) {
    const Table table = db->table(name);
    std::vector<std::pair<RowId, Row>> rows;
    for (RowCursor c = table.scan(); c.next();) rows.emplace_back(c.id(), c.values());
    std::vector<uint32_t> seen;  // logical indexes sharing one tree are proven once
    for (const Index& index : table.def().indexes) {
      if (index.firstPage == 0 || std::count(seen.begin(), seen.end(), index.firstPage)) continue;
      seen.push_back(index.firstPage);
      proveIndex(pages, *db, table, rows, index,
                 path.filename().string() + " table " + name + " index " + index.name, tally);
    }
  }
}

void proveFiles(const std::vector<std::filesystem::path>& files, const std::string& format, bool textExpected) {
  Tally tally;
  for (const auto& f : files) proveFile(f, tally);
  std::cout << format << ": " << tally.compared << " indexes, " << tally.entries << " entries agree with the stored ones\n";
  for (const auto& s : tally.skipped) std::cout << "  skipped " << s << "\n";
  EXPECT_GT(tally.compared, 0);
  if (textExpected) {
    EXPECT_TRUE(tally.skipped.empty()) << "the fixtures use only the General sort order";
  }
}

void proveFormat(const std::string& format, bool textExpected) {
  const auto files = testing::accessFixtures(format);
  if (files.empty()) GTEST_SKIP() << "no Access fixtures in " << testing::accessFixtureDir(format);
  proveFiles(files, format, textExpected);
}

TEST(IndexKeysAgreeWithAccess, Jet4Fixtures) { proveFormat("jet4", true); }

// Jet 3 files, whose text keys follow the older General order.
TEST(IndexKeysAgreeWithAccess, Jet3Fixtures) { proveFormat("jet3", true); }

// The QAR26M-shaped files come from another Access-file writer; their text keys (CJK
// names, mixed case) must agree too, or the engine could not update their indexes.
TEST(IndexKeysAgreeWithOtherWriter, Qar26mFixtures) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  const auto dir = std::filesystem::path(QAR_FIXTURES_DIR) / "qar26m";
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec)) {
    if (e.path().extension() == ".mdb") files.push_back(e.path());
  }
  if (files.empty()) GTEST_SKIP() << "no fixtures in " << dir;
  std::sort(files.begin(), files.end());
  proveFiles(files, "qar26m", true);
}

// Every index tree of every fixture passes the structural check, and the cursor reads as
// many entries as the check counts.
TEST(IndexTreesOfAccessFiles, PassTheStructuralCheck) {
  int trees = 0;
  for (const std::string format : {"jet4", "jet3"}) {
    for (const auto& f : testing::accessFixtures(format)) {
      SCOPED_TRACE(f.filename().string());
      const RawPages pages(f);
      for (uint32_t root : testing::indexRoots(pages)) {
        const IndexTreeStats stats = verifyIndexTree(pages.fetcher(), pages.format(), root);
        IndexEntryCursor cursor(pages.fetcher(), pages.format(), root);
        uint64_t n = 0;
        while (cursor.next()) ++n;
        EXPECT_EQ(n, stats.entries) << "root " << root;
        ++trees;
      }
    }
  }
  if (trees == 0) GTEST_SKIP() << "no Access fixtures in " << testing::accessFixtureDir("jet4");
}

// Every index page of the fixtures, decoded and laid out again by the page builder, decodes
// to the same entries; where Access compressed the page as the builder does, the header,
// entry map and entries are the same bytes.
TEST(IndexTreesOfAccessFiles, PagesRebuildAsAccessWroteThem) {
  int pagesSeen = 0, sameBytes = 0;
  for (const std::string format : {"jet4", "jet3"}) {
    for (const auto& f : testing::accessFixtures(format)) {
      SCOPED_TRACE(f.filename().string());
      const RawPages pages(f);
      const IndexPageLayout& layout = indexPageLayout(pages.format());
      IndexPage original, again;
      for (uint32_t n = 1; n < pages.pageCount(); ++n) {
        const auto bytes = pages.page(n);
        if ((bytes[0] != kIndexLeafPage && bytes[0] != kIndexNodePage) || bytes[1] != kIndexPageMarker) continue;
        original.decode(bytes, n, pages.format());
        std::vector<IndexPageEntryRef> entries;
        for (size_t i = 0; i < original.size(); ++i) {
          const IndexEntry e = original.entry(i);
          entries.push_back(IndexPageEntryRef{e.key, e.row, e.child});
        }
        IndexPageHeader header{original.leaf(), original.tableDefinitionPage(), original.previousPage(),
                               original.nextPage(), original.tailPage()};
        std::vector<uint8_t> rebuilt(layout.pageSize);
        buildIndexPage(header, entries, pages.format(), rebuilt);
        again.decode(rebuilt, n, pages.format());
        ASSERT_EQ(again.size(), original.size()) << "page " << n;
        for (size_t i = 0; i < original.size(); ++i) {
          const IndexEntry a = original.entry(i), b = again.entry(i);
          ASSERT_EQ(compareIndexEntries(a.key, a.row, b.key, b.row), 0) << "page " << n << " entry " << i;
          ASSERT_EQ(a.child, b.child);
        }
        ++pagesSeen;
        if (original.prefix().size() != sharedPrefixLength(entries, pages.format())) continue;
        EXPECT_EQ(again.freeSpace(), original.freeSpace()) << "page " << n;
        // Compare the header fields (not the unused bytes) and everything from the map on.
        const size_t end = layout.entries() + original.usedEntryBytes();
        for (size_t at : {size_t{0}, size_t{1}, layout.freeSpace, layout.freeSpace + 1, layout.prefixLength}) {
          EXPECT_EQ(rebuilt[at], bytes[at]) << "page " << n << " byte " << at;
        }
        if (layout.nodeMark != kNoNodeMark) {
          EXPECT_EQ(rebuilt[layout.nodeMark], bytes[layout.nodeMark]) << "page " << n << " node mark";
        }
        EXPECT_TRUE(std::equal(rebuilt.begin() + layout.previousPage, rebuilt.begin() + layout.tailPage + 4,
                               bytes.begin() + layout.previousPage));
        EXPECT_TRUE(std::equal(rebuilt.begin() + layout.entryMap, rebuilt.begin() + end, bytes.begin() + layout.entryMap))
            << "page " << n;
        ++sameBytes;
      }
    }
  }
  if (pagesSeen == 0) GTEST_SKIP() << "no Access fixtures in " << testing::accessFixtureDir("jet4");
  EXPECT_GT(sameBytes, 0);
  std::cout << pagesSeen << " index pages rebuilt, " << sameBytes << " of them byte for byte\n";
}

TEST(IndexPageBuilder, RefusesWhatCannotBeWritten) {
  const std::vector<uint8_t> a{0x7F, 0x01}, b{0x7F, 0x02};
  std::vector<uint8_t> page(4096, 0xAA);
  const IndexPageHeader leaf;
  std::vector<IndexPageEntryRef> backwards{{b, {5, 1}}, {a, {5, 2}}};
  EXPECT_THROW(buildIndexPage(leaf, backwards, Format::Jet4, page), Error);
  std::vector<IndexPageEntryRef> twice{{a, {5, 1}}, {a, {5, 1}}};
  EXPECT_THROW(buildIndexPage(leaf, twice, Format::Jet4, page), Error);
  std::vector<IndexPageEntryRef> farRow{{a, {0x1000000, 1}}};
  EXPECT_THROW(buildIndexPage(leaf, farRow, Format::Jet4, page), Error);
  std::vector<IndexPageEntryRef> bigRow{{a, {5, 256}}};
  EXPECT_THROW(buildIndexPage(leaf, bigRow, Format::Jet4, page), Error);
  EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](uint8_t x) { return x == 0xAA; }));
  std::vector<uint8_t> small(2048);
  EXPECT_THROW(buildIndexPage(leaf, {}, Format::Jet4, small), Error);
  // Entries that do not fit: distinct 300-byte keys, so little is shared.
  std::vector<std::vector<uint8_t>> keys;
  for (int i = 0; i < 13; ++i) keys.push_back(std::vector<uint8_t>(300, static_cast<uint8_t>(i)));
  std::vector<IndexPageEntryRef> many;
  for (const auto& k : keys) many.push_back({k, {5, 1}});
  EXPECT_GT(entryBytesOnPage(many, true, Format::Jet4), kJet4IndexPage.entryRoom());
  EXPECT_THROW(buildIndexPage(leaf, many, Format::Jet4, page), Error);
  many.resize(11);  // 11 entries of 304 bytes fit in 3616
  EXPECT_NO_THROW(buildIndexPage(leaf, many, Format::Jet4, page));
  EXPECT_EQ(verifyIndexTree([&](uint32_t) { return std::span<const uint8_t>(page); }, Format::Jet4, 9).entries, 11u);
}

// Index pages of Access files with random bytes changed: reading them either works or fails
// with jet::Error; never a crash, a read outside the page or a loop without end.
TEST(IndexTreesOfAccessFiles, DamagedPagesFailCleanly) {
  const auto files = testing::accessFixtures("jet4");
  if (files.empty()) GTEST_SKIP() << "no Access fixtures in " << testing::accessFixtureDir("jet4");
  std::mt19937 rng(2024);
  int failures = 0, runs = 0;
  for (const auto& f : files) {
    const RawPages pages(f);
    for (uint32_t root : testing::indexRoots(pages)) {
      for (int round = 0; round < 20; ++round) {
        std::map<uint32_t, std::vector<uint8_t>> copy;
        auto fetch = [&](uint32_t n) -> std::span<const uint8_t> {
          auto it = copy.find(n);
          if (it == copy.end()) {
            const auto original = pages.page(n);
            it = copy.emplace(n, std::vector<uint8_t>(original.begin(), original.end())).first;
          }
          return it->second;
        };
        // Damage the root (and whatever else was read) in a few places.
        std::vector<uint8_t>& bytes = copy.emplace(root, std::vector<uint8_t>(pages.page(root).begin(), pages.page(root).end())).first->second;
        const int changes = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < changes; ++k) {
          const size_t at = rng() % 600;  // header, entry map and first entries
          bytes[at] = static_cast<uint8_t>(rng());
        }
        ++runs;
        try {
          verifyIndexTree(fetch, pages.format(), root);
          IndexEntryCursor cursor(fetch, pages.format(), root);
          while (cursor.next()) {
          }
          const std::vector<uint8_t> probe{0x7F, 0x80};
          cursor.seek(probe);
          while (cursor.next()) {
          }
        } catch (const Error&) {
          ++failures;
        }
      }
    }
  }
  EXPECT_GT(failures, 0) << "no damage was noticed in " << runs << " runs";
}

}  // namespace
}  // namespace jet
