// A source/destination pair shaped like a site's database, for the site benchmark: the
// eighteen QAR26M tables with their keys, long Memo remarks (Null, short, or several
// kilobytes of UTF-16 text spanning long-value pages), CJK and accented names, keys that
// differ only in letter case and blank test columns. Deterministic: the same scale always
// gives the same records.
#pragma once

#include <QString>

#include <map>

namespace qar::bench {

// Scale 1: 5,000 source records in every table but CRFlowData (100,000). Merge destinations
// hold half of the source's keys plus as many of their own, positional destinations as many
// records as the source, replace-all destinations 80% of the source's count.
struct SiteShape {
  int tableRecords = 5000;
  int flowRecords = 100000;
  static SiteShape scaled(double factor);
};

// What the generator put into one table of the source.
struct SiteTableFigures {
  int records = 0;
  double payloadBytes = 0;  // the records' values as stored: text as UTF-16, numbers at their width
};

// Builds new source.mdb and destination.mdb in folder (the tables' columns and indexes taken
// from the shared fixture pair). Returns the source's figures per table. Raises
// std::exception (jet::Error included) on failure.
std::map<QString, SiteTableFigures> makeSitePair(const QString& folder, const SiteShape& shape);

}  // namespace qar::bench
