// The main window: its controls and their geometry, the file dialog shared by both "..."
// buttons, and the actions behind Select All, Cancel All, Start Copy and Close.
#include "app/mainwindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>

#include <memory>

#include "app/altkeyguard.h"
#include "app/closingmessage.h"
#include "app/errorbox.h"
#include "app/mdbdrop.h"
#include "app/tablegrid.h"
#include "app/uifont.h"
#include "base/exception.h"
#include "engine/catalogue.h"
#include "app/copyprogress.h"
#include "engine/selection.h"

// The glyphs live in this library's resources, which a static link would otherwise drop.
static void loadGlyphResources() { Q_INIT_RESOURCE(app); }

namespace qar {

namespace {

constexpr int kClientWidth = 521;
constexpr int kClientHeight = 468;
constexpr const char* kCaption = "QAR26M Database Convert Ver:3.01";
constexpr const char* kFooterText = "QAR26M Database Convert  \u00b7  Version 3.01";
const QColor kFooterBackground(0x80, 0x00, 0x80);  // the classic palette's purple

QIcon stockIcon(QStyle* style, QStyle::StandardPixmap wanted, QStyle::StandardPixmap fallback) {
  QIcon icon = style->standardIcon(wanted);
  return icon.isNull() ? style->standardIcon(fallback) : icon;
}

QPushButton* glyphButton(QWidget* parent, const char* name, const QString& caption,
                         const QIcon& glyph, QRect geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setIcon(glyph);
  button->setIconSize(QSize(16, 16));
  button->setAutoDefault(false);
  button->setGeometry(geometry);
  return button;
}

// One "Source/Destination Database File" group: a path field and its "..." button.
QGroupBox* pathGroup(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                     const char* editName, QLineEdit*& edit, const char* buttonName,
                     QPushButton*& button, QObject* dropFilter, QObject* keyGuard) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(QString::fromLatin1(name));
  group->setGeometry(geometry);
  edit = new QLineEdit(group);
  edit->setObjectName(QString::fromLatin1(editName));
  edit->setGeometry(13, 21, 440, 24);
  edit->setAcceptDrops(true);
  edit->installEventFilter(dropFilter);
  edit->installEventFilter(keyGuard);
  button = new QPushButton(QStringLiteral("..."), group);
  button->setObjectName(QString::fromLatin1(buttonName));
  button->setAutoDefault(false);
  button->setGeometry(457, 21, 40, 25);
  return group;
}

}  // namespace

QRect app::tableBoxRect(const CatalogueEntry& entry) {
  if (entry.boxColumn < 1 || entry.boxColumn > kGridColumns || entry.boxRow < 1 ||
      entry.boxRow > kGridRows) {
    throw Exception(std::string("table box out of the grid: ") + entry.name);
  }
  return QRect(kBoxColumnLeft[size_t(entry.boxColumn - 1)], kBoxRowTop[size_t(entry.boxRow - 1)],
               kBoxWidth, kBoxHeight);
}

bool captionFits(const QCheckBox* box, const QFont& font) {
  QStyleOptionButton option;
  option.initFrom(box);
  option.text = box->text();
  const QRect label = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
  return QFontMetrics(font).horizontalAdvance(box->text()) <= label.width();
}

