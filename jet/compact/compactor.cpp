// Compaction on a copy: the copy's layout checked, every table's rows (the catalog's first)
// taken out, then written back in catalog order, then one flush that rebuilds the indexes
// and cuts the file, then the full structure check and a read-back of the written file.
#include "jet/compact/compactor.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "jet/catalog.h"
#include "jet/check/structure_check.h"
#include "jet/check/write_fitness.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/io/file.h"
#include "jet/pager/journal.h"
#include "jet/table_scan.h"
#include "jet/write/table_writer.h"
#include "jet/write/write_session.h"

namespace jet::write {
namespace {

std::string firstDefects(const StructureReport& report) {
  std::string text;
  for (size_t i = 0; i < report.defects.size() && i < 3; ++i) text += "\n  " + report.defects[i];
  if (report.defects.size() > 3) text += "\n  (" + std::to_string(report.defects.size() - 3) + " more)";
  return text;
}

// Every table the catalog lists, the catalog itself first: (name, definition page, flags).
std::vector<CatalogEntry> everyTable(DatabaseImpl& db) {
  std::vector<CatalogEntry> tables{{"MSysObjects", kCatalogPage, kSystemObjectFlag}};
  for (CatalogEntry& entry : readTableObjects(db.pager(), db.catalog, db.header.codePage)) {
    tables.push_back(std::move(entry));
  }
  return tables;
}

// The file holds exactly the pages the pager has (none of them left unwritten), read back in
// large pieces.
void requireFileHolds(Pager& pager) {
  const uint32_t pageSize = pager.pageSize();
  if (pager.hasDirtyPages() || pager.file().size() != uint64_t(pager.pageCount()) * pageSize) {
    throw Error(ErrorKind::Io, pager.file().name() + ": the compacted copy was not written whole");
  }
  constexpr uint32_t kPagesPerRead = 256;
  std::vector<uint8_t> buffer(size_t(kPagesPerRead) * pageSize);
  for (uint32_t first = 0; first < pager.pageCount(); first += kPagesPerRead) {
    const uint32_t count = std::min(kPagesPerRead, pager.pageCount() - first);
    pager.file().readAt(uint64_t(first) * pageSize, buffer.data(), size_t(count) * pageSize);
    for (uint32_t i = 0; i < count; ++i) {
      if (!std::equal(buffer.begin() + size_t(i) * pageSize, buffer.begin() + size_t(i + 1) * pageSize,
                      pager.read(first + i)->bytes.begin())) {
        throw Error(ErrorKind::Io, pager.file().name() + ": page " + std::to_string(first + i) +
                                       " of the compacted copy reads back other than it was written");
      }
    }
  }
}

void removeQuietly(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  std::filesystem::remove(Journal::pathFor(path), ignored);
}

}  // namespace

CompactionFigures compactCopy(const std::string& from, const std::string& to,
                              const std::function<void(size_t, size_t)>& progress, const FileOpener& open) {
  CompactionFigures figures;
  {
    // Opened as every reader opens a file: a journal left by a cut-short write is settled first.
    auto source = openDatabaseFile(from, OpenMode::ReadOnly);
    std::vector<std::string> names;
    for (const CatalogEntry& entry : source->userTables()) names.push_back(entry.name);
    if (auto unkeyable = sortOrderDefects(*source, names); !unkeyable.empty()) {
      throw Error(ErrorKind::Unsupported, from + " is not compacted: " + unkeyable.front());
    }
    figures.pagesBefore = source->pager().pageCount();
    figures.bytesBefore = source->pager().file().size();
  }
  if (std::filesystem::exists(to)) throw Error(ErrorKind::Invalid, to + " exists already");
  try {
    std::filesystem::copy_file(from, to);
    {
      // No journal: a copy that fails half-way is removed, never repaired.
      auto db = openDatabaseImpl(open(to, FileAccess::ReadWrite), std::string(), OpenMode::ReadWrite);
      // The copy is read several times over: all of it stays in memory.
      db->pager().setCacheLimit(db->pager().pageCount());
      // The copy holds FILE's bytes, so its check is FILE's. Its rows are about to be copied
      // out and its indexes rebuilt, so the layout is what must be sound here; the result is
      // checked in full before it is handed back.
      if (StructureReport report = checkStructure(*db, CheckDepth::Layout); !report.ok()) {
        throw Error(ErrorKind::Corrupt, from + " is damaged; it is not compacted:" + firstDefects(report));
      }
      // A failure anywhere removes the copy, so no write keeps old bytes to undo it.
      db->writer().context().keepNoUndo();
      // Who owns what is read before the catalog's own rows are taken out.
      db->writer().context().readClaimsNow();
      const std::vector<CatalogEntry> tables = everyTable(*db);
      // Every table's rows out first, so that all their pages are free before any row goes
      // back: the rows then fill the file from its lowest free page on, leaving no holes.
      std::vector<std::shared_ptr<TableWriter::HeldRows>> held(tables.size());
      const size_t steps = 2 * tables.size();
      for (size_t i = 0; i < tables.size(); ++i) {
        try {
          held[i] = db->writer().writer(db->table(tables[i])).takeRows();
        } catch (const Error& e) {
          throw withContext(e, to, tables[i].name);
        }
        if (progress) progress(i + 1, steps);
      }
      for (size_t i = 0; i < tables.size(); ++i) {
        try {
          figures.rows += db->writer().writer(db->table(tables[i])).putRows(*held[i]);
        } catch (const Error& e) {
          throw withContext(e, to, tables[i].name);
        }
        held[i].reset();
        ++figures.tables;
        if (progress) progress(tables.size() + i + 1, steps);
      }
      db->writer().flush();
      // The copy checked as written: every page is still in memory, and the file must hold
      // exactly those bytes.
      StructureReport report = checkStructure(*db);
      if (!report.ok()) {
        throw Error(ErrorKind::Corrupt, "the compacted copy fails the structure check:" + firstDefects(report));
      }
      requireFileHolds(db->pager());
      figures.pagesAfter = db->pager().pageCount();
      figures.bytesAfter = db->pager().file().size();
      db->close();
    }
  } catch (...) {
    removeQuietly(to);
    throw;
  }
  return figures;
}

}  // namespace jet::write
