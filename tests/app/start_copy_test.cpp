// Start Copy through the buttons: the shared selection it fills (catalogue order, the
// HolderData rule, all eighteen, none), the progress window it runs, and the closing box
// after a run that fails, one that is cancelled and one that carries every table over.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include "app/mainwindow.h"
#include "app_support.h"
#include "cli/sample_pair.h"
#include "engine/catalogue.h"
#include "app/copyprogress.h"
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

TEST_F(StartCopyTest, TheRunUsesThePathsTheFieldsHoldWhenItStarts) {
  QString source;
  QString destination;
  if (!copyFixturePair(QStringLiteral("basic"), dir, source, destination))
    GTEST_SKIP() << "the shared pair qar26m/basic is not under " QAR_FIXTURES_DIR;
  window->edtFrom->setText(source);
  window->edtTo->setText(destination);
  window->btnCancelAll->click();
  // Between the click and the run's start the source field changes to a file that is not there.
  window->onProgressWindowCreated = [&](QWidget*) {
    window->edtFrom->setText(dir.filePath(QStringLiteral("gone.mdb")));
  };
  startCopy();
  ASSERT_FALSE(answerer.boxes().empty());
  EXPECT_EQ(answerer.boxes().front().text, QStringLiteral("Source Database Connect failure!"))
      << answerer.transcript().toStdString();
  EXPECT_EQ(closingText(), QStringLiteral("Database convert failed."));
}

// The conversions below work on copies of the shared QAR26M pairs.
class FixtureRunTest : public StartCopyTest {
 protected:
  void SetUp() override {
    StartCopyTest::SetUp();
    if (!copyFixturePair(QStringLiteral("basic"), dir, source, destination))
      GTEST_SKIP() << "the shared pair qar26m/basic is not under " QAR_FIXTURES_DIR;
    window->edtFrom->setText(source);
    window->edtTo->setText(destination);
  }
  // True while the storage engine reports a write it cannot do yet.
  static bool writerLacks(const RunOutcome& outcome) {
    return outcome.errorDetails.contains(QStringLiteral("not supported yet"));
  }
  QString source;
  QString destination;
};

TEST_F(FixtureRunTest, NothingTickedConnectsBothAndSaysOk) {
  window->btnCancelAll->click();
  const QByteArray before = [&] {
    QFile file(destination);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }();
  startCopy();
  EXPECT_EQ(SelectedCount, 0);
  ASSERT_EQ(answerer.boxes().size(), 1u) << answerer.transcript().toStdString();
  EXPECT_EQ(closingText(), QStringLiteral("Database convert ok."));
  EXPECT_EQ(window->lastOutcome().status, RunStatus::Completed);
  QFile after(destination);
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), before) << "no table selected, nothing written";
}

TEST_F(FixtureRunTest, CancelDuringTheRunEndsInTheCancelledMessage) {
  window->btnSelectAll->click();
  // Press the progress window's Cancel at its first message pump inside the run.
  QTimer presser;
  window->onProgressWindowCreated = [&](QWidget* progress) {
    auto* frmCopy = qobject_cast<TfrmCopy*>(progress);
    ASSERT_NE(frmCopy, nullptr);
    presser.setInterval(0);
    QObject::connect(&presser, &QTimer::timeout, frmCopy, [this, &presser, frmCopy] {
      if (!frmCopy->running()) return;
      // While it runs, the progress window is the modal one: the main window takes no input.
      EXPECT_EQ(QApplication::activeModalWidget(), frmCopy);
      EXPECT_TRUE(QApplication::activeModalWidget() != window.get());
      frmCopy->btnCancel->click();
      presser.stop();
    });
    presser.start();
  };
  startCopy();
  ASSERT_FALSE(answerer.boxes().empty());
  EXPECT_EQ(closingText(), QStringLiteral("Database convert cancelled."))
      << answerer.transcript().toStdString();
  EXPECT_EQ(answerer.boxes().back().title, QStringLiteral("Message"));
  EXPECT_EQ(window->lastOutcome().status, RunStatus::Cancelled);
  EXPECT_TRUE(window->isEnabled());
}

TEST_F(FixtureRunTest, AFailedTableEndsInItsErrorBoxThenTheFailedMessage) {
  QString autoSource;
  QString autoDestination;
  QTemporaryDir other;
  if (!copyFixturePair(QStringLiteral("autonum-replace"), other, autoSource, autoDestination))
    GTEST_SKIP() << "the shared pair qar26m/autonum-replace is not under " QAR_FIXTURES_DIR;
  window->edtFrom->setText(autoSource);
  window->edtTo->setText(autoDestination);
  window->btnCancelAll->click();
  window->tableBox(QStringLiteral("HolidayData"))->setChecked(true);
  startCopy();
  ASSERT_EQ(answerer.boxes().size(), 2u) << answerer.transcript().toStdString();
  EXPECT_EQ(answerer.boxes()[0].title, QStringLiteral("Error Message"));
  EXPECT_EQ(answerer.boxes()[0].text, QStringLiteral("Fields Transform Error!"));
  EXPECT_EQ(closingText(), QStringLiteral("Database convert failed."));
  const SeenBox& closing = answerer.boxes()[1];
  EXPECT_TRUE(closing.details.contains(QStringLiteral("HolidayData")));
  const QString backup = window->lastOutcome().backupPath;
  ASSERT_FALSE(backup.isEmpty());
  EXPECT_TRUE(closing.details.contains(backup)) << "the details name the backup";
  EXPECT_TRUE(QFile::exists(backup));
}

