// The progress window under the offscreen platform: layout, the run on first activation,
// closing only by the timer after the run, Cancel, and the error boxes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/copyprogress.h"
#include "engine/selection.h"
#include "support/engine_test_support.h"
#include "widgets/cgauges.h"

namespace qar::test {
namespace {

void ensureApplication() {
  static int argc = 1;
  static char name[] = "app_copyprogress_test";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

// Answers every modal message box that shows up with OK, noting what it showed. After the
// deadline it raises CopyCancelled, so a run that misbehaves still ends.
class BoxAnswerer {
 public:
  struct Seen {
    QString title, text, details;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
  };
  BoxAnswerer() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        seen.push_back({box->windowTitle(), box->text(), box->detailedText(), box->icon(),
                        box->standardButtons()});
        box->button(QMessageBox::Ok)->click();
      }
      if (++ticks_ * 5 > 30000) CopyCancelled = true;
    });
    timer_.start();
  }
  std::vector<Seen> seen;

 private:
  QTimer timer_;
  int ticks_ = 0;
};

void select(const QStringList& names) {
  clearSelection();
  for (const QString& name : names) addSelectedTable(name);
}

class CopyProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApplication();
    ASSERT_TRUE(dir_.isValid());
    source_ = dir_.filePath("source.mdb");
    destination_ = dir_.filePath("destination.mdb");
  }
  QTemporaryDir dir_;
  QString source_;
  QString destination_;
};

TEST_F(CopyProgress, LayoutTextsAndStartingState) {
  select({"DepartmentData", "CardData", "HolderData"});
  CopyCancelled = true;
  FixedPaths paths("", "");
  TfrmCopy form(paths);
  EXPECT_EQ(form.windowTitle(), "Convert Progress");
  EXPECT_EQ(form.size(), QSize(460, 230));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_FALSE(CopyCancelled.load());  // cleared when the window is created
  EXPECT_EQ(form.cgaTotal->MinValue(), 0);
  EXPECT_EQ(form.cgaTotal->MaxValue(), 3);
  EXPECT_EQ(form.labTableName->text(), "TableName");
  EXPECT_EQ(form.labTableName->geometry(), QRect(147, 19, 116, 16));
  EXPECT_EQ(form.labPosRecord->text(), "0");
  EXPECT_EQ(form.labPosRecord->geometry(), QRect(331, 53, 31, 16));
  EXPECT_TRUE(form.labPosRecord->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(form.labTotalRecord->text(), "0");
  EXPECT_EQ(form.labTotalRecord->geometry(), QRect(407, 53, 31, 16));
  EXPECT_EQ(form.cgaRecord->geometry(), QRect(18, 74, 425, 31));
  EXPECT_EQ(form.cgaTotal->geometry(), QRect(18, 143, 425, 31));
  EXPECT_EQ(form.cgaRecord->ForeColor(), clNavy);
  EXPECT_EQ(form.cgaTotal->ForeColor(), clNavy);
  EXPECT_EQ(form.btnCancel->text(), "Cancel");
  EXPECT_EQ(form.btnCancel->geometry(), QRect(180, 186, 97, 33));
  EXPECT_TRUE(form.btnCancel->isDefault());
  EXPECT_FALSE(form.timClose->isActive());
  EXPECT_EQ(form.timClose->interval(), 10);
  QStringList texts;
  for (QLabel* label : form.findChildren<QLabel*>()) texts << label->text();
  for (const char* fixed : {"Destination Table:", "Copy Progress", "/", "Total Progress"})
    EXPECT_TRUE(texts.contains(fixed)) << fixed;
}

TEST_F(CopyProgress, TheRunStartsOnShowAndTheTimerClosesTheWindow) {
  if (!copyFixture("qar26m/basic", dir_.path()))
    GTEST_SKIP() << "shared fixtures absent: " << fixturesDir().toStdString();
  select({});
  FixedPaths paths(source_, destination_);
  TfrmCopy form(paths);
  BoxAnswerer boxes;
  form.exec();
  EXPECT_TRUE(boxes.seen.empty());
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.running());
  EXPECT_TRUE(form.outcome().completed());
  EXPECT_EQ(form.cgaTotal->GetPercentDone(), 0);
}

