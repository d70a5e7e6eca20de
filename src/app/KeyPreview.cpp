#include "app/KeyPreview.h"

#include <QCoreApplication>
#include <QKeyEvent>
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
  if (event == previewedPress_ && previewedAt_ && target->isAncestorOf(previewedAt_)) {
    previewedAt_ = target;
    return false;
  }
  previewedPress_ = event;
  previewedAt_ = target;
  auto* key = static_cast<QKeyEvent*>(event);
  if (WindowKey(key)) return true;
  return EscapeKey(key, target);
}

bool KeyPreview::WindowKey(const QKeyEvent* e) {
  const Qt::KeyboardModifiers mods = e->modifiers();
  if (!(mods & Qt::AltModifier)) return false;
  if (windowKeysActive && !windowKeysActive()) return false;
  const int key = e->key();
  if (key == Qt::Key_P || key == Qt::Key_F1) {
    emit pingKey();
  } else if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    // Ctrl+Alt with a digit of the main keyboard is left alone (it types characters on some
    // keyboards); the keypad digits count with or without Ctrl.
    const bool keypad = (mods & Qt::KeypadModifier) != 0;
    if (keypad || !(mods & Qt::ControlModifier)) emit quickDestinationKey(key - Qt::Key_0);
  }
  return false;  // the key goes on to the focused control
}

bool KeyPreview::EscapeKey(const QKeyEvent* e, const QWidget* target) {
  if (e->key() != Qt::Key_Escape) return false;
  if (takesOwnEscape && takesOwnEscape(target)) return false;
  emit escapeKey();
  return true;
}

}  // namespace pelmora
