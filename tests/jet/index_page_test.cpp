// Index pages built by hand: decoding of headers, entry maps and prefix compression, damaged
// pages refused with Corrupt, and the tree cursor, seeks and structural check over small
// trees held in memory (including trees broken on purpose).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "jet/error.h"
#include "jet/codec/index_page.h"
#include "jet/index/index_tree.h"

namespace jet {
namespace {

using Key = std::vector<uint8_t>;

struct TestEntry {
  Key key;
  RowId row;
  uint32_t child = 0;
};

void putLe(std::vector<uint8_t>& p, size_t at, uint32_t v, int width) {
  for (int i = 0; i < width; ++i) p[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Lays out one page as Access does: entries back to back, the first one whole, the others
// without the shared prefix, and a map bit at the end of each entry.
std::vector<uint8_t> buildPage(Format format, bool leaf, const std::vector<TestEntry>& entries, size_t prefix,
                               uint32_t prev = 0, uint32_t next = 0, uint32_t tail = 0, uint32_t tdef = 2) {
  const IndexPageLayout& l = indexPageLayout(format);
  std::vector<uint8_t> page(l.pageSize, 0);
  page[0] = leaf ? kIndexLeafPage : kIndexNodePage;
  page[1] = kIndexPageMarker;
  putLe(page, l.tableDefinition, tdef, 4);
  putLe(page, l.previousPage, prev, 4);
  putLe(page, l.nextPage, next, 4);
  putLe(page, l.tailPage, tail, 4);
  putLe(page, l.prefixLength, static_cast<uint32_t>(prefix), static_cast<int>(l.prefixLengthSize));
  size_t at = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    Key whole = entries[i].key;
    const RowId r = entries[i].row;
    whole.insert(whole.end(), {static_cast<uint8_t>(r.page >> 16), static_cast<uint8_t>(r.page >> 8),
                               static_cast<uint8_t>(r.page), static_cast<uint8_t>(r.row)});
    if (!leaf) {
      const uint32_t c = entries[i].child;
      whole.insert(whole.end(), {static_cast<uint8_t>(c >> 24), static_cast<uint8_t>(c >> 16),
                                 static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
    }
    const size_t skip = i == 0 ? 0 : prefix;
    std::copy(whole.begin() + skip, whole.end(), page.begin() + l.entries() + at);
    at += whole.size() - skip;
    page[l.entryMap + at / 8] |= static_cast<uint8_t>(1u << (at % 8));
  }
  putLe(page, l.freeSpace, static_cast<uint32_t>(l.pageSize - l.entries() - at), 2);
  return page;
}

TestEntry leafEntry(Key key, uint32_t page, uint8_t row) { return TestEntry{std::move(key), RowId{page, row}}; }

TEST(IndexPage, DecodesHeaderAndPrefixCompressedEntries) {
  for (Format format : {Format::Jet4, Format::Jet3}) {
    const std::vector<TestEntry> entries{leafEntry({0x7F, 0x4A, 0x4A, 0x01}, 0x123456, 1),
                                         leafEntry({0x7F, 0x4A, 0x4C, 0x01}, 0x000010, 7),
                                         leafEntry({0x7F, 0x4A, 0x4C, 0x01, 0x02}, 0x000010, 9)};
    const auto bytes = buildPage(format, true, entries, 2, 11, 13, 0, 5);
    IndexPage page;
    page.decode(bytes, 12, format);
    EXPECT_TRUE(page.leaf());
    EXPECT_EQ(page.number(), 12u);
    EXPECT_EQ(page.previousPage(), 11u);
    EXPECT_EQ(page.nextPage(), 13u);
    EXPECT_EQ(page.tableDefinitionPage(), 5u);
    EXPECT_EQ(page.prefix().size(), 2u);
    ASSERT_EQ(page.size(), 3u);
    for (size_t i = 0; i < entries.size(); ++i) {
      const IndexEntry e = page.entry(i);
      EXPECT_EQ(Key(e.key.begin(), e.key.end()), entries[i].key);
      EXPECT_EQ(e.row, entries[i].row);
    }
    EXPECT_EQ(page.usedEntryBytes(), 8u + 6u + 7u);
    EXPECT_EQ(page.freeSpace(), indexPageLayout(format).pageSize - indexPageLayout(format).entries() - 21);
  }
}

TEST(IndexPage, PrefixMayReachIntoTheRowId) {
  // Same key and data page: the shared prefix covers the key and two bytes of the page.
  const std::vector<TestEntry> entries{leafEntry({0x7F, 0x01}, 0x000203, 1), leafEntry({0x7F, 0x01}, 0x000203, 2)};
  const auto bytes = buildPage(Format::Jet4, true, entries, 4);
  IndexPage page;
  page.decode(bytes, 3, Format::Jet4);
  ASSERT_EQ(page.size(), 2u);
  EXPECT_EQ(page.entry(1).row, (RowId{0x203, 2}));
  EXPECT_EQ(Key(page.entry(1).key.begin(), page.entry(1).key.end()), (Key{0x7F, 0x01}));
}

TEST(IndexPage, IntermediateEntriesCarryChildren) {
  const std::vector<TestEntry> entries{{{0x7F, 0x10}, {40, 1}, 100}, {{0x7F, 0x20}, {41, 0}, 101}};
  const auto bytes = buildPage(Format::Jet4, false, entries, 1, 0, 0, 102);
  IndexPage page;
  page.decode(bytes, 7, Format::Jet4);
  EXPECT_FALSE(page.leaf());
  EXPECT_EQ(page.tailPage(), 102u);
  ASSERT_EQ(page.size(), 2u);
  EXPECT_EQ(page.entry(0).child, 100u);
  EXPECT_EQ(page.entry(1).child, 101u);
  EXPECT_EQ(page.entry(1).row, (RowId{41, 0}));
}

TEST(IndexPage, DamagedPagesAreCorrupt) {
  const std::vector<TestEntry> entries{leafEntry({0x7F, 0x01}, 9, 1), leafEntry({0x7F, 0x02}, 9, 2)};
  const IndexPageLayout& l = kJet4IndexPage;
  auto expectCorrupt = [](std::vector<uint8_t> bytes, const char* what) {
    IndexPage page;
    try {
      page.decode(bytes, 77, Format::Jet4);
      ADD_FAILURE() << "accepted: " << what;
    } catch (const Error& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << what;
      EXPECT_NE(std::string(e.what()).find("77"), std::string::npos) << what;
    }
  };
  auto good = buildPage(Format::Jet4, true, entries, 1);
  auto b = good;
  b[0] = 0x01;
  expectCorrupt(b, "data page type");
  expectCorrupt(std::vector<uint8_t>(good.begin(), good.begin() + 2048), "short page");
  b = good;
  b[l.entryMap + l.entryMapSize - 1] = 0x80;  // past the end of the page
  expectCorrupt(b, "entry past the page");
  b = good;
  b[l.entryMap] |= 0x04;  // an entry of 2 bytes cannot hold a row id
  expectCorrupt(b, "short entry");
  b = good;
  b[l.entryMap] |= 0x01;
  expectCorrupt(b, "empty entry");
  b = good;
  putLe(b, l.prefixLength, 200, 2);
  expectCorrupt(b, "prefix longer than the first entry");
  b = buildPage(Format::Jet4, true, {}, 0);
  putLe(b, l.prefixLength, 3, 2);
  expectCorrupt(b, "prefix without entries");
}

TEST(IndexPageView, SearchesAgreeWithDecodedEntries) {
  // Keys sharing three bytes, one key shorter than the prefix reaches (into its row id).
  // Every entry starts 7F 4A 01; for the first, the 01 is its row id's first byte.
  const std::vector<TestEntry> entries{leafEntry({0x7F, 0x4A}, 0x010000, 1),
                                       leafEntry({0x7F, 0x4A, 0x01}, 2, 1), leafEntry({0x7F, 0x4A, 0x01}, 2, 2),
                                       leafEntry({0x7F, 0x4A, 0x01, 0x4C, 0x01}, 3, 0),
                                       leafEntry({0x7F, 0x4A, 0x01, 0x4C, 0x4E, 0x01}, 3, 1)};
  for (size_t prefix : {0, 1, 2, 3}) {
    const auto bytes = buildPage(Format::Jet4, true, entries, prefix);
    IndexPageView view, prepared;
    view.load(bytes, 4, Format::Jet4);
    prepared.load(bytes, 4, Format::Jet4);
    prepared.prepareSearch();
    IndexPage page;
    page.decode(bytes, 4, Format::Jet4);
    ASSERT_EQ(view.size(), entries.size());
    for (const Key& target : {Key{}, Key{0x7F}, Key{0x7F, 0x4A}, Key{0x7F, 0x4A, 0x00}, Key{0x7F, 0x4A, 0x01},
                              Key{0x7F, 0x4A, 0x01, 0x00}, Key{0x7F, 0x4A, 0x01, 0x4C}, Key{0x7F, 0x4A, 0x01, 0x4D},
                              Key{0x7F, 0x4A, 0x02}, Key{0x80}}) {
      size_t expected = 0;
      while (expected < page.size() &&
             compareIndexEntries(page.entry(expected).key, {}, target, {}) < 0) {
        ++expected;
      }
      EXPECT_EQ(view.lowerBound(target), expected) << "prefix " << prefix << ", target of " << target.size();
      EXPECT_EQ(prepared.lowerBound(target), expected) << "prepared, prefix " << prefix << ", target of " << target.size();
    }
    Key key;
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(view.read(i, key), entries[i].row);
      EXPECT_EQ(key, entries[i].key);
      EXPECT_EQ(view.compareKey(i, entries[i].key), 0);
    }
  }
}

TEST(IndexPageView, PreparedSearchAgreesOnLongSharedKeys) {
  // Keys over three byte values with long common runs (ties in their first eight bytes after
  // the prefix, keys that are prefixes of others, zero bytes at the end), searched with and
  // without the prepared numbers.
  std::mt19937 rng(7);
  const uint8_t alphabet[] = {0x00, 0x01, 0xFF};
  for (int round = 0; round < 40; ++round) {
    std::vector<Key> keys;
    const Key shared(rng() % 6, 0x7F);
    for (int i = 0; i < 60; ++i) {
      Key k = shared;
      const size_t n = rng() % 14;
      for (size_t j = 0; j < n; ++j) k.push_back(j < 9 && rng() % 4 != 0 ? 0x01 : alphabet[rng() % 3]);
      keys.push_back(k);
    }
    std::sort(keys.begin(), keys.end());
    std::vector<TestEntry> entries;
    for (size_t i = 0; i < keys.size(); ++i) entries.push_back(leafEntry(keys[i], 5, static_cast<uint8_t>(i)));
    size_t prefix = 0;
    while (prefix < keys.front().size() && prefix < keys.back().size() && keys.front()[prefix] == keys.back()[prefix]) {
      ++prefix;
    }
    const auto bytes = buildPage(Format::Jet4, true, entries, prefix);
    IndexPageView plain, prepared;
    plain.load(bytes, 4, Format::Jet4);
    prepared.load(bytes, 4, Format::Jet4);
    prepared.prepareSearch();
    for (int t = 0; t < 200; ++t) {
      Key target = t % 2 ? keys[rng() % keys.size()] : shared;
      const size_t extra = rng() % 12;
      if (t % 3 == 0 && !target.empty()) target.pop_back();
      for (size_t j = 0; j < extra; ++j) target.push_back(alphabet[rng() % 3]);
      ASSERT_EQ(prepared.lowerBound(target), plain.lowerBound(target)) << "round " << round << ", target " << t;
    }
  }
}

// A small tree in memory: page number -> bytes.
struct MemoryTree {
  std::map<uint32_t, std::vector<uint8_t>> pages;
  IndexPageFetcher fetcher() const {
    return [this](uint32_t n) -> std::span<const uint8_t> {
      auto it = pages.find(n);
      if (it == pages.end()) throw Error(ErrorKind::Corrupt, "page " + std::to_string(n) + " missing");
      return it->second;
    };
  }
};

Key key(uint8_t v) { return Key{0x7F, v}; }

// Root 10 (intermediate) -> pages 20, 21 listed, 22 as the tail; each leaf holds three keys.
MemoryTree threeLeafTree() {
  MemoryTree t;
  std::vector<std::vector<TestEntry>> leaves;
  for (int leaf = 0; leaf < 3; ++leaf) {
    std::vector<TestEntry> es;
    for (int k = 0; k < 3; ++k) es.push_back(leafEntry(key(static_cast<uint8_t>(10 * leaf + 2 * k)), 50, static_cast<uint8_t>(leaf * 3 + k)));
    leaves.push_back(es);
  }
  t.pages[20] = buildPage(Format::Jet4, true, leaves[0], 1, 0, 21);
  t.pages[21] = buildPage(Format::Jet4, true, leaves[1], 1, 20, 22);
  t.pages[22] = buildPage(Format::Jet4, true, leaves[2], 1, 21, 0);
  const std::vector<TestEntry> node{{leaves[0].back().key, leaves[0].back().row, 20},
                                    {leaves[1].back().key, leaves[1].back().row, 21}};
  t.pages[10] = buildPage(Format::Jet4, false, node, 1, 0, 0, 22);
  return t;
}

std::vector<uint8_t> readAll(IndexEntryCursor& c) {
  std::vector<uint8_t> out;
  while (c.next()) out.push_back(c.key()[1]);
  return out;
}

TEST(IndexTree, CursorReadsEveryEntryInOrder) {
  const MemoryTree t = threeLeafTree();
  IndexEntryCursor c(t.fetcher(), Format::Jet4, 10);
  EXPECT_EQ(readAll(c), (std::vector<uint8_t>{0, 2, 4, 10, 12, 14, 20, 22, 24}));
  const IndexTreeStats s = verifyIndexTree(t.fetcher(), Format::Jet4, 10, 2);
  EXPECT_EQ(s.entries, 9u);
  EXPECT_EQ(s.leafPages, 3u);
  EXPECT_EQ(s.nodePages, 1u);
  EXPECT_EQ(s.levels, 2);
  // An empty index is a leaf root without entries.
  MemoryTree empty;
  empty.pages[5] = buildPage(Format::Jet4, true, {}, 0);
  IndexEntryCursor e(empty.fetcher(), Format::Jet4, 5);
  EXPECT_FALSE(e.next());
  EXPECT_EQ(verifyIndexTree(empty.fetcher(), Format::Jet4, 5).entries, 0u);
}

TEST(IndexTree, SeekFindsTheFirstKeyNotBelow) {
  const MemoryTree t = threeLeafTree();
  IndexEntryCursor c(t.fetcher(), Format::Jet4, 10);
  c.seek(key(12));
  EXPECT_EQ(readAll(c), (std::vector<uint8_t>{12, 14, 20, 22, 24}));
  c.seek(key(5));  // between leaves: continues on the next page
  EXPECT_EQ(readAll(c), (std::vector<uint8_t>{10, 12, 14, 20, 22, 24}));
  c.seek(key(23));  // in the tail page
  EXPECT_EQ(readAll(c), (std::vector<uint8_t>{24}));
  c.seek(key(99));
  EXPECT_FALSE(c.next());
  c.seek(Key{0x7F});  // a prefix of every key
  EXPECT_EQ(readAll(c).size(), 9u);
  c.seek(Key{0x00});
  EXPECT_EQ(readAll(c).size(), 9u);
}

void expectBroken(const MemoryTree& t, const std::string& what) {
  try {
    verifyIndexTree(t.fetcher(), Format::Jet4, 10);
    ADD_FAILURE() << "check passed a tree with " << what;
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << what;
  }
}

TEST(IndexTree, CheckFindsBrokenTrees) {
  MemoryTree t = threeLeafTree();
  // Node entry that is not the child's last entry.
  t.pages[10] = buildPage(Format::Jet4, false, {{key(3), {50, 2}, 20}, {key(14), {50, 5}, 21}}, 1, 0, 0, 22);
  expectBroken(t, "a wrong node entry");

  t = threeLeafTree();
  t.pages[21] = buildPage(Format::Jet4, true, {leafEntry(key(10), 50, 3), leafEntry(key(12), 50, 4), leafEntry(key(14), 50, 5)}, 1, 0, 22);
  expectBroken(t, "a broken previous link");

  t = threeLeafTree();
  t.pages[22] = buildPage(Format::Jet4, true, {leafEntry(key(20), 50, 6)}, 1, 21, 20);
  expectBroken(t, "a last leaf pointing on");

  t = threeLeafTree();
  t.pages[21] = buildPage(Format::Jet4, true, {leafEntry(key(1), 50, 3), leafEntry(key(12), 50, 4), leafEntry(key(14), 50, 5)}, 1, 20, 22);
  expectBroken(t, "keys out of order");

  t = threeLeafTree();
  t.pages[10] = buildPage(Format::Jet4, false, {{key(4), {50, 2}, 20}, {key(14), {50, 5}, 10}}, 1, 0, 0, 22);
  expectBroken(t, "a page that leads back to the root");

  t = threeLeafTree();
  t.pages[10] = buildPage(Format::Jet4, false, {}, 0, 0, 0, 0);
  expectBroken(t, "an intermediate page without children");

  t = threeLeafTree();
  t.pages[21][kJet4IndexPage.freeSpace] ^= 1;
  expectBroken(t, "a wrong free space field");

  t = threeLeafTree();
  t.pages.erase(21);
  expectBroken(t, "a missing page");

  EXPECT_THROW(verifyIndexTree(t.fetcher(), Format::Jet4, 0), Error);
  t = threeLeafTree();
  EXPECT_THROW(verifyIndexTree(t.fetcher(), Format::Jet4, 10, 3), Error);  // another table's pages
}

TEST(IndexTree, CursorStopsOnLoopingChains) {
  MemoryTree t;
  t.pages[10] = buildPage(Format::Jet4, true, {leafEntry(key(1), 50, 1)}, 0, 0, 11);
  t.pages[11] = buildPage(Format::Jet4, true, {leafEntry(key(2), 50, 2)}, 0, 10, 10);
  IndexEntryCursor c(t.fetcher(), Format::Jet4, 10);
  EXPECT_TRUE(c.next());
  EXPECT_TRUE(c.next());
  EXPECT_THROW(c.next(), Error);
  // A loop of empty pages.
  t.pages[10] = buildPage(Format::Jet4, true, {}, 0, 0, 11);
  t.pages[11] = buildPage(Format::Jet4, true, {}, 0, 10, 10);
  IndexEntryCursor e(t.fetcher(), Format::Jet4, 10);
  EXPECT_THROW(e.next(), Error);
  // A tree whose intermediate pages lead to themselves.
  t.pages[10] = buildPage(Format::Jet4, false, {{key(1), {50, 1}, 10}}, 0);
  IndexEntryCursor d(t.fetcher(), Format::Jet4, 10);
  EXPECT_THROW(d.next(), Error);
}

}  // namespace
}  // namespace jet
