// TfrmMain, the main window: the source and destination file fields, the eighteen table
// check boxes, and the buttons that start a conversion. Starting one fills the shared table
// selection, runs the progress window modally and then tells the operator how it ended.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "engine/conversion_paths.h"
#include "engine/run_outcome.h"

class QCheckBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qar {

// True when the check box's caption, set in font, fits the box without being cut off.
bool captionFits(const QCheckBox* box, const QFont& font);

class TfrmMain : public QWidget, public ConversionPaths {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The two path texts exactly as the fields hold them (ConversionPaths).
  QString sourcePath() const override;
  QString destinationPath() const override;

  // The check box whose caption is table, or nullptr.
  QCheckBox* tableBox(const QString& table) const;

  // How the last conversion ended (empty until one has run).
  const RunOutcome& lastOutcome() const { return lastOutcome_; }

  // Controls, public so tests and the screenshot tool can reach them (do not reparent).
  QGroupBox* gbSource = nullptr;
  QLineEdit* edtFrom = nullptr;
  QPushButton* btnSource = nullptr;
  QGroupBox* gbDest = nullptr;
  QLineEdit* edtTo = nullptr;
  QPushButton* btnDest = nullptr;
  QGroupBox* gbTable = nullptr;
  QPushButton* btnSelectAll = nullptr;
  QPushButton* btnCancelAll = nullptr;
  QPushButton* btnStartCopy = nullptr;
  QToolButton* btnClose = nullptr;
  QLabel* labFooter = nullptr;
  QFileDialog* opdAccess = nullptr;

  // Called with the progress window right after it is created, before it is shown (the
  // screenshot tool uses it to catch the window mid-run). Empty by default.
  std::function<void(QWidget*)> onProgressWindowCreated;

 public slots:
  void btnSourceClick();
  void btnDestClick();
  void btnSelectAllClick();
  void btnCancelAllClick();
  void btnStartCopyClick();
  void btnCloseClick();

 private:
  void createControls();
  void setTabOrder();
  // Runs opdAccess on the file last chosen; true and the path when the operator confirms.
  bool runFileDialog(QString& chosen);
  void applyDependencyRule();
  void fillSelection();
  void showClosingMessage(const RunOutcome& outcome);

  QString lastChosenFile_;
  RunOutcome lastOutcome_;
};

}  // namespace qar
