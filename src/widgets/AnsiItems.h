#pragma once
// List and selector items that carry their Windows-1252 bytes: the display text comes from the
// bytes, and the item's data keeps them, so what comes back out is exactly what went in whatever
// the conversion to the display text did. Names are found ignoring letter case, as the address
// book compares them.

#include <string>
#include <vector>

class QComboBox;
class QListWidget;
class QListWidgetItem;

namespace pelmora {

QListWidgetItem* MakeItem(const std::string& ansi);
void AddItem(QComboBox* box, const std::string& ansi);
std::string ItemAnsi(const QListWidgetItem* item);
std::string ItemAnsi(const QListWidget* list, int row);
// Empty for an index outside the selector (-1: nothing selected).
std::string ItemAnsi(const QComboBox* box, int index);

// The row of the entry equal to the name ignoring case, or -1.
int FindRow(const QListWidget* list, const std::string& ansi);
int FindItem(const QComboBox* box, const std::string& ansi);
// The same for a list in the address book's sort order, found by that order.
int FindSortedRow(const QListWidget* list, const std::string& ansi);
// Inserts at the place the address book sorts the name to and returns the row.
int InsertSorted(QListWidget* list, QListWidgetItem* item);
// Fills an empty list in one go (for thousands of names, one insertion each would be slow).
void FillList(QListWidget* list, const std::vector<std::string>& names, bool checkable);

}  // namespace pelmora
