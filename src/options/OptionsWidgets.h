#pragma once
// Small pieces the pages of the options dialog share: list items that carry their Windows-1252 bytes, and the edit that lies over a
// "new ..." button while a name is typed.

#include <QLineEdit>
#include <QListWidget>
#include <string>
#include <vector>

#include "widgets/AnsiText.h"

class QComboBox;

namespace pelmora::options {

// A list or selector item whose display text comes from `ansi` and whose data keeps the bytes,
// so what comes back out is exactly what went in whatever the display conversion did.
QListWidgetItem* MakeItem(const std::string& ansi);
std::string ItemAnsi(const QListWidgetItem* item);
std::string ItemAnsi(const QListWidget* list, int row);
std::string ItemAnsi(const QComboBox* box, int index);
void AddItem(QComboBox* box, const std::string& ansi);

// The row of the entry equal to the name ignoring case, or -1.
int FindRow(const QListWidget* list, const std::string& ansi);
// The same for a list in the address book's sort order, found by that order.
int FindSortedRow(const QListWidget* list, const std::string& ansi);
// Inserts at the place the address book sorts the name to (the lists mirror NameList) and
// returns the row.
int InsertSorted(QListWidget* list, QListWidgetItem* item);
// Fills an empty list in one go (for thousands of names, one insertion each would be slow).
void FillList(QListWidget* list, const std::vector<std::string>& names, bool checkable);

// The edit in which a new name or group is typed: Enter commits, Esc cancels, and leaving the
// edit acts as Enter. Enter on an empty edit acts as Esc.
class TEntryEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TEntryEdit(QWidget* parent = nullptr);

 signals:
  void Committed();
  void Cancelled();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Finish(bool commit);
  bool finishing_ = false;
};

}  // namespace pelmora::options
