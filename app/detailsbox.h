// A message box whose details are readable at a glance: once shown, the details field is
// wide enough for its longest line and tall enough for its lines (within the screen), does
// not wrap, and the box can be resized by the operator.
#pragma once

#include <QMessageBox>

namespace qar::app {

class DetailsBox : public QMessageBox {
  Q_OBJECT
 public:
  using QMessageBox::QMessageBox;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Undoes the fixed size QMessageBox gives itself and sizes the details field.
  void roomForDetails();
  bool sizing_ = false;
  bool watching_ = false;
};

}  // namespace qar::app
