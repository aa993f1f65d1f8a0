// Where a run gets its two database paths from. The main window implements this over its two
// edit fields; the progress window asks at the moment its run starts, so the texts the fields
// hold then are the ones used, exactly as typed.
#pragma once

#include <QString>

namespace qar {

class ConversionPaths {
 public:
  virtual ~ConversionPaths() = default;
  virtual QString sourcePath() const = 0;
  virtual QString destinationPath() const = 0;
};

// Two fixed paths, for the headless command and for tests.
class FixedPaths : public ConversionPaths {
 public:
  FixedPaths(QString source, QString destination)
      : source_(std::move(source)), destination_(std::move(destination)) {}
  QString sourcePath() const override { return source_; }
  QString destinationPath() const override { return destination_; }

 private:
  QString source_;
  QString destination_;
};

}  // namespace qar