TEST_F(CopyProgress, EachErrorBoxHasItsTextTitleAndDetails) {
  const bool fixtures = copyFixture("qar26m/basic", dir_.path());
  QTemporaryDir autonum;
  const bool autonumFixture = autonum.isValid() && copyFixture("qar26m/autonum-replace", autonum.path());
  struct Case {
    QString source, destination;
    QStringList tables;
    const char* text;
    bool needsFixtures;
  };
  const QString empty = fixturesDir() + "/access/empty-jet4-2000.mdb";
  const std::vector<Case> cases = {
      {dir_.filePath("absent.mdb"), dir_.filePath("absent2.mdb"), {"CardData"}, "Source Database Connect failure!", false},
      {source_, dir_.filePath("absent.mdb"), {"CardData"}, "Destination Database Connect failure!", true},
      {source_, empty, {"CRFlowData"}, "Table Not Found!", true},
      {autonum.filePath("source.mdb"), autonum.filePath("destination.mdb"), {"HolidayData"},
       "Fields Transform Error!", true},
  };
  for (const Case& c : cases) {
    if (c.needsFixtures && !(fixtures && autonumFixture)) continue;
    select(c.tables);
    FixedPaths paths(c.source, c.destination);
    TfrmCopy form(paths);
    BoxAnswerer boxes;
    form.exec();
    ASSERT_EQ(boxes.seen.size(), 1u) << c.text;
    EXPECT_EQ(boxes.seen[0].title, "Error Message");
    EXPECT_EQ(boxes.seen[0].text, c.text);
    EXPECT_EQ(boxes.seen[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(boxes.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(boxes.seen[0].details.isEmpty()) << c.text;
    EXPECT_EQ(form.outcome().errorText, c.text);
    EXPECT_FALSE(form.isVisible());
  }
  if (!fixtures) GTEST_SKIP() << "only the source box was checked: shared fixtures absent";
}

TEST_F(CopyProgress, CloseRequestsDuringTheRunAreDiscardedAndCancelStopsIt) {
  if (!copyFixture("qar26m/basic", dir_.path()))
    GTEST_SKIP() << "shared fixtures absent: " << fixturesDir().toStdString();
  {
    // A long source table: TimerData refilled with 3000 records.
    auto db = jet::Database::open(source_.toStdString(), jet::OpenMode::ReadWrite);
    jet::Table timers = db->table("TimerData");
    timers.removeAll();
    for (int i = 1; i <= 3000; ++i) {
      jet::Row row{jet::Value(int16_t(i)), text("timer"), jet::Value(jet::DateTime{0.25}),
                   jet::Value(jet::DateTime{0.5}), jet::Value(uint8_t(31)), jet::Value(true)};
      timers.insert(row);
    }
    db->close();
  }
  const std::vector<jet::Row> ioBefore = readRows(destination_, "IOData");

  select({"TimerData", "IOData"});
  FixedPaths paths(source_, destination_);
  TfrmCopy form(paths);
  BoxAnswerer boxes;
  int closesTried = 0;
  bool visibleAfterClose = false;
  QTimer poke;
  poke.setInterval(1);
  QObject::connect(&poke, &QTimer::timeout, [&] {
    if (!form.running()) return;
    const int r = form.cgaRecord->Progress();
    if (r >= 100 && closesTried == 0) {
      ++closesTried;
      form.close();
      form.reject();
      visibleAfterClose = form.isVisible();
    } else if (r >= 200 && closesTried == 1) {
      ++closesTried;
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(&form, &esc);
    }
  });
  poke.start();
  form.exec();
  EXPECT_TRUE(visibleAfterClose);
  EXPECT_EQ(closesTried, 2);
  EXPECT_TRUE(CopyCancelled.load());
  EXPECT_EQ(form.outcome().status, RunStatus::Cancelled);
  EXPECT_TRUE(boxes.seen.empty());
  const size_t kept = readRows(destination_, "TimerData").size();
  EXPECT_GE(kept, 200u);
  EXPECT_LT(kept, 3000u);
  EXPECT_EQ(readRows(destination_, "IOData"), ioBefore);
}

}  // namespace
}  // namespace qar::test
