// The run's pre-flight: after both connections are open and before the backup or any write,
// the destination is made sure of. A list of checks runs over the tables the run will write;
// the first that finds a defect ends the run ("Destination Database Connect failure!") with
// details naming the table, index or page and the defect, and nothing has been written.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace jet {
class DatabaseImpl;
}
namespace qar::data {
class TADOConnection;
}

namespace qar {

// What the checks look at. The destination's writer's lock is taken by one of the checks and
// kept by its connection until the run ends.
struct PreflightTarget {
  data::TADOConnection& source;
  data::TADOConnection& destination;
  QString destinationPath;
  QStringList tables;  // the selected tables the destination holds, in processing order

  // The destination opened a second time, for reading, by the first check that needs it.
  jet::DatabaseImpl& examined();
  std::shared_ptr<jet::DatabaseImpl> examined_;
};

struct PreflightCheck {
  const char* name;
  // The defects found, one line each; empty when the check passes.
  std::function<QStringList(PreflightTarget&)> run;
};

// The checks, in the order they run: the file and folder writable, the writer's lock, the
// file's format, the tables' structure, their indexes' sort orders, the keys the source's
// records would give those indexes.
const std::vector<PreflightCheck>& preflightChecks();

// Runs the checks; an empty string when the destination may be written, else the details
// for the error box.
QString runPreflight(PreflightTarget& target);

}  // namespace qar
