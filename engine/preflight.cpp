// The run's pre-flight checks (see preflight.h).
#include "engine/preflight.h"

#include "engine/preflight_keys.h"

#include "data/connection.h"
#include "jet/check/structure_check.h"
#include "jet/check/write_fitness.h"
#include "jet/database_impl.h"
#include "jet/error.h"

namespace qar {

namespace {

// The destination opened for reading by the checks, which read each table once: a few
// hundred cached pages serve them.
std::unique_ptr<jet::DatabaseImpl> openExamined(const QString& path) {
  auto db = jet::openDatabaseFile(path.toStdString(), jet::OpenMode::ReadOnly);
  db->pager().setCacheLimit(512);
  return db;
}

QStringList lines(const std::vector<std::string>& defects) {
  QStringList out;
  for (const auto& d : defects) out << QString::fromStdString(d);
  return out;
}

std::vector<std::string> tableNames(const PreflightTarget& target) {
  std::vector<std::string> names;
  for (const QString& t : target.tables) names.push_back(t.toStdString());
  return names;
}

// Another run or program writing the destination is refused at once, not waited for.
QStringList takeWritersLock(PreflightTarget& target) {
  data::TADOConnection& to = target.destination;
  const int wait = to.CommandTimeout();
  to.setCommandTimeout(0);
  QStringList out;
  try {
    to.writeDatabase();
  } catch (const std::exception& e) {
    const QString cause = QString::fromUtf8(e.what());
    if (cause.contains(QLatin1String("in use")) && !cause.contains(QLatin1String("journal"))) {
      out << QStringLiteral("%1 is in use by another program that writes it (%2)").arg(target.destinationPath, cause);
    } else {
      out << cause;
    }
  }
  to.setCommandTimeout(wait);
  return out;
}

QStringList fileWritable(PreflightTarget& target) {
  return lines(jet::fileWritingDefects(target.destinationPath.toStdString()));
}

QStringList formatWritten(PreflightTarget& target) { return lines(jet::formatWritingDefects(target.examined())); }

QStringList tablesSound(PreflightTarget& target) {
  jet::DatabaseImpl& examined = target.examined();
  // A second open lets a second thread check some of the tables (nothing else writes the
  // file now: this run holds its writer's lock).
  std::unique_ptr<jet::DatabaseImpl> helper;
  try {
    helper = openExamined(target.destinationPath);
  } catch (const std::exception&) {
    // One thread checks them all.
  }
  jet::StructureReport report = jet::checkTables(examined, tableNames(target), helper.get());
  return lines(report.defects);
}

QStringList sortOrdersKept(PreflightTarget& target) {
  return lines(jet::sortOrderDefects(target.examined(), tableNames(target)));
}

// Every text the run would put into an index of a sort order with proven characters only can
// be keyed there (reads the source's key columns).
QStringList sourceKeysBuildable(PreflightTarget& target) {
  const std::vector<QString> tables(target.tables.begin(), target.tables.end());
  QStringList out;
  if (auto refusal = checkProvenKeys(target.source, target.destination, tables)) out << *refusal;
  return out;
}

}  // namespace

jet::DatabaseImpl& PreflightTarget::examined() {
  if (!examined_) examined_ = openExamined(destinationPath);
  return *examined_;
}

const std::vector<PreflightCheck>& preflightChecks() {
  static const std::vector<PreflightCheck> checks{
      {"file and folder writable", fileWritable},
      {"writer's lock", takeWritersLock},
      {"file format", formatWritten},
      {"table structure", tablesSound},
      {"index sort orders", sortOrdersKept},
      {"source keys", sourceKeysBuildable},
  };
  return checks;
}

QString runPreflight(PreflightTarget& target) {
  QString details;
  for (const PreflightCheck& check : preflightChecks()) {
    QStringList defects;
    try {
      defects = check.run(target);
    } catch (const std::exception& e) {
      defects << QString::fromUtf8(e.what());
    }
    if (defects.isEmpty()) continue;
    constexpr int kShown = 5;
    const qsizetype more = defects.size() - kShown;
    if (more > 0) {
      defects = defects.mid(0, kShown);
      defects << QStringLiteral("and %1 more").arg(more);
    }
    details = QStringLiteral("Destination database \"%1\" cannot be written safely (%2): %3")
                  .arg(target.destinationPath, QLatin1String(check.name), defects.join(QStringLiteral("; ")));
    break;
  }
  target.examined_.reset();
  return details;
}

}  // namespace qar