// Every table of a full row-by-row comparison, as the headless command exports them.
QByteArray exportTable(const QString& file, const QString& table) {
  QProcess cli;
  cli.start(QStringLiteral(QAR_BUILD_DIR "/qar26m-cli"), {QStringLiteral("export"), file, table});
  if (!cli.waitForFinished(60000) || cli.exitCode() != 0) return "export failed: " + cli.readAllStandardError();
  return cli.readAllStandardOutput();
}

TEST_F(FixtureRunTest, TheSevenTablesCarriedOverThroughTheButtonsMatchTheHeadlessCommand) {
  const QString cliPath = QStringLiteral(QAR_BUILD_DIR "/qar26m-cli");
  if (!QFile::exists(cliPath)) GTEST_SKIP() << "qar26m-cli is not built in " QAR_BUILD_DIR;
  startCopy();
  const RunOutcome& outcome = window->lastOutcome();
  if (writerLacks(outcome))
    GTEST_SKIP() << "the storage engine cannot write this yet: "
                 << outcome.errorDetails.toStdString();
  ASSERT_EQ(outcome.status, RunStatus::Completed)
      << answerer.transcript().toStdString() << outcome.errorDetails.toStdString();
  ASSERT_EQ(answerer.boxes().size(), 1u) << answerer.transcript().toStdString();
  const SeenBox& closing = answerer.boxes()[0];
  EXPECT_EQ(closing.title, QStringLiteral("Message"));
  EXPECT_EQ(closing.icon, QMessageBox::NoIcon);
  EXPECT_EQ(closing.text, QStringLiteral("Database convert ok."));
  for (const QString& table : defaultTables())
    EXPECT_TRUE(closing.details.contains(table)) << table.toStdString();
  ASSERT_FALSE(outcome.backupPath.isEmpty());
  EXPECT_TRUE(closing.details.contains(outcome.backupPath));
  EXPECT_TRUE(QFile::exists(outcome.backupPath));
  ASSERT_EQ(outcome.tables.size(), 7u);

  // The same conversion without a window, on a second copy.
  QTemporaryDir headless;
  QString headlessSource;
  QString headlessDestination;
  ASSERT_TRUE(copyFixturePair(QStringLiteral("basic"), headless, headlessSource,
                              headlessDestination));
  QProcess cli;
  cli.start(cliPath, {QStringLiteral("convert"), headlessSource, headlessDestination,
                      QStringLiteral("--no-backup")});
  ASSERT_TRUE(cli.waitForFinished(120000));
  ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  for (const CatalogueEntry& entry : TableCatalogue) {
    const QString table = QString::fromLatin1(entry.name);
    EXPECT_EQ(exportTable(destination, table), exportTable(headlessDestination, table))
        << table.toStdString();
  }
}

// The same on the sample pair qar26m-cli makes, so it runs wherever the engine can write.
TEST_F(StartCopyTest, AllEighteenTablesOfTheSamplePairMatchTheHeadlessCommand) {
  const QString cliPath = QStringLiteral(QAR_BUILD_DIR "/qar26m-cli");
  if (!QFile::exists(cliPath)) GTEST_SKIP() << "qar26m-cli is not built in " QAR_BUILD_DIR;
  QTemporaryDir headless;
  cli::SamplePair windowPair;
  cli::SamplePair headlessPair;
  try {
    windowPair = cli::makeSamplePair(dir.filePath(QStringLiteral("pair")).toStdString());
    headlessPair = cli::makeSamplePair(headless.filePath(QStringLiteral("pair")).toStdString());
  } catch (const std::exception& e) {
    if (QString::fromLocal8Bit(e.what()).contains(QStringLiteral("not supported yet")))
      GTEST_SKIP() << "the storage engine cannot make the sample pair yet: " << e.what();
    FAIL() << e.what();
  }
  const QString destination = QString::fromStdString(windowPair.destination);
  window->edtFrom->setText(QString::fromStdString(windowPair.source));
  window->edtTo->setText(destination);
  window->btnSelectAll->click();
  startCopy();
  const RunOutcome& outcome = window->lastOutcome();
  ASSERT_EQ(outcome.status, RunStatus::Completed)
      << answerer.transcript().toStdString() << outcome.errorDetails.toStdString();
  ASSERT_EQ(answerer.boxes().size(), 1u) << answerer.transcript().toStdString();
  EXPECT_EQ(answerer.boxes()[0].text, QStringLiteral("Database convert ok."));
  ASSERT_EQ(outcome.tables.size(), 18u);
  for (const TableSummary& table : outcome.tables) {
    EXPECT_TRUE(table.finished) << table.name.toStdString();
    EXPECT_GT(table.recordsRead, 0) << table.name.toStdString();
  }
  EXPECT_TRUE(QFile::exists(outcome.backupPath));

  QProcess cli;
  cli.start(cliPath, {QStringLiteral("convert"), QString::fromStdString(headlessPair.source),
                      QString::fromStdString(headlessPair.destination), QStringLiteral("--tables"),
                      QStringLiteral("all"), QStringLiteral("--no-backup")});
  ASSERT_TRUE(cli.waitForFinished(120000));
  ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  for (const CatalogueEntry& entry : TableCatalogue) {
    const QString table = QString::fromLatin1(entry.name);
    const QByteArray viaWindow = exportTable(destination, table);
    EXPECT_FALSE(viaWindow.startsWith("export failed")) << viaWindow.toStdString();
    EXPECT_EQ(viaWindow, exportTable(QString::fromStdString(headlessPair.destination), table))
        << table.toStdString();
  }
}

}  // namespace
}  // namespace qar::test
