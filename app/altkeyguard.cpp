// Swallows unclaimed Alt+letter key presses aimed at a path field (see altkeyguard.h).
#include "app/altkeyguard.h"

#include <QKeyEvent>

namespace qar::app {

bool AltKeyGuard::eventFilter(QObject*, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  const Qt::KeyboardModifiers held = key->modifiers();
  // AltGr arrives as Ctrl+Alt on some systems and types real characters: leave it alone.
  if (!(held & Qt::AltModifier) || (held & Qt::ControlModifier)) return false;
  return !key->text().isEmpty();
}

}  // namespace qar::app
