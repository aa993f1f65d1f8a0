// The main window as it opens and as the operator handles it without starting a run:
// caption, geometry, captions, initial ticks, focus and tab order, the table boxes in
// catalogue order, Select All / Cancel All, the keyboard accelerators and Close.
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/tablegrid.h"
#include "app_support.h"
#include "engine/catalogue.h"

namespace qar::test {
namespace {

class MainWindowTest : public AppTest {
 protected:
  MainWindowTest() : window(std::make_unique<TfrmMain>()) {}
  // Shows the window and makes it the active one, as the desktop would.
  void showActive() {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  QList<QCheckBox*> boxes() const {
    return window->gbTable->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly);
  }
  QStringList ticked() const {
    QStringList names;
    for (QCheckBox* box : boxes())
      if (box->isChecked()) names << box->text();
    return names;
  }
  std::unique_ptr<TfrmMain> window;
};

void expectGeometry(const QWidget* widget, QRect expected) {
  const QRect actual = widget->geometry();
  EXPECT_LE(std::abs(actual.left() - expected.left()), 1) << widget->objectName().toStdString();
  EXPECT_LE(std::abs(actual.top() - expected.top()), 1) << widget->objectName().toStdString();
  EXPECT_LE(std::abs(actual.width() - expected.width()), 1) << widget->objectName().toStdString();
  EXPECT_LE(std::abs(actual.height() - expected.height()), 1)
      << widget->objectName().toStdString();
}

TEST_F(MainWindowTest, OpensWithItsCaptionSizeAndControlsInPlace) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("QAR26M Database Convert Ver:3.01"));
  EXPECT_EQ(window->size(), QSize(521, 468));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the window is not resizable";
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);

  expectGeometry(window->gbSource, {7, 4, 506, 56});
  expectGeometry(window->edtFrom, {13, 21, 440, 24});
  expectGeometry(window->btnSource, {457, 21, 40, 25});
  expectGeometry(window->gbDest, {8, 65, 505, 56});
  expectGeometry(window->edtTo, {13, 21, 440, 24});
  expectGeometry(window->btnDest, {457, 21, 40, 25});
  expectGeometry(window->gbTable, {8, 126, 505, 259});
  expectGeometry(window->btnSelectAll, {8, 394, 121, 41});
  expectGeometry(window->btnCancelAll, {136, 394, 121, 41});
  expectGeometry(window->btnStartCopy, {264, 394, 121, 41});
  expectGeometry(window->btnClose, {392, 394, 122, 41});
  expectGeometry(window->labFooter, {8, 442, 505, 21});
  EXPECT_EQ(window->edtFrom->parentWidget(), window->gbSource);
  EXPECT_EQ(window->edtTo->parentWidget(), window->gbDest);

  EXPECT_EQ(window->gbSource->title(), QStringLiteral("Source Database File"));
  EXPECT_EQ(window->gbDest->title(), QStringLiteral("Destination Database File"));
  EXPECT_EQ(window->gbTable->title(), QStringLiteral("Database Table"));
  EXPECT_EQ(window->btnSource->text(), QStringLiteral("..."));
  EXPECT_EQ(window->btnDest->text(), QStringLiteral("..."));
  EXPECT_EQ(window->btnSelectAll->text(), QStringLiteral("Select All(S)"));
  EXPECT_EQ(window->btnCancelAll->text(), QStringLiteral("Cancel All(&C)"));
  EXPECT_EQ(window->btnStartCopy->text(), QStringLiteral("Start Copy(&P)"));
  EXPECT_EQ(window->btnClose->text(), QStringLiteral("Close(&X)"));
  EXPECT_FALSE(window->btnStartCopy->icon().pixmap(16, 16).isNull());
  EXPECT_FALSE(window->btnClose->icon().pixmap(16, 16).isNull());
  EXPECT_FALSE(window->btnSelectAll->icon().pixmap(16, 16).isNull());
  EXPECT_FALSE(window->btnCancelAll->icon().pixmap(16, 16).isNull());
  EXPECT_FALSE(window->windowIcon().pixmap(48, 48).isNull());

  EXPECT_TRUE(window->edtFrom->text().isEmpty());
  EXPECT_TRUE(window->edtTo->text().isEmpty());
}

