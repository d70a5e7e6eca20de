#include "app/OwnNameEditor.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include "app/ComposeMemo.h"
#include "messaging/Variables.h"
#include "widgets/AnsiText.h"
#include "widgets/TypedNameValidator.h"

namespace pelmora {

OwnNameEditor::OwnNameEditor(QLineEdit* field, Variables& vars, std::function<void()> returnFocus,
                             QObject* parent)
    : QObject(parent), field_(field), vars_(vars), returnFocus_(std::move(returnFocus)) {
  field_->setValidator(new TypedNameValidator(field_));
  field_->installEventFilter(this);
  // Clicks and shortcuts meant for the window's other controls pass here first.
  QCoreApplication::instance()->installEventFilter(this);
}

OwnNameEditor::~OwnNameEditor() { QCoreApplication::instance()->removeEventFilter(this); }

bool OwnNameEditor::SwallowedElsewhere(QObject* watched, const QEvent* event) const {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Shortcut:
    case QEvent::Wheel:
      break;
    default:
      return false;
  }
  if (!watched->isWidgetType() || !field_->isVisible()) return false;
  auto* w = static_cast<QWidget*>(watched);
  // Only Enter and Esc leave the field: while it is open a click on "Borrar todo", "Opciones" or
  // any other control of the window (or its mnemonic) does nothing. Other windows are not ours
  // to stop.
  return w->window() == field_->window() && w != field_ && !field_->isAncestorOf(w);
}

bool OwnNameEditor::Editing() const { return field_->isVisible(); }

void OwnNameEditor::StatusBarMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::AltModifier;
  if (button != Qt::RightButton || (modifiers & both) != both) return;
  // The current name passes the field's own rules, so what shows is what Enter would keep.
  field_->setText(TypedNameValidator::Clean(ToQ(vars_.OwnName)));
  field_->selectAll();  // typing replaces the name, as in an edit that selects on entry
  field_->show();
  field_->raise();
  NameEditPending = false;
  field_->setFocus(Qt::OtherFocusReason);
}

void OwnNameEditor::ECambioNombreKeyPress(int key) {
  if (key != kKeyEnter && key != kKeyEscape) return;
  const std::string typed = FromQ(field_->text());
  NameEditPending = true;
  returnFocus_();
  field_->hide();
  // An empty name would make every later datagram of this machine one that receivers drop, so
  // Enter on an empty field leaves the name as Esc does.
  if (key == kKeyEnter && !typed.empty()) {
    vars_.OwnName = typed;
    emit OwnNameChanged();
  }
}

void OwnNameEditor::ECambioNombreExit() {
  if (NameEditPending) {
    NameEditPending = false;
    return;
  }
  // Only Enter and Esc leave the field. The focus goes back once the change that took it is
  // done; another window taking the keyboard is not fought.
  QTimer::singleShot(0, field_, [this] {
    if (field_->isVisible() && !NameEditPending && field_->window()->isActiveWindow() &&
        QApplication::focusWidget() != field_) {
      field_->setFocus(Qt::OtherFocusReason);
    }
  });
}

bool OwnNameEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched != field_) return SwallowedElsewhere(watched, event);
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (const int code = EnterOrEscape(key); code != 0) {
      ECambioNombreKeyPress(code);
      return true;
    }
    // Tab would move the focus on without leaving the field's mode.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return true;
  } else if (event->type() == QEvent::FocusOut) {
    auto* focus = static_cast<QFocusEvent*>(event);
    if (focus->reason() != Qt::ActiveWindowFocusReason && focus->reason() != Qt::PopupFocusReason)
      ECambioNombreExit();
    else if (NameEditPending)
      NameEditPending = false;
  }
  return false;
}

}  // namespace pelmora
