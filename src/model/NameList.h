#pragma once
// The sorted list of names that the address book is made of: the known names, the flagged
// names and the members of every group share it.
//
// Names are Windows-1252 bytes. The list stays sorted by the user's collation with letter case
// ignored, looks names up ignoring case, and holds at most one entry of every name ignoring case:
// adding "tejo" to a list that holds "TEJO" leaves "TEJO" where it is and changes nothing.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

// Compares two names the way the address book sorts them: both are turned into wide characters,
// folded to lower case (every letter of Windows-1252, not only a-z) and collated with the C
// library's wcscoll, that is by LC_COLLATE of the process (the program sets the user's locale
// once at start; under the C/POSIX locale this is a plain case-insensitive comparison by code
// point). Two names compare equal exactly when they are equal ignoring case, so the result is a
// strict weak order even where the locale's collation ties two different texts.
// Returns <0, 0 or >0.
int CompareNames(std::string_view a, std::string_view b);

// Equality ignoring letter case (all Windows-1252 letters, e.g. "ÑU" equals "ñu").
bool SameName(std::string_view a, std::string_view b);

class TNameList {
 public:
  using const_iterator = std::vector<std::string>::const_iterator;

  TNameList() = default;
  TNameList(std::initializer_list<std::string_view> names);

  // Inserts the name at its sorted place and returns its index. When the list already holds the
  // name ignoring case, nothing changes and the index of the held entry is returned.
  int Add(std::string_view name);

  // Index of the entry equal to the name ignoring case, or -1.
  int IndexOf(std::string_view name) const;
  int Find(std::string_view name) const { return IndexOf(name); }
  bool Contains(std::string_view name) const { return IndexOf(name) >= 0; }

  // Deletes the entry at that index; an index outside 0..Count()-1 changes nothing.
  void Delete(int index);
  // Deletes the entry equal to the name ignoring case; false when there was none.
  bool Remove(std::string_view name);
  void Clear() { items_.clear(); }

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }

  // The entry at that index. Outside 0..Count()-1 the answer is an empty string, never a read
  // out of bounds.
  const std::string& Item(int index) const;
  const std::string& operator[](int index) const { return Item(index); }

  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }
  const std::vector<std::string>& Items() const { return items_; }

  bool operator==(const TNameList& other) const = default;

 private:
  std::vector<std::string> items_;
};

}  // namespace pelmora
