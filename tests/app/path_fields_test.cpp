// How a path gets into the two fields: the file dialog shared by both "..." buttons (default
// suffix, files and folders that need not exist, the last choice remembered for both) and
// dropping an .mdb file from a file manager.
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/mainwindow.h"
#include "app/mdbdrop.h"
#include "app_support.h"
#include "modal_answerer.h"

namespace qar::test {
namespace {

// Types name into the dialog's file name field and confirms, as an operator would.
void typeAndAccept(QWidget* modal, const QString& name) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  if (dialog == nullptr) return;
  auto* nameField = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (nameField == nullptr) {
    dialog->reject();
    return;
  }
  nameField->setText(name);
  static_cast<QDialog*>(dialog)->accept();  // runs the dialog's own checks
}

class PathFieldsTest : public AppTest {
 protected:
  void SetUp() override {
    window = std::make_unique<TfrmMain>();
    window->show();
  }
  std::unique_ptr<TfrmMain> window;
  QTemporaryDir dir;
};

TEST_F(PathFieldsTest, ANameTypedWithoutSuffixGetsMdbNotASecondCard) {
  ModalAnswerer answerer;
  QString seenFileName;
  answerer.onOtherWindow([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(dir.path());
    seenFileName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    typeAndAccept(modal, QStringLiteral("Card"));
  });
  window->btnSource->click();
  EXPECT_EQ(seenFileName, QStringLiteral("Card")) << "the dialog opens on the name Card";
  EXPECT_EQ(window->edtFrom->text(), QDir::toNativeSeparators(dir.filePath("Card.mdb")));
  EXPECT_TRUE(window->edtTo->text().isEmpty());
}

TEST_F(PathFieldsTest, AFileInAFolderThatDoesNotExistIsAccepted) {
  const QString missing = dir.filePath(QStringLiteral("no such folder/Site.mdb"));
  ModalAnswerer answerer;
  answerer.onOtherWindow([&](QWidget* modal) { typeAndAccept(modal, missing); });
  window->btnDest->click();
  EXPECT_EQ(window->edtTo->text(), QDir::toNativeSeparators(missing));
  EXPECT_FALSE(QFile::exists(missing)) << "choosing a file creates nothing";
}

TEST_F(PathFieldsTest, BothButtonsOpenOnTheFileLastChosenAndCancelChangesNothing) {
  const QString first = dir.filePath(QStringLiteral("Old.mdb"));
  ModalAnswerer answerer;
  QString opensOn;
  bool cancel = false;
  answerer.onOtherWindow([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    opensOn = dialog->selectedFiles().value(0);
    if (cancel) {
      dialog->reject();
    } else {
      typeAndAccept(modal, first);
    }
  });
  window->btnSource->click();
  ASSERT_EQ(window->edtFrom->text(), QDir::toNativeSeparators(first));

  cancel = true;
  window->edtTo->setText(QStringLiteral("kept"));
  window->btnDest->click();
  EXPECT_EQ(opensOn, first) << "the destination button opens on the source's choice";
  EXPECT_EQ(window->edtTo->text(), QStringLiteral("kept"));
  window->btnSource->click();
  EXPECT_EQ(opensOn, first);
  EXPECT_EQ(window->edtFrom->text(), QDir::toNativeSeparators(first));
  EXPECT_FALSE(answerer.timedOut());
}

QMimeData* urlData(const QList<QUrl>& urls) {
  auto* mime = new QMimeData;
  mime->setUrls(urls);
  return mime;
}

TEST(DroppedMdbPath, OnlyOneLocalMdbFileCounts) {
  std::unique_ptr<QMimeData> one(urlData({QUrl::fromLocalFile("/data/Card.mdb")}));
  EXPECT_EQ(app::droppedMdbPath(one.get()), QStringLiteral("/data/Card.mdb"));
  std::unique_ptr<QMimeData> upper(urlData({QUrl::fromLocalFile("/data/CARD.MDB")}));
  EXPECT_EQ(app::droppedMdbPath(upper.get()), QStringLiteral("/data/CARD.MDB"));
  std::unique_ptr<QMimeData> two(
      urlData({QUrl::fromLocalFile("/data/a.mdb"), QUrl::fromLocalFile("/data/b.mdb")}));
  EXPECT_EQ(app::droppedMdbPath(two.get()), QString());
  std::unique_ptr<QMimeData> other(urlData({QUrl::fromLocalFile("/data/notes.txt")}));
  EXPECT_EQ(app::droppedMdbPath(other.get()), QString());
  std::unique_ptr<QMimeData> remote(urlData({QUrl("https://example.org/Card.mdb")}));
  EXPECT_EQ(app::droppedMdbPath(remote.get()), QString());
  QMimeData text;
  text.setText(QStringLiteral("/data/Card.mdb"));
  EXPECT_EQ(app::droppedMdbPath(&text), QString());
  EXPECT_EQ(app::droppedMdbPath(nullptr), QString());
}

TEST_F(PathFieldsTest, DroppingAnMdbFileOnAFieldPutsItsPathThere) {
  window->edtTo->setText(QStringLiteral("old text"));
  std::unique_ptr<QMimeData> mime(urlData({QUrl::fromLocalFile("/data/Site Card.mdb")}));
  const QPoint inside(10, 10);

  QDragEnterEvent enter(inside, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window->edtTo, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(inside), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window->edtTo, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(window->edtTo->text(), QStringLiteral("/data/Site Card.mdb"));
  EXPECT_TRUE(window->edtFrom->text().isEmpty()) << "the other field is untouched";

  std::unique_ptr<QMimeData> notMdb(urlData({QUrl::fromLocalFile("/data/readme.txt")}));
  QDragEnterEvent refused(inside, Qt::CopyAction, notMdb.get(), Qt::LeftButton, Qt::NoModifier);
  refused.setAccepted(false);
  QApplication::sendEvent(window->edtFrom, &refused);
  EXPECT_TRUE(window->edtFrom->text().isEmpty());
}

// Alt with a letter no button claims never edits a path; plain letters, Shift and AltGr
// (Ctrl+Alt) still type.
TEST_F(PathFieldsTest, AltLettersNeverTypeIntoAPathField) {
  TfrmMain window;
  for (QLineEdit* field : {window.edtFrom, window.edtTo}) {
    field->setText(QStringLiteral("C:\\Card.mdb"));
    for (Qt::Key key : {Qt::Key_S, Qt::Key_Q, Qt::Key_1, Qt::Key_Z}) {
      QTest::keyClick(field, key, Qt::AltModifier);
      QTest::keyClick(field, key, Qt::AltModifier | Qt::ShiftModifier);
    }
    EXPECT_EQ(field->text(), QStringLiteral("C:\\Card.mdb"));
    QTest::keyClick(field, Qt::Key_X);
    QTest::keyClick(field, Qt::Key_Y, Qt::ShiftModifier);
    QTest::keyClick(field, Qt::Key_At, Qt::ControlModifier | Qt::AltModifier, 0);
    EXPECT_EQ(field->text(), QStringLiteral("C:\\Card.mdbxy@"));
  }
}

}  // namespace
}  // namespace qar::test
