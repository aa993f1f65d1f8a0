// Rebuilding small indexes into their root leaf page.
#include "jet/write/index_rebuild.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/format/table_def.h"
#include "jet/index/index_page.h"
#include "jet/index/index_page_format.h"
#include "jet/index/key_encoder.h"
#include "jet/table_scan.h"
#include "jet/util/bytes.h"

namespace jet::write {
namespace td = format::tabledef;

namespace {

struct Entry {
  KeyBytes key;
  RowId row;
};

// The logical index that describes real index r (its columns and sort orders).
const Index* describing(const TableInfo& info, size_t real) {
  for (size_t i = 0; i < info.logicalIndexes.size() && i < info.def.indexes.size(); ++i) {
    if (info.logicalIndexes[i].realIndex == real) return &info.def.indexes[i];
  }
  return nullptr;
}

void putBE24(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 16);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v);
}

}  // namespace

IndexRebuild::IndexRebuild(WriteContext& ctx, TableInfo& info, const RowDecoder& decoder)
    : ctx_(ctx), info_(info), decoder_(decoder) {}

void IndexRebuild::requireRebuildable() const {
  for (size_t r = 0; r < info_.realIndexes.size(); ++r) {
    const Index* index = describing(info_, r);
    if (!index) continue;
    KeyEncoder encoder(info_.def, *index, info_.format);
    if (!encoder.writable()) throw Error(ErrorKind::Unsupported, encoder.unsupportedReason());
    uint32_t root = info_.realIndexes[r].firstPage;
    if (root == 0 || root >= ctx_.pager().pageCount() || ctx_.pager().read(root)->bytes[0] != kIndexLeafPage) {
      throw Error(ErrorKind::Unsupported, "index " + index->name + " of table " + info_.def.name +
                                              " spans several pages; changing it is not supported yet");
    }
  }
}

void IndexRebuild::checkUnique(const Row& row, const RowId* self) {
  for (size_t r = 0; r < info_.realIndexes.size(); ++r) {
    if (!(info_.realIndexes[r].flags & td::kUnique)) continue;
    const Index* index = describing(info_, r);
    if (!index) continue;
    KeyEncoder encoder(info_.def, *index, info_.format);
    if (encoder.allNull(row)) continue;
    KeyBytes key;
    encoder.encodeRow(row, key);
    TableScanner scanner(ctx_.pager(), info_);
    RowBytes bytes;
    Row other;
    while (scanner.next(bytes)) {
      if (self && scanner.current() == *self) continue;
      decoder_.decode(bytes.data, bytes.size, bytes.id, other);
      KeyBytes otherKey;
      encoder.encodeRow(other, otherKey);
      if (otherKey == key) {
        throw Error(ErrorKind::Constraint, "table " + info_.def.name + ": index " + index->name +
                                               " already has a row with this key");
      }
    }
  }
}

void IndexRebuild::checkInsert(const Row& row) {
  requireRebuildable();
  checkUnique(row, nullptr);
}

void IndexRebuild::checkUpdate(RowId id, const Row&, const Row& newRow) {
  requireRebuildable();
  checkUnique(newRow, &id);
}

void IndexRebuild::rebuild() {
  if (!dirty_) return;
  requireRebuildable();
  const IndexPageLayout& layout = indexPageLayout(info_.format);
  // Every live row once, decoded.
  std::vector<std::pair<RowId, Row>> rows;
  {
    TableScanner scanner(ctx_.pager(), info_);
    RowBytes bytes;
    while (scanner.next(bytes)) {
      Row row;
      decoder_.decode(bytes.data, bytes.size, bytes.id, row);
      rows.emplace_back(scanner.current(), std::move(row));
    }
  }
  for (size_t r = 0; r < info_.realIndexes.size(); ++r) {
    const Index* index = describing(info_, r);
    if (!index) continue;
    KeyEncoder encoder(info_.def, *index, info_.format);
    bool ignoreNulls = (info_.realIndexes[r].flags & td::kIgnoreNulls) != 0;
    std::vector<Entry> entries;
    for (const auto& [id, row] : rows) {
      if (ignoreNulls && encoder.allNull(row)) continue;
      Entry e{{}, id};
      encoder.encodeRow(row, e.key);
      entries.push_back(std::move(e));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      return compareIndexEntries(a.key, a.row, b.key, b.row) < 0;
    });
    // Whole entries: key, then the row's page (3 bytes) and row number, big-endian.
    std::vector<std::vector<uint8_t>> whole;
    for (const auto& e : entries) {
      std::vector<uint8_t> w(e.key);
      w.resize(e.key.size() + kEntryRowIdSize);
      putBE24(w.data() + e.key.size(), e.row.page);
      w[e.key.size() + kEntryDataPageSize] = static_cast<uint8_t>(e.row.row);
      whole.push_back(std::move(w));
    }
    size_t prefix = 0;
    if (whole.size() > 1) {
      prefix = whole[0].size();
      for (size_t i = 1; i < whole.size(); ++i) {
        size_t n = 0;
        while (n < prefix && n < whole[i].size() && whole[i][n] == whole[0][n]) ++n;
        prefix = n;
      }
      // Every entry keeps at least one stored byte so its end can be marked.
      for (const auto& w : whole) prefix = std::min(prefix, w.size() - 1);
    }
    size_t used = 0;
    for (size_t i = 0; i < whole.size(); ++i) used += whole[i].size() - (i == 0 ? 0 : prefix);
    if (used > layout.entryRoom()) {
      throw Error(ErrorKind::Unsupported, "index " + index->name + " of table " + info_.def.name +
                                              " no longer fits one page; growing it is not supported yet");
    }
    uint32_t root = info_.realIndexes[r].firstPage;
    uint8_t* page = ctx_.modify(root);
    uint32_t owner = le32(page + layout.tableDefinition);
    std::memset(page, 0, layout.pageSize);
    page[0] = kIndexLeafPage;
    page[1] = kIndexPageMarker;
    put16(page + layout.freeSpace, static_cast<uint16_t>(layout.pageSize - layout.entries() - used));
    put32(page + layout.tableDefinition, owner);
    put16(page + layout.prefixLength, static_cast<uint16_t>(prefix));
    size_t at = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
      size_t skip = i == 0 ? 0 : prefix;
      std::memcpy(page + layout.entries() + at, whole[i].data() + skip, whole[i].size() - skip);
      at += whole[i].size() - skip;
      page[layout.entryMap + at / 8] |= static_cast<uint8_t>(1u << (at % 8));
    }
    // The definition keeps each index's entry count.
    uint32_t countAt = info_.realIndexes[r].rowCountOffset + 4;
    TableInfo::Location loc = info_.locate(countAt, ctx_.spec().pageSize);
    put32(ctx_.modify(loc.page) + loc.offset, static_cast<uint32_t>(entries.size()));
  }
  dirty_ = false;
}

}  // namespace jet::write
