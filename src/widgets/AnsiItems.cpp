#include "widgets/AnsiItems.h"

#include <QComboBox>
#include <QListWidget>

#include "model/NameList.h"
#include "widgets/AnsiText.h"

namespace pelmora {

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

int FindItem(const QComboBox* box, const std::string& ansi) {
  for (int i = 0; i < box->count(); ++i) {
    if (SameName(ItemAnsi(box, i), ansi)) return i;
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

}  // namespace pelmora
