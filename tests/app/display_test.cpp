// Both windows on a real X server with a window manager (run through scripts/with-x, at
// scale factors 1 and 2): every caption whole in its box, the window manager offering the
// close box alone, the accelerators and Esc as real key presses, and a conversion through
// the windows whose counter and gauge agree at every paint.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <memory>

#include "app/closingmessage.h"
#include "app/copyprogress.h"
#include "app/mainwindow.h"
#include "app_support.h"
#include "cli/sample_pair.h"
#include "engine/selection.h"
#include "modal_answerer.h"
#include "widgets/cgauges.h"

namespace qar::test {
namespace {

bool onRealDisplay() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

void settle(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Runs a command to its end while the event loop keeps turning; its standard output.
QString runTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  QElapsedTimer clock;
  clock.start();
  while (process.state() != QProcess::NotRunning && clock.elapsed() < 20000) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    process.waitForFinished(5);
  }
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Real key presses through the X server, into the window that has the focus.
void pressKeys(const QString& keys) {
  runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
  settle(150);
}

// Waits (at most 10 s, for a loaded machine) until the window is on screen and has the focus.
void waitExposed(QWidget* window) {
  QElapsedTimer clock;
  clock.start();
  while (!window->windowHandle()->isExposed() && clock.elapsed() < 10000) settle(20);
  while (!window->isActiveWindow() && clock.elapsed() < 10000) {
    window->raise();
    window->activateWindow();
    settle(50);
  }
  settle(100);
}

// What the window manager lets the operator do with the window.
QString allowedActions(QWidget* window) {
  return runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window->winId()),
                                           QStringLiteral("_NET_WM_ALLOWED_ACTIONS")});
}

void expectCloseBoxOnly(QWidget* window) {
  // The window manager publishes the actions once it has taken the window in.
  QString actions = allowedActions(window);
  QElapsedTimer clock;
  clock.start();
  while (!actions.contains(QStringLiteral("_NET_WM_ACTION_")) && clock.elapsed() < 10000) {
    settle(100);
    actions = allowedActions(window);
  }
  EXPECT_TRUE(actions.contains(QStringLiteral("_NET_WM_ACTION_CLOSE"))) << actions.toStdString();
  EXPECT_FALSE(actions.contains(QStringLiteral("MINIMIZE"))) << actions.toStdString();
  EXPECT_FALSE(actions.contains(QStringLiteral("MAXIMIZE"))) << actions.toStdString();
  EXPECT_FALSE(actions.contains(QStringLiteral("RESIZE"))) << actions.toStdString();
}

// Every text-bearing control under window shows its whole caption: the text measured in the
// control's own font against the room the control gives it.
void expectWholeTexts(QWidget* window) {
  int checked = 0;
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty()) continue;
    const QFontMetrics metrics(label->font());
    const QRect room = label->contentsRect();
    EXPECT_LE(metrics.horizontalAdvance(label->text()), room.width())
        << window->objectName().toStdString() << ": \"" << label->text().toStdString() << "\"";
    EXPECT_LE(metrics.height(), room.height()) << label->text().toStdString();
    EXPECT_TRUE(window->rect().contains(label->geometry().translated(
        label->parentWidget()->mapTo(window, QPoint(0, 0)))))
        << label->text().toStdString() << " lies outside its window";
    ++checked;
  }
  for (QCheckBox* box : window->findChildren<QCheckBox*>()) {
    EXPECT_TRUE(captionFits(box, box->font())) << box->text().toStdString();
    ++checked;
  }
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (qobject_cast<QCheckBox*>(button) || !button->isVisible()) continue;
    const QFontMetrics metrics(button->font());
    QString text = button->text();
    text.remove(QLatin1Char('&'));
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    EXPECT_LE(metrics.horizontalAdvance(text) + icon + 8, button->width()) << text.toStdString();
    ++checked;
  }
  for (QGroupBox* group : window->findChildren<QGroupBox*>()) {
    EXPECT_LE(QFontMetrics(group->font()).horizontalAdvance(group->title()) + 16, group->width())
        << group->title().toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 3);
}

class Display : public AppTest {
 protected:
  void SetUp() override {
    if (!onRealDisplay()) GTEST_SKIP() << "needs an X server: run through scripts/with-x";
  }
};

