// The progress window: layout, the run on first activation, the close timer, Cancel, and the
// error boxes (see copyprogress.h).
#include "app/copyprogress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "app/detailsbox.h"
#include "engine/copy_run.h"
#include "engine/selection.h"
#include "widgets/cgauges.h"
#include "widgets/standinfont.h"

namespace qar {

namespace {

// The Cancel glyph: a cross, drawn in red for the normal image and in grey when disabled.
QPixmap cancelGlyph(const QColor& colour) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(colour, 2));
  painter.drawLine(4, 4, 11, 11);
  painter.drawLine(11, 4, 4, 11);
  return pixmap;
}

QLabel* makeLabel(QWidget* parent, const QString& text, int left, int top, int width, int height,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(left, top, width, height);
  label->setAlignment(alignment);
  label->setWordWrap(false);
  return label;
}

// A caption label sized to its text keeps its place and widens when its text needs more room.
void growToText(QLabel* label) {
  const int needed = label->fontMetrics().horizontalAdvance(label->text());
  if (needed > label->width()) label->resize(needed, label->height());
}

// Where the counters sit: the record number, the slash and the record count, each at least
// kCounterWidth wide, in the order and with the gaps of their classic places.
constexpr int kCounterWidth = 31;
constexpr int kCounterTop = 53;
constexpr int kCounterHeight = 16;
constexpr int kPosLeft = 331;
constexpr int kSlashLeft = 370;
constexpr int kTotalLeft = 407;

}  // namespace

TfrmCopy::TfrmCopy(const ConversionPaths& paths, QWidget* parent, RunOptions options)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      paths_(paths),
      options_(options) {
  setWindowTitle(QStringLiteral("Convert Progress"));
  setFixedSize(460, 230);
  setFont(classicDialogFont().font);
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  growToText(makeLabel(this, QStringLiteral("Destination Table:"), 23, 18, 116, 16));
  labTableName = makeLabel(this, QStringLiteral("TableName"), 147, 19, 116, 16);
  growToText(makeLabel(this, QStringLiteral("Copy Progress"), 24, 49, 90, 16));
  labPosRecord = makeLabel(this, QStringLiteral("0"), 331, 53, 31, 16, Qt::AlignHCenter | Qt::AlignTop);
  labSlash_ = makeLabel(this, QStringLiteral("/"), 370, 53, 31, 16, Qt::AlignHCenter | Qt::AlignTop);
  labTotalRecord = makeLabel(this, QStringLiteral("0"), 407, 53, 31, 16, Qt::AlignHCenter | Qt::AlignTop);

  cgaRecord = new TCGauge(this);
  cgaRecord->setGeometry(18, 74, 425, 31);
  cgaRecord->SetForeColor(clNavy);
  growToText(makeLabel(this, QStringLiteral("Total Progress"), 23, 118, 89, 16));
  cgaTotal = new TCGauge(this);
  cgaTotal->setGeometry(18, 143, 425, 31);
  cgaTotal->SetForeColor(clNavy);

  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setGeometry(180, 186, 97, 33);
  QIcon glyph;
  glyph.addPixmap(cancelGlyph(QColor(0x80, 0, 0)), QIcon::Normal);
  glyph.addPixmap(cancelGlyph(QColor(0x80, 0x80, 0x80)), QIcon::Disabled);
  btnCancel->setIcon(glyph);
  btnCancel->setDefault(true);
  btnCancel->setAutoDefault(true);
  // Asks the window to close with the cancel result, then raises the flag.
  connect(btnCancel, &QPushButton::clicked, this, [this] {
    reject();
    btnCancelClick();
  });

  timClose = new QTimer(this);
  timClose->setInterval(10);
  timClose->setSingleShot(true);
  connect(timClose, &QTimer::timeout, this, [this] { timCloseTimer(); });

  run_ = std::make_unique<CopyRun>(static_cast<RunObserver&>(*this), options_);
  FormCreate();
}

TfrmCopy::~TfrmCopy() { FormClose(); }

const RunOutcome& TfrmCopy::outcome() const { return outcome_; }

void TfrmCopy::FormCreate() {
  cgaTotal->SetMinValue(0);
  cgaTotal->SetMaxValue(SelectedCount);
  resetSearchOptions();
  CopyCancelled = false;
}

void TfrmCopy::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (activated_) return;
  activated_ = true;
  // The run starts once the modal loop is running, right after the first show.
  QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TfrmCopy::FormActivate() {
  running_ = true;
  outcome_ = run_->run(paths_.sourcePath(), paths_.destinationPath());
  running_ = false;
  timClose->start();
}

void TfrmCopy::timCloseTimer() {
  timClose->stop();
  close();
}

void TfrmCopy::btnCancelClick() { CopyCancelled = true; }

