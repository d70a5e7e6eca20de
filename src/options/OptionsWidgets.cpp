#include "options/OptionsWidgets.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "messaging/Settings.h"
#include "widgets/TypedNameValidator.h"

namespace pelmora::options {

EntryEdit::EntryEdit(QWidget* parent) : QLineEdit(parent) {
  // The program's one rule for typed names: letters upper case as typed; "&", control characters
  // and characters the code page lacks never get in (a paste loses only those).
  setValidator(new TypedNameValidator(this));
  // No longer than the settings keep (Windows-1252: one byte a character).
  setMaxLength(static_cast<int>(kMaxStoredNameLength));
}

void EntryEdit::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Finish(!text().isEmpty());
      event->accept();
      return;
    case Qt::Key_Escape:
      Finish(false);
      event->accept();
      return;
    default:
      QLineEdit::keyPressEvent(event);
  }
}

void EntryEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // Switching to another window, or the edit's own context menu, leaves the user typing here:
  // only the focus moving to another control of the dialog counts as leaving the edit.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) {
    return;
  }
  // Hiding the edit after a commit takes the focus away again; by then it is empty and the
  // focus change ends as Esc, which the page ignores while the edit is already hidden.
  if (isVisible()) Finish(!text().isEmpty());
}

void EntryEdit::Finish(bool commit) {
  if (finishing_) return;
  finishing_ = true;
  if (commit) {
    emit Committed();
  } else {
    emit Cancelled();
  }
  finishing_ = false;
}

}  // namespace pelmora::options
