// A QAR26M-shaped source/destination pair for the conversion benchmark, made from nothing by
// the storage engine: the eighteen tables with the columns (and, when asked, the indexes) of
// the shared basic pair, filled with generated records. Merge tables' destinations hold half of the source's keys (a third of
// the shared text keys differ in letter case), positional tables pair record for record,
// replace-all destinations hold half as many records as their sources.
#pragma once

#include <QString>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>

#include "engine/run_observer.h"
#include "jet/database.h"
#include "jet/format/types.h"

namespace qar::bench {

struct PairShape {
  int flowRecords = 200000;       // CRFlowData
  int holderRecords = 50000;      // HolderData and CardData
  int mergeRecords = 20000;       // each merge table
  int otherRecords = 1000;        // the other replace-all tables
  PairShape scaled(double factor) const;
};

// Builds new source.mdb and destination.mdb files in folder shaped like the shared fixture
// pair, both in format (Access 2000 by default, or Access 97). Returns the source's record
// count per table. Raises std::exception (jet::Error included) on failure.
std::map<QString, int> makeQarPair(const QString& folder, const PairShape& shape, bool withIndexes,
                                   jet::Format format = jet::Format::Jet4);

// Makes new source.mdb and destination.mdb files in folder, in format, the source first. Each
// gets the eighteen tables of the shared fixture file of its side (columns, and indexes when
// asked), then fill(db, table, source) for each table in catalogue order. Raises
// std::exception when the fixture pair is absent or a write fails.
void makePairFiles(const QString& folder, jet::Format format, bool withIndexes,
                   const std::function<void(jet::Database& db, const QString& table, bool source)>& fill);

// A table's columns (and, when asked, its indexes but no foreign keys) as a definition that
// creates the same table in another database.
jet::TableSpec tableSpecOf(const jet::TableDef& def, bool withIndexes);

// The value of key column c (one-key merges: column 0; two-key merges: columns 0 and 1) in the
// record numbered key, the same on both sides but for letter case in a third of the text keys;
// nothing for the other columns.
std::optional<jet::Value> keyValue(const jet::Column& column, size_t c, int key, TransferStrategy strategy,
                                   bool source);

// A value of a number or Yes/No column made from n (the same n, the same value); nothing for
// other kinds.
std::optional<jet::Value> numberValue(jet::ColumnKind kind, int n);

// Copies source.mdb and destination.mdb of folder from into folder to (made when missing),
// each writable by its owner, replacing what is there.
void copyPair(const QString& from, const QString& to);

// A run observer that shows nothing; error boxes go to standard error.
class SilentObserver : public RunObserver {
 public:
  void tableStarted(int, const QString&, int) override {}
  void recordLoopStarted(int) override {}
  void pumpMessages() override {}
  void recordStarted(int) override {}
  void tableDone(int, const TableSummary&) override {}
  void errorBox(const QString& text, const QString& details) override {
    std::fprintf(stderr, "error box: %s (%s)\n", qPrintable(text), qPrintable(details));
  }
};

}  // namespace qar::bench
