#include "options/OptionsWidgets.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>

#include "messaging/Settings.h"
#include "model/NameList.h"
#include "widgets/TypedNameValidator.h"

namespace pelmora::options {

QListWidgetItem* MakeItem(const std::string& ansi) {
  auto* item = new QListWidgetItem(ToQ(ansi));
  item->setData(Qt::UserRole, QByteArray::fromStdString(ansi));
  return item;
}

std::string ItemAnsi(const QListWidgetItem* item) {
  return item ? item->data(Qt::UserRole).toByteArray().toStdString() : std::string();
}

std::string ItemAnsi(const QListWidget* list, int row) { return ItemAnsi(list->item(row)); }

std::string ItemAnsi(const QComboBox* box, int index) {
  if (index < 0 || index >= box->count()) return {};
  return box->itemData(index).toByteArray().toStdString();
}

void AddItem(QComboBox* box, const std::string& ansi) {
  box->addItem(ToQ(ansi), QByteArray::fromStdString(ansi));
}

int FindRow(const QListWidget* list, const std::string& ansi) {
  for (int i = 0; i < list->count(); ++i) {
    if (SameName(ItemAnsi(list, i), ansi)) return i;
  }
  return -1;
}

namespace {
// The first row whose name does not sort before `name`.
int LowerBoundRow(const QListWidget* list, const std::string& name) {
  int lo = 0;
  int hi = list->count();
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (CompareNames(ItemAnsi(list, mid), name) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}
}  // namespace

int FindSortedRow(const QListWidget* list, const std::string& ansi) {
  const int row = LowerBoundRow(list, ansi);
  return row < list->count() && SameName(ItemAnsi(list, row), ansi) ? row : -1;
}

int InsertSorted(QListWidget* list, QListWidgetItem* item) {
  const int row = LowerBoundRow(list, ItemAnsi(item));
  list->insertItem(row, item);
  return row;
}

void FillList(QListWidget* list, const std::vector<std::string>& names, bool checkable) {
  list->setUpdatesEnabled(false);
  for (const std::string& n : names) {
    QListWidgetItem* item = MakeItem(n);
    if (checkable) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Unchecked);
    }
    list->addItem(item);
  }
  list->setUpdatesEnabled(true);
}

TEntryEdit::TEntryEdit(QWidget* parent) : QLineEdit(parent) {
  // The program's one rule for typed names: letters upper case as typed; "&", control characters
  // and characters the code page lacks never get in (a paste loses only those).
  setValidator(new TypedNameValidator(this));
  // No longer than the settings keep (Windows-1252: one byte a character).
  setMaxLength(static_cast<int>(kMaxStoredNameLength));
}

void TEntryEdit::keyPressEvent(QKeyEvent* event) {
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

void TEntryEdit::focusOutEvent(QFocusEvent* event) {
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

void TEntryEdit::Finish(bool commit) {
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