TEST_F(Display, MainWindowTextsWholeAndCloseBoxOnly) {
  TfrmMain window;
  window.show();
  waitExposed(&window);
  expectWholeTexts(&window);
  expectCloseBoxOnly(&window);
}

TEST_F(Display, ProgressWindowTextsWholeWithTenDigitCountersAndCloseBoxOnly) {
  clearSelection();
  addSelectedTable(QStringLiteral("EmergencyDoorData"));
  struct NoPaths : ConversionPaths {
    QString sourcePath() const override { return {}; }
    QString destinationPath() const override { return {}; }
  } paths;
  TfrmCopy form(paths);
  {
    // The first show runs the conversion, which fails at once without paths; its error box
    // is answered and the close timer shuts the window. Shown again, it runs nothing more.
    ModalAnswerer answerer(20000);
    form.show();
    QElapsedTimer clock;
    clock.start();
    while ((form.running() || form.isVisible() || answerer.boxes().empty()) &&
           clock.elapsed() < 20000) {
      settle(20);
    }
    ASSERT_EQ(answerer.boxes().size(), 1u) << answerer.transcript().toStdString();
  }
  form.show();
  waitExposed(&form);
  expectCloseBoxOnly(&form);
  for (int total : {0, 5000, 100000, 34793, 2147483647}) {
    form.tableStarted(1, QStringLiteral("EmergencyDoorData"), total);
    form.recordLoopStarted(total);
    for (int r : {1, total / 3, total}) {
      if (r < 1) continue;
      settle(50);  // past the counter's refresh interval
      form.recordStarted(r);
      form.pumpMessages();
      settle(30);
      EXPECT_EQ(form.labPosRecord->text(), QString::number(r));
      EXPECT_EQ(form.labTotalRecord->text(), QString::number(total));
      expectWholeTexts(&form);
      // The counters stay in their row, apart and in order.
      EXPECT_LT(form.labPosRecord->geometry().right(), form.labTotalRecord->x()) << total;
      EXPECT_LE(form.labTotalRecord->geometry().right(), form.width()) << total;
    }
  }
  form.hide();
}

TEST_F(Display, RealKeysAcceleratorsEscAndNoAltLetterInAPathField) {
  TfrmMain window;
  window.show();
  waitExposed(&window);
  window.edtFrom->setText(QStringLiteral("/data/source.mdb"));
  window.edtFrom->setFocus();
  settle(100);
  ASSERT_TRUE(window.edtFrom->hasFocus());

  pressKeys(QStringLiteral("alt+s"));
  EXPECT_EQ(window.edtFrom->text(), QStringLiteral("/data/source.mdb"));
  pressKeys(QStringLiteral("alt+q"));
  EXPECT_EQ(window.edtFrom->text(), QStringLiteral("/data/source.mdb"));
  // Plain letters still type.
  window.edtFrom->end(false);
  pressKeys(QStringLiteral("x"));
  EXPECT_EQ(window.edtFrom->text(), QStringLiteral("/data/source.mdbx"));
  pressKeys(QStringLiteral("BackSpace"));

  const auto ticked = [&] {
    int n = 0;
    for (QCheckBox* box : window.gbTable->findChildren<QCheckBox*>()) n += box->isChecked();
    return n;
  };
  EXPECT_EQ(ticked(), 7);
  pressKeys(QStringLiteral("alt+c"));
  EXPECT_EQ(ticked(), 0);
  window.btnSelectAll->click();
  pressKeys(QStringLiteral("Escape"));
  EXPECT_EQ(ticked(), 0);
  EXPECT_EQ(window.edtFrom->text(), QStringLiteral("/data/source.mdb"));

  // Alt+P starts a conversion: with a missing source it ends in the connect error box.
  window.edtFrom->setText(QStringLiteral("/nonexistent/source.mdb"));
  window.edtTo->setText(QStringLiteral("/nonexistent/destination.mdb"));
  window.tableBox(QStringLiteral("IOData"))->setChecked(true);
  {
    ModalAnswerer answerer(30000);
    pressKeys(QStringLiteral("alt+p"));
    QElapsedTimer clock;
    clock.start();
    while (answerer.boxes().size() < 2 && clock.elapsed() < 30000) settle(20);
    ASSERT_GE(answerer.boxes().size(), 1u);
    EXPECT_EQ(answerer.boxes()[0].text, QStringLiteral("Source Database Connect failure!"))
        << answerer.transcript().toStdString();
  }
  EXPECT_EQ(window.lastOutcome().status, RunStatus::Failed);

  pressKeys(QStringLiteral("alt+x"));
  QElapsedTimer clock;
  clock.start();
  while (window.isVisible() && clock.elapsed() < 5000) settle(50);
  EXPECT_FALSE(window.isVisible());
}

