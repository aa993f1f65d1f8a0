// Start Copy through the buttons: the shared selection it fills (catalogue order, the
// HolderData rule, all eighteen, none), the progress window it runs, and the closing box
// after a run that fails, one that is cancelled and one that carries every table over.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "app/main.h"
#include "app_support.h"
#include "engine/catalogue.h"
#include "engine/copyprogress.h"
#include "engine/selection.h"
#include "modal_answerer.h"

namespace qar::test {
namespace {

QStringList selection() {
  QStringList names;
  for (int i = 1; i <= SelectedCount; ++i) names << SelectedTables[size_t(i)];
  return names;
}

class StartCopyTest : public AppTest {
 protected:
  void SetUp() override {
    window = std::make_unique<TfrmMain>();
    window->show();
  }
  // Presses Start Copy and returns once the closing box has been answered.
  void startCopy() {
    window->btnStartCopy->click();
    EXPECT_FALSE(answerer.timedOut()) << answerer.transcript().toStdString();
  }
  QString closingText() const {
    return answerer.boxes().empty() ? QString() : answerer.boxes().back().text;
  }
  std::unique_ptr<TfrmMain> window;
  ModalAnswerer answerer;
  QTemporaryDir dir;
};

// With no database behind the fields the run stops at its first step, which is all these
// tests need: the selection is filled before the progress window opens.
TEST_F(StartCopyTest, HolderDataAloneBringsInDepartmentDataFirstAndTicksIt) {
  window->btnCancelAll->click();
  window->tableBox(QStringLiteral("HolderData"))->setChecked(true);
  startCopy();
  EXPECT_EQ(selection(), (QStringList{"DepartmentData", "HolderData"}));
  EXPECT_TRUE(window->tableBox(QStringLiteral("DepartmentData"))->isChecked());

  // The tick stays; after Cancel All the rule brings it back again.
  window->btnCancelAll->click();
  window->tableBox(QStringLiteral("HolderData"))->setChecked(true);
  window->tableBox(QStringLiteral("HolderCardData"))->setChecked(true);
  startCopy();
  EXPECT_EQ(selection(), (QStringList{"DepartmentData", "HolderData", "HolderCardData"}));
  EXPECT_TRUE(window->tableBox(QStringLiteral("DepartmentData"))->isChecked());
}

TEST_F(StartCopyTest, TheOtherTablesHaveNoDependency) {
  window->btnCancelAll->click();
  window->tableBox(QStringLiteral("HolderCardData"))->setChecked(true);
  window->tableBox(QStringLiteral("CardData"))->setChecked(true);
  startCopy();
  EXPECT_EQ(selection(), (QStringList{"CardData", "HolderCardData"}));
  EXPECT_FALSE(window->tableBox(QStringLiteral("DepartmentData"))->isChecked());
}

TEST_F(StartCopyTest, AllEighteenGoInCatalogueOrder) {
  window->btnSelectAll->click();
  startCopy();
  ASSERT_EQ(SelectedCount, 18);
  for (int i = 0; i < 18; ++i)
    EXPECT_EQ(SelectedTables[size_t(i + 1)], QString::fromLatin1(TableCatalogue[size_t(i)].name));
}

TEST_F(StartCopyTest, TheSevenTickedAtStartGoInProcessingOrder) {
  startCopy();
  EXPECT_EQ(selection(), defaultTables());
  EXPECT_EQ(SelectedCount, 7);
}

TEST_F(StartCopyTest, AMissingSourceEndsInTheErrorBoxThenTheFailedMessage) {
  window->edtFrom->setText(dir.filePath(QStringLiteral("nothing here.mdb")));
  window->edtTo->setText(dir.filePath(QStringLiteral("nothing here.mdb")));
  startCopy();
  ASSERT_EQ(answerer.boxes().size(), 2u) << answerer.transcript().toStdString();
  EXPECT_EQ(answerer.boxes()[0].title, QStringLiteral("Error Message"));
  EXPECT_EQ(answerer.boxes()[0].text, QStringLiteral("Source Database Connect failure!"));
  const SeenBox& closing = answerer.boxes()[1];
  EXPECT_EQ(closing.title, QStringLiteral("Message"));
  EXPECT_EQ(closing.icon, QMessageBox::NoIcon);
  EXPECT_EQ(closing.text, QStringLiteral("Database convert failed."));
  EXPECT_EQ(window->lastOutcome().status, RunStatus::Failed);
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("nothing here.mdb"))))
      << "a failed connect creates no file";
}

TEST_F(StartCopyTest, AStartCopyClickWhileNothingIsTickedStillRunsAndSelectsNothing) {
  window->btnCancelAll->click();
  startCopy();
  EXPECT_EQ(SelectedCount, 0);
  EXPECT_FALSE(closingText().isEmpty());
}

}  // namespace
}  // namespace qar::test
