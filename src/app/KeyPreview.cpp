#include "app/KeyPreview.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace pelmora {

KeyPreview::KeyPreview(QWidget* window) : QObject(window), window_(window) {
  QCoreApplication::instance()->installEventFilter(this);
}

KeyPreview::~KeyPreview() { QCoreApplication::instance()->removeEventFilter(this); }

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyRelease) {
    previewedPress_ = nullptr;
    return false;
  }
  if (type != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto* target = static_cast<QWidget*>(watched);
  if (target->window() != window_) return false;
  // A key that a control leaves alone travels on to its parents with the same event; the
  // window previews it only at the first of them. The address alone does not tell a new press
  // from the old one travelling on (Qt builds successive key events at the same address while
  // Alt is held), but the journey only ever goes up from the widget seen last.
  auto* key = static_cast<QKeyEvent*>(event);
  if (event == previewedPress_ && key->timestamp() == previewedTime_ && previewedAt_ &&
      target->isAncestorOf(previewedAt_)) {
    previewedAt_ = target;
    return false;
  }
  if (WindowKey(key) || EnterOnButton(key, target) || EscapeKey(key, target)) {
    // A press the window takes goes no further, so there is no journey to remember. Remembered,
    // it would make the next press the same: the release of an Esc that sent the window away
    // goes to another window, and Qt builds the next press at the same address.
    previewedPress_ = nullptr;
    previewedAt_ = nullptr;
    return true;
  }
  // Passed on: the journey up the parents happens within this delivery. Once the event loop
  // turns, any press seen is a new one, whether or not a release came between.
  previewedPress_ = event;
  previewedTime_ = key->timestamp();
  previewedAt_ = target;
  QMetaObject::invokeMethod(
      this,
      [this, event] {
        if (previewedPress_ == event) previewedPress_ = nullptr;
      },
      Qt::QueuedConnection);
  return false;
}

bool KeyPreview::WindowKey(const QKeyEvent* e) {
  const Qt::KeyboardModifiers mods = e->modifiers();
  if (!(mods & Qt::AltModifier)) return false;
  const int key = e->key();
  const bool ping = key == Qt::Key_P || key == Qt::Key_F1;
  // Ctrl+Alt with a digit of the main keyboard is no window key: it types characters on some
  // keyboards. The keypad digits count with or without Ctrl.
  const bool digit = key >= Qt::Key_0 && key <= Qt::Key_9 &&
                     ((mods & Qt::KeypadModifier) || !(mods & Qt::ControlModifier));
  if (!ping && !digit) return false;
  if (!windowKeysActive || windowKeysActive()) {
    if (ping) {
      emit pingKey();
    } else {
      emit quickDestinationKey(key - Qt::Key_0);
    }
  }
  // A window key is never typing as well, whatever has the focus: a names list would jump to a
  // name starting with P, a field would take the digit. Where the window keys are off (the
  // typed-destination layout) they do nothing at all.
  return true;
}

bool KeyPreview::EnterOnButton(const QKeyEvent* e, QWidget* target) {
  if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter) return false;
  if ((e->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  // Enter presses the focused push button, as Space does (and as Enter does on Windows), so the
  // window is worked with the keyboard alone: after a send, Enter opens the compose box again.
  auto* button = qobject_cast<QPushButton*>(target);
  if (button == nullptr || !button->isEnabled() || !button->isVisible()) return false;
  // Only a fresh press: Enter held down after a send repeats onto "Escribir mensaje", and each
  // repeat would open the compose box for the next repeat to send it empty.
  if (!e->isAutoRepeat()) button->click();
  return true;
}

bool KeyPreview::EscapeKey(const QKeyEvent* e, const QWidget* target) {
  if (e->key() != Qt::Key_Escape) return false;
  if (takesOwnEscape && takesOwnEscape(target)) return false;
  emit escapeKey();
  return true;
}

}  // namespace pelmora