// Watches the record counter, the record count, the table name and the record gauge: at each
// paint of any of them, the counter's record must give the gauge's percentage.
class AgreementWatch : public QObject {
 public:
  explicit AgreementWatch(TfrmCopy& form) : form_(form) {
    for (QWidget* w : std::initializer_list<QWidget*>{form.labPosRecord, form.labTotalRecord,
                                                      form.labTableName, form.cgaRecord}) {
      w->installEventFilter(this);
    }
  }
  int paints = 0;
  QStringList faults;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Paint) return false;
    ++paints;
    const int record = form_.labPosRecord->text().toInt();
    const int shown = form_.cgaRecord->GetPercentDone();
    if (form_.cgaRecord->PercentDoneAt(record) != shown && faults.size() < 5) {
      faults << QStringLiteral("%1: %2 / %3 next to %4%")
                    .arg(form_.labTableName->text(), form_.labPosRecord->text(),
                         form_.labTotalRecord->text())
                    .arg(shown);
    }
    return false;
  }

 private:
  TfrmCopy& form_;
};

TEST_F(Display, ConversionThroughTheWindowsWithCounterAndGaugeInStep) {
  QTemporaryDir dir;
  cli::SamplePair pair;
  try {
    pair = cli::makeSamplePair(dir.filePath(QStringLiteral("pair")).toStdString());
  } catch (const std::exception& e) {
    GTEST_SKIP() << "the sample pair cannot be made here: " << e.what();
  }
  TfrmMain window;
  window.show();
  waitExposed(&window);
  window.edtFrom->setText(QString::fromStdString(pair.source));
  window.edtTo->setText(QString::fromStdString(pair.destination));
  window.btnSelectAll->click();

  std::unique_ptr<AgreementWatch> watch;
  window.onProgressWindowCreated = [&](QWidget* created) {
    auto* form = qobject_cast<TfrmCopy*>(created);
    ASSERT_NE(form, nullptr);
    watch = std::make_unique<AgreementWatch>(*form);
  };
  {
    ModalAnswerer answerer(120000);
    window.btnStartCopy->click();
    ASSERT_EQ(window.lastOutcome().status, RunStatus::Completed)
        << answerer.transcript().toStdString();
  }
  ASSERT_TRUE(watch != nullptr);
  EXPECT_GT(watch->paints, 18);
  EXPECT_TRUE(watch->faults.isEmpty()) << watch->faults.join(QLatin1Char('\n')).toStdString();

  // The closing message again, its details opened: how much of them shows.
  QSize detailsRoom;
  bool detailsResizable = false;
  QTimer peek;
  peek.setInterval(20);
  QObject::connect(&peek, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    peek.stop();
    for (QAbstractButton* b : box->buttons()) {
      if (box->buttonRole(b) == QMessageBox::ActionRole) b->click();
    }
    settle(200);
    if (auto* details = box->findChild<QTextEdit*>()) {
      detailsRoom = details->size();
      detailsResizable = box->minimumSize() != box->maximumSize();
    }
    box->button(QMessageBox::Ok)->click();
  });
  peek.start();
  app::showClosingMessage(&window, window.lastOutcome());
  // Eighteen per-table lines and the totals show without scrolling.
  ASSERT_TRUE(detailsRoom.isValid()) << "the closing message had no details to open";
  EXPECT_GE(detailsRoom.height(), 19 * QFontMetrics(window.font()).lineSpacing());
  EXPECT_GE(detailsRoom.width(), 420);
  EXPECT_TRUE(detailsResizable);
}

}  // namespace
}  // namespace qar::test
