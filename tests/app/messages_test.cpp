// The two kinds of box the main window shows itself: the error box for an exception that
// escapes a handler (title, icon, full stop rule, the program goes on) and the closing
// message after a run (text by outcome, no icon, the summary as details).
#include <QPushButton>
#include <QTest>

#include <stdexcept>

#include "app/closingmessage.h"
#include "app/errorbox.h"
#include "app_support.h"
#include "base/exception.h"
#include "modal_answerer.h"

namespace qar::test {
namespace {

TEST(FullStop, IsAddedOnlyWhenTheLastCharacterSortsAfterAFullStop) {
  EXPECT_EQ(app::withFullStop(QStringLiteral("Disk full")), QStringLiteral("Disk full."));
  EXPECT_EQ(app::withFullStop(QStringLiteral("Code 42")), QStringLiteral("Code 42."));
  EXPECT_EQ(app::withFullStop(QStringLiteral("Done.")), QStringLiteral("Done."));
  EXPECT_EQ(app::withFullStop(QStringLiteral("Failed!")), QStringLiteral("Failed!"));
  EXPECT_EQ(app::withFullStop(QStringLiteral("(see above)")), QStringLiteral("(see above)"));
  EXPECT_EQ(app::withFullStop(QStringLiteral("a-")), QStringLiteral("a-"));
  EXPECT_EQ(app::withFullStop(QStringLiteral("a/")), QStringLiteral("a/."));
  EXPECT_EQ(app::withFullStop(QString()), QString());
  EXPECT_EQ(app::withFullStop(QString::fromUtf8("\u90e8\u95e8")), QString::fromUtf8("\u90e8\u95e8."));
  // A character outside the basic plane (a surrogate pair) counts as one character.
  EXPECT_EQ(app::withFullStop(QString::fromUtf8("x\U0001F600")), QString::fromUtf8("x\U0001F600."));
}

class MessagesTest : public AppTest {};

TEST_F(MessagesTest, AnEscapingExceptionIsShownAndTheHandlerReturns) {
  ModalAnswerer answerer;
  bool after = false;
  app::guarded(nullptr, [] { throw Exception("Cannot open the file"); });
  after = true;
  app::guarded(nullptr, [] { throw std::runtime_error("Out of range!"); });
  app::guarded(nullptr, [] { throw 7; });
  EXPECT_TRUE(after);
  ASSERT_EQ(answerer.boxes().size(), 3u) << answerer.transcript().toStdString();
  for (const SeenBox& box : answerer.boxes()) {
    EXPECT_EQ(box.title, QStringLiteral("QAR26M Databse Convert"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
  }
  EXPECT_EQ(answerer.boxes()[0].text, QStringLiteral("Cannot open the file."));
  EXPECT_EQ(answerer.boxes()[1].text, QStringLiteral("Out of range!"));
  EXPECT_EQ(answerer.boxes()[2].text, QString()) << "a thrown non-exception has no message";
}

TEST_F(MessagesTest, AnExceptionFromAnEventHandlerIsShownByTheApplication) {
  ModalAnswerer answerer;
  QPushButton button;
  QObject::connect(&button, &QPushButton::clicked, [] { throw Exception("Handler broke"); });
  button.show();
  QTest::mouseClick(&button, Qt::LeftButton);
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(answerer.boxes()[0].text, QStringLiteral("Handler broke."));
  EXPECT_TRUE(button.isVisible()) << "the program goes on";
}

TEST_F(MessagesTest, TheClosingMessageSaysHowTheRunEnded) {
  RunOutcome done;
  done.backupPath = QStringLiteral("/data/Card-backup-20261208-153012.mdb");
  TableSummary table;
  table.name = QStringLiteral("DepartmentData");
  table.strategy = TransferStrategy::MergeOneKey;
  table.recordsRead = 4;
  table.recordsUpdated = 3;
  table.recordsAppended = 1;
  table.finished = true;
  done.tables.push_back(table);
  RunOutcome failed = done;
  failed.status = RunStatus::Failed;
  failed.failure = RunFailure::FieldsTransform;
  RunOutcome cancelled = done;
  cancelled.status = RunStatus::Cancelled;

  EXPECT_EQ(app::closingMessageText(done), QStringLiteral("Database convert ok."));
  EXPECT_EQ(app::closingMessageText(RunOutcome{}), QStringLiteral("Database convert ok."));
  EXPECT_EQ(app::closingMessageText(failed), QStringLiteral("Database convert failed."));
  EXPECT_EQ(app::closingMessageText(cancelled), QStringLiteral("Database convert cancelled."));

  ModalAnswerer answerer;
  app::showClosingMessage(nullptr, failed);
  ASSERT_EQ(answerer.boxes().size(), 1u);
  const SeenBox& box = answerer.boxes()[0];
  EXPECT_EQ(box.title, QStringLiteral("Message"));
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.text, QStringLiteral("Database convert failed."));
  EXPECT_TRUE(box.details.contains(QStringLiteral("DepartmentData")));
  EXPECT_TRUE(box.details.contains(done.backupPath));
}

}  // namespace
}  // namespace qar::test