void TfrmCopy::done(int result) {
  if (running_) return;  // a close request during the run is discarded
  FormClose();
  QDialog::done(result);
}

void TfrmCopy::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TfrmCopy::keyPressEvent(QKeyEvent* event) {
  // Esc presses Cancel (a plain dialog would only reject, without raising the flag).
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    btnCancel->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmCopy::FormClose() {
  if (released_ || !run_) return;
  released_ = true;
  run_->release();
}

// While a table runs, the record gauge takes every record but is held back from painting;
// the counter and the gauge are let go together, at most every kDisplayMillis, right before
// the event loop's turn in which they are painted (and when a table ends or an error box
// comes). So the screen never shows a counter and a gauge of different records, and a real
// X server is not flushed for every percent.

void TfrmCopy::tableStarted(int, const QString& table, int sourceRecords) {
  holdGauge();
  labTableName->setText(table);
  labTotalRecord->setText(QString::number(sourceRecords));
  layoutCounters();
  recordNumber_ = 0;
  cgaRecord->SetProgress(0);
  displayDue_ = true;  // the new table's name, count and empty gauge go out together
}

void TfrmCopy::recordLoopStarted(int recordCount) {
  holdGauge();
  cgaRecord->SetMinValue(0);
  cgaRecord->SetMaxValue(recordCount);
  displayDue_ = true;
}

void TfrmCopy::pumpMessages() {
  if (pumpClock_.isValid() && pumpClock_.nsecsElapsed() < kPumpMicros * 1000) return;
  if (displayDue_ || !displayClock_.isValid() || displayClock_.hasExpired(kDisplayMillis)) {
    showRecordNumber();
  }
  QCoreApplication::processEvents();
  pumpClock_.start();
}

void TfrmCopy::recordStarted(int r) {
  holdGauge();
  recordNumber_ = r;
  cgaRecord->SetProgress(r);
}

void TfrmCopy::showRecordNumber() {
  const QString text = QString::number(recordNumber_);
  if (labPosRecord->text() != text) {
    labPosRecord->setText(text);
    if (labPosRecord->fontMetrics().horizontalAdvance(text) > labPosRecord->width()) {
      layoutCounters();
    }
  }
  releaseGauge();
  displayClock_.start();
  displayDue_ = false;
}

void TfrmCopy::holdGauge() {
  if (gaugeHeld_) return;
  // A widget whose updates are disabled ignores repaint(): the gauge's immediate repaints
  // wait until releaseGauge.
  cgaRecord->setUpdatesEnabled(false);
  gaugeHeld_ = true;
}

void TfrmCopy::releaseGauge() {
  if (!gaugeHeld_) return;
  gaugeHeld_ = false;
  cgaRecord->setUpdatesEnabled(true);  // marks it for the next regular paint
}

void TfrmCopy::layoutCounters() {
  const QFontMetrics metrics(labPosRecord->font());
  // Two pixels beside the text so a centred number never touches the label's edges.
  const auto widthFor = [&](const QLabel* label) {
    return std::max(kCounterWidth, metrics.horizontalAdvance(label->text()) + 2);
  };
  const int posWidth = widthFor(labPosRecord);
  const int totalWidth = widthFor(labTotalRecord);
  if (posWidth == kCounterWidth && totalWidth == kCounterWidth) {
    labPosRecord->setGeometry(kPosLeft, kCounterTop, kCounterWidth, kCounterHeight);
    labSlash_->setGeometry(kSlashLeft, kCounterTop, kCounterWidth, kCounterHeight);
    labTotalRecord->setGeometry(kTotalLeft, kCounterTop, kCounterWidth, kCounterHeight);
    return;
  }
  // Longer numbers: the count keeps its right edge and the others move left to make room.
  const int totalRight = kTotalLeft + kCounterWidth;
  const int totalLeft = totalRight - totalWidth;
  const int slashLeft = totalLeft - (kTotalLeft - kSlashLeft);
  const int posLeft = slashLeft - (kSlashLeft - kPosLeft - kCounterWidth) - posWidth;
  labPosRecord->setGeometry(posLeft, kCounterTop, posWidth, kCounterHeight);
  labSlash_->setGeometry(slashLeft, kCounterTop, kCounterWidth, kCounterHeight);
  labTotalRecord->setGeometry(totalLeft, kCounterTop, totalWidth, kCounterHeight);
}

void TfrmCopy::tableDone(int slot, const TableSummary&) {
  showRecordNumber();
  cgaTotal->SetProgress(slot);
}

void TfrmCopy::errorBox(const QString& text, const QString& details) {
  showRecordNumber();
  app::DetailsBox box(QMessageBox::NoIcon, QStringLiteral("Error Message"), text, QMessageBox::Ok,
                     this);
  box.setDetailedText(details);
  box.exec();
}

}  // namespace qar