TfrmMain::TfrmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  loadGlyphResources();
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowIcon(QIcon(QStringLiteral(":/icons/qar26m-convert.xpm")));
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);
  setFixedSize(kClientWidth, kClientHeight);

  createControls();
  // Every table name must be readable in full in its fixed-width box.
  setFont(app::dialogFont([this](const QFont& font) {
    for (QCheckBox* box : gbTable->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
      if (!captionFits(box, font)) return false;
    }
    return true;
  }));
  labFooter->setFont(app::sizedToTextHeight(font(), app::kFooterTextHeight));
  setTabOrder();
  edtFrom->setFocus(Qt::OtherFocusReason);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::createControls() {
  auto* dropFilter = new app::MdbDropFilter(this);
  auto* keyGuard = new app::AltKeyGuard(this);
  gbSource = pathGroup(this, "gbSource", QStringLiteral("Source Database File"),
                       QRect(7, 4, 506, 56), "edtFrom", edtFrom, "btnSource", btnSource,
                       dropFilter, keyGuard);
  gbDest = pathGroup(this, "gbDest", QStringLiteral("Destination Database File"),
                     QRect(8, 65, 505, 56), "edtTo", edtTo, "btnDest", btnDest, dropFilter,
                     keyGuard);

  gbTable = new QGroupBox(QStringLiteral("Database Table"), this);
  gbTable->setObjectName(QStringLiteral("gbTable"));
  gbTable->setGeometry(8, 126, 505, 259);
  for (const CatalogueEntry& entry : TableCatalogue) {
    auto* box = new QCheckBox(QString::fromLatin1(entry.name), gbTable);
    box->setObjectName(QStringLiteral("chk") + QString::fromLatin1(entry.name));
    box->setGeometry(app::tableBoxRect(entry));
    box->setChecked(entry.tickedAtStart);
  }

  QStyle* look = style();
  btnSelectAll = glyphButton(
      this, "btnSelectAll", QStringLiteral("Select All(S)"),
      stockIcon(look, QStyle::SP_DialogYesToAllButton, QStyle::SP_DialogYesButton),
      QRect(8, 394, 121, 41));
  btnCancelAll = glyphButton(
      this, "btnCancelAll", QStringLiteral("Cancel All(&C)"),
      stockIcon(look, QStyle::SP_DialogNoToAllButton, QStyle::SP_DialogNoButton),
      QRect(136, 394, 121, 41));
  btnStartCopy = glyphButton(this, "btnStartCopy", QStringLiteral("Start Copy(&P)"),
                             QIcon(QStringLiteral(":/icons/startcopy.xpm")),
                             QRect(264, 394, 121, 41));

  btnClose = new QToolButton(this);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  btnClose->setText(QStringLiteral("Close(&X)"));
  btnClose->setIcon(QIcon(QStringLiteral(":/icons/close.xpm")));
  btnClose->setIconSize(QSize(16, 16));
  btnClose->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  btnClose->setFocusPolicy(Qt::NoFocus);
  btnClose->setGeometry(392, 394, 122, 41);

  labFooter = new QLabel(QString::fromUtf8(kFooterText), this);
  labFooter->setObjectName(QStringLiteral("labFooter"));
  labFooter->setGeometry(8, 442, 505, 21);
  labFooter->setFrameStyle(QFrame::Box | QFrame::Plain);
  labFooter->setAlignment(Qt::AlignCenter);
  labFooter->setFocusPolicy(Qt::NoFocus);
  labFooter->setAutoFillBackground(true);
  QPalette strip = labFooter->palette();
  strip.setColor(QPalette::Window, kFooterBackground);
  strip.setColor(QPalette::WindowText, Qt::white);
  labFooter->setPalette(strip);

  opdAccess = new QFileDialog(this, QStringLiteral("Open"));
  opdAccess->setObjectName(QStringLiteral("opdAccess"));
  // Qt's own dialog on every desktop, so the filter, the default suffix and the
  // "file need not exist" rule behave the same everywhere.
  opdAccess->setOption(QFileDialog::DontUseNativeDialog, true);
  opdAccess->setAcceptMode(QFileDialog::AcceptOpen);
  opdAccess->setFileMode(QFileDialog::AnyFile);
  opdAccess->setNameFilter(QStringLiteral("Access (*.mdb)"));
  opdAccess->setDefaultSuffix(QStringLiteral("mdb"));
  opdAccess->setSizeGripEnabled(true);
  opdAccess->selectFile(QStringLiteral("Card"));

  connect(btnSource, &QPushButton::clicked, this, &TfrmMain::btnSourceClick);
  connect(btnDest, &QPushButton::clicked, this, &TfrmMain::btnDestClick);
  connect(btnSelectAll, &QPushButton::clicked, this, &TfrmMain::btnSelectAllClick);
  connect(btnCancelAll, &QPushButton::clicked, this, &TfrmMain::btnCancelAllClick);
  connect(btnStartCopy, &QPushButton::clicked, this, &TfrmMain::btnStartCopyClick);
  connect(btnClose, &QToolButton::clicked, this, &TfrmMain::btnCloseClick);

  // Cancel All is the window's cancel button: Esc presses it.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, btnCancelAll, &QPushButton::click);
}

void TfrmMain::setTabOrder() {
  QList<QWidget*> order{edtFrom, btnSource, edtTo, btnDest};
  for (QCheckBox* box : gbTable->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
    order.append(box);
  }
  order.append({btnSelectAll, btnCancelAll, btnStartCopy});
  for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

QString TfrmMain::sourcePath() const { return edtFrom->text(); }
QString TfrmMain::destinationPath() const { return edtTo->text(); }

QCheckBox* TfrmMain::tableBox(const QString& table) const {
  for (QCheckBox* box : gbTable->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
    if (box->text() == table) return box;
  }
  return nullptr;
}

bool TfrmMain::runFileDialog(QString& chosen) {
  if (!lastChosenFile_.isEmpty()) opdAccess->selectFile(lastChosenFile_);
  if (opdAccess->exec() != QDialog::Accepted) return false;
  const QStringList files = opdAccess->selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return false;
  chosen = QDir::toNativeSeparators(files.front());
  lastChosenFile_ = files.front();
  return true;
}

void TfrmMain::btnSourceClick() {
  app::guarded(this, [this] {
    QString chosen;
    if (runFileDialog(chosen)) edtFrom->setText(chosen);
  });
}

void TfrmMain::btnDestClick() {
  app::guarded(this, [this] {
    QString chosen;
    if (runFileDialog(chosen)) edtTo->setText(chosen);
  });
}

void TfrmMain::btnSelectAllClick() {
  for (QCheckBox* box : gbTable->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
    box->setChecked(true);
  }
}

void TfrmMain::btnCancelAllClick() {
  for (QCheckBox* box : gbTable->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
    box->setChecked(false);
  }
}

void TfrmMain::applyDependencyRule() {
  // The boxes end up ticked as the catalogue's selection rule would choose.
  QStringList ticked;
  for (QCheckBox* box : gbTable->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
    if (box->isChecked()) ticked << box->text();
  }
  for (const QString& table : orderedSelection(ticked)) {
    if (QCheckBox* box = tableBox(table)) box->setChecked(true);
  }
}

void TfrmMain::fillSelection() {
  // Creation order of the boxes is the processing order.
  for (QCheckBox* box : gbTable->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
    if (box->isChecked()) addSelectedTable(box->text());
  }
}

void TfrmMain::btnStartCopyClick() {
  app::guarded(this, [this] {
    clearSelection();
    applyDependencyRule();
    fillSelection();
    // Owned by the application, not by this window: while it runs, this window is blocked.
    auto frmCopy = std::make_unique<TfrmCopy>(*this, nullptr);
    if (onProgressWindowCreated) onProgressWindowCreated(frmCopy.get());
    frmCopy->exec();
    lastOutcome_ = frmCopy->outcome();
    frmCopy.reset();
    showClosingMessage(lastOutcome_);
  });
}

void TfrmMain::showClosingMessage(const RunOutcome& outcome) {
  app::showClosingMessage(this, outcome);
}

void TfrmMain::btnCloseClick() { close(); }

}  // namespace qar
