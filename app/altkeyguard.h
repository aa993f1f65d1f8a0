// Keeps Alt+letter out of the path fields. A text field would insert the letter of an Alt
// combination that no accelerator claims (Alt+S: Select All has none), silently changing the
// path; accelerators are matched before the field sees the key, so they still work.
#pragma once

#include <QObject>

namespace qar::app {

// Event filter for a text field: swallows key presses with Alt (and without Ctrl) that carry
// text, and lets every other key through.
class AltKeyGuard : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace qar::app
