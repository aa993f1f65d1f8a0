// TfrmCopy, the progress window ("Convert Progress"): a modal dialog that hosts one
// conversion run. The run starts once, right after the window is first shown; the window
// shows the current table, the record counter and two gauges, and closes itself through a
// 10 ms timer armed after the run has returned. Close requests during the run are discarded;
// Cancel (button, Enter or Esc) sets CopyCancelled, which the run honours at its next record.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <memory>

#include "engine/conversion_paths.h"
#include "engine/run_observer.h"
#include "engine/run_options.h"
#include "engine/run_outcome.h"

class QLabel;
class QPushButton;
class QTimer;
class TCGauge;

namespace qar {

class CopyRun;

class TfrmCopy : public QDialog, public RunObserver {
  Q_OBJECT

 public:
  // paths is asked for the two path texts when the run starts; it must outlive the window.
  explicit TfrmCopy(const ConversionPaths& paths, QWidget* parent = nullptr,
                    RunOptions options = {});
  ~TfrmCopy() override;

  // How the run ended; meaningful once the window has closed.
  const RunOutcome& outcome() const;
  // True from the run's start until it has returned.
  bool running() const { return running_; }

  // Controls, public for tests and screenshots (read them, do not reparent them).
  QLabel* labTableName = nullptr;
  QLabel* labPosRecord = nullptr;
  QLabel* labTotalRecord = nullptr;
  TCGauge* cgaRecord = nullptr;
  TCGauge* cgaTotal = nullptr;
  QPushButton* btnCancel = nullptr;
  QTimer* timClose = nullptr;

  // RunObserver: how the run shows its progress here (public so a test can drive the
  // window's counters and gauges without a run).
  void tableStarted(int slot, const QString& table, int sourceRecords) override;
  void recordLoopStarted(int recordCount) override;
  void pumpMessages() override;
  void recordStarted(int r) override;
  void tableDone(int slot, const TableSummary& summary) override;
  void errorBox(const QString& text, const QString& details) override;

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FormCreate();
  void FormActivate();
  void FormClose();
  void btnCancelClick();
  void timCloseTimer();

  // Puts the latest record number into labPosRecord and lets cgaRecord, which already holds
  // it, paint again: both are painted at the next regular paint.
  void showRecordNumber();
  // Holds back, then lets go, the record gauge's repaints.
  void holdGauge();
  void releaseGauge();
  // Places the three counter labels so each holds its whole number (up to ten digits).
  void layoutCounters();

  QLabel* labSlash_ = nullptr;

  const ConversionPaths& paths_;
  RunOptions options_;
  std::unique_ptr<CopyRun> run_;
  RunOutcome outcome_;
  bool activated_ = false;
  bool running_ = false;
  bool released_ = false;
  // The counter and the record gauge reach the screen at most every kDisplayMillis while a
  // table runs (each change costs a paint and, on a real X server, a flush to the server;
  // more often than a screen shows frames would only cost time), at the first pump after a
  // table starts, when it ends and before an error box.
  static constexpr int kDisplayMillis = 20;
  int recordNumber_ = 0;
  QElapsedTimer displayClock_;
  bool displayDue_ = false;
  bool gaugeHeld_ = false;
  // The pump runs for every record, but hands the event loop a turn only once
  // kPumpMicros have passed since the last turn: a turn costs microseconds even with
  // nothing waiting, several times a record's own work, and no click, key, timer or
  // repaint can tell a turn every record from one every fraction of a millisecond.
  static constexpr qint64 kPumpMicros = 500;
  QElapsedTimer pumpClock_;
};

}  // namespace qar