TEST_F(MainWindowTest, FooterIsAPurpleStripWithWhiteTextNamingTheProgram) {
  const QLabel* footer = window->labFooter;
  EXPECT_TRUE(footer->text().contains(QStringLiteral("QAR26M Database Convert")));
  EXPECT_TRUE(footer->text().contains(QStringLiteral("3.01")));
  EXPECT_FALSE(footer->text().contains(QStringLiteral("www"), Qt::CaseInsensitive));
  EXPECT_FALSE(footer->text().contains(QStringLiteral("http"), Qt::CaseInsensitive));
  EXPECT_EQ(footer->palette().color(QPalette::Window), QColor(0x80, 0x00, 0x80));
  EXPECT_EQ(footer->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_NE(footer->frameShape(), QFrame::NoFrame);

  // The strip really is painted purple, with white letters on it.
  const QImage strip = window->grab().toImage().copy(footer->geometry());
  EXPECT_EQ(QColor(strip.pixel(3, 3)), QColor(0x80, 0x00, 0x80));
  bool white = false;
  for (int y = 0; y < strip.height() && !white; ++y)
    for (int x = 0; x < strip.width() && !white; ++x)
      white = qRed(strip.pixel(x, y)) > 220 && qGreen(strip.pixel(x, y)) > 220 &&
              qBlue(strip.pixel(x, y)) > 220;
  EXPECT_TRUE(white);
}

TEST_F(MainWindowTest, EighteenBoxesInCatalogueOrderWithSevenTicked) {
  const QList<QCheckBox*> list = boxes();
  ASSERT_EQ(list.size(), 18);
  for (int i = 0; i < 18; ++i) {
    const CatalogueEntry& entry = TableCatalogue[size_t(i)];
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(list[i]->text(), QString::fromLatin1(entry.name));
    EXPECT_EQ(list[i]->isChecked(), entry.tickedAtStart);
    expectGeometry(list[i], {app::kBoxColumnLeft[size_t(entry.boxColumn - 1)],
                             app::kBoxRowTop[size_t(entry.boxRow - 1)], 152, 17});
    EXPECT_TRUE(captionFits(list[i], list[i]->font())) << "the whole name is readable";
  }
  EXPECT_EQ(ticked(), (QStringList{"DepartmentData", "CardData", "ControllerData", "HolderData",
                                   "CRFlowData", "CRModuleData", "HolderCardData"}));
  // Every grid cell holds exactly one box.
  QSet<QPair<int, int>> cells;
  for (QCheckBox* box : list) cells.insert({box->x(), box->y()});
  EXPECT_EQ(cells.size(), 18);
}

TEST_F(MainWindowTest, FocusStartsInTheSourceFieldAndTabWalksTheControlsInOrder) {
  showActive();
  EXPECT_EQ(QApplication::focusWidget(), window->edtFrom);

  QList<QWidget*> expected{window->btnSource, window->edtTo, window->btnDest};
  for (QCheckBox* box : boxes()) expected << box;
  expected << window->btnSelectAll << window->btnCancelAll << window->btnStartCopy
           << window->edtFrom;
  for (QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), next)
        << "expected " << next->objectName().toStdString() << ", focus is on "
        << QApplication::focusWidget()->objectName().toStdString();
  }
  EXPECT_EQ(window->btnClose->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(window->labFooter->focusPolicy(), Qt::NoFocus);

  // Clicking Close's neighbour keeps working and Close never takes the focus from it.
  window->btnStartCopy->setFocus();
  QTest::mousePress(window->btnClose, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), window->btnStartCopy);
  QTest::mouseRelease(window->btnClose, Qt::LeftButton, {}, QPoint(-5, -5));  // release outside
}

TEST_F(MainWindowTest, SelectAllAndCancelAllTickAndUntickEveryBox) {
  window->btnSelectAllClick();
  EXPECT_EQ(ticked().size(), 18);
  window->btnCancelAll->click();
  EXPECT_TRUE(ticked().isEmpty());
  window->btnSelectAll->click();
  EXPECT_EQ(ticked().size(), 18);
}

TEST_F(MainWindowTest, EscAndAltCPressCancelAllWhileSelectAllHasNoAccelerator) {
  showActive();
  QTest::keyClick(window->edtFrom, Qt::Key_Escape);
  EXPECT_TRUE(ticked().isEmpty()) << "Esc triggers Cancel All";

  QTest::keyClick(window->btnStartCopy, Qt::Key_S, Qt::AltModifier);
  QTest::qWait(300);  // an accelerator presses its button visibly, then clicks
  EXPECT_TRUE(ticked().isEmpty()) << "Select All(S) has no accelerator";

  window->btnSelectAllClick();
  QTest::keyClick(window->edtFrom, Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticked().isEmpty(); }, 2000))
      << "Alt+C triggers Cancel All";
  EXPECT_EQ(window->edtFrom->text(), QString()) << "an accelerator types nothing";
}

TEST_F(MainWindowTest, AltXClosesTheWindow) {
  showActive();
  QTest::keyClick(window->edtFrom, Qt::Key_X, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 2000));
}

TEST_F(MainWindowTest, CloseButtonClosesTheWindow) {
  showActive();
  window->btnClose->click();
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, PathsAreHandedOnExactlyAsTyped) {
  const QString typed = QStringLiteral("  /tmp/some folder/Card.mdb ");
  window->edtFrom->setText(typed);
  window->edtTo->setText(typed);
  EXPECT_EQ(window->sourcePath(), typed);
  EXPECT_EQ(window->destinationPath(), typed);
  const ConversionPaths& paths = *window;
  EXPECT_EQ(paths.sourcePath(), typed);
  EXPECT_EQ(paths.destinationPath(), typed);
}

TEST_F(MainWindowTest, TheFileDialogFiltersAccessFilesAndStartsOnCard) {
  QFileDialog* dialog = window->opdAccess;
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("Access (*.mdb)")});
  EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("mdb"));
  EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_TRUE(dialog->isSizeGripEnabled());
  const auto* nameField = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(nameField, nullptr);
  EXPECT_EQ(nameField->text(), QStringLiteral("Card"));
  ASSERT_FALSE(dialog->selectedFiles().isEmpty());
  EXPECT_TRUE(dialog->selectedFiles().front().endsWith(QStringLiteral("/Card.mdb")));
}

}  // namespace
}  // namespace qar::test
