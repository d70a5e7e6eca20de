#pragma once
// The groups of the address book: named sets of names that a message or a ping can address at
// once. The collection keeps its groups in insertion order, because the group selectors of the
// main window and the options dialog use a list position directly as an index into it.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/NameList.h"

namespace pelmora {

class TGrupo {
 public:
  TGrupo() = default;
  explicit TGrupo(std::string name) : name_(std::move(name)) {}

  // Set when the group is made and never changed: the collection finds groups by it.
  const std::string& Name() const { return name_; }

  // Sorted, case-insensitive, no duplicates. The options dialog edits it directly.
  TNameList& Members() { return members_; }
  const TNameList& Members() const { return members_; }

  // Deletes the member equal to the name ignoring case; no such member changes nothing.
  void RemoveMember(std::string_view name) { members_.Remove(name); }

 private:
  std::string name_;
  TNameList members_;
};

class TGrupos {
 public:
  TGrupos() = default;
  TGrupos(TGrupos&&) noexcept = default;
  TGrupos& operator=(TGrupos&&) noexcept = default;
  TGrupos(const TGrupos&) = delete;
  TGrupos& operator=(const TGrupos&) = delete;

  int Count() const { return static_cast<int>(groups_.size()); }

  // The group at that position. Every caller keeps 0 <= index < Count(); an index outside it is
  // a programming error and throws std::out_of_range (never a read out of bounds). References
  // stay valid until that very group is deleted or the collection cleared.
  TGrupo& Item(int index);
  const TGrupo& Item(int index) const;
  // The same without the throw: nullptr outside 0..Count()-1.
  TGrupo* Find(int index);
  const TGrupo* Find(int index) const;

  // Group names compare exactly, byte for byte: "AMIGOS" and "Amigos" are two groups.
  bool Exists(std::string_view name) const { return IndexOf(name) >= 0; }
  // Position of the first group of exactly that name; -1 when no group has it.
  int IndexOf(std::string_view name) const;

  // Replaces the members of the group of that name (keeping its position), or appends a new
  // group with those members. The members pass through the member list's rules (sorted, first
  // form of a name kept); the caller's list is only read.
  void SetGroup(std::string_view name, const std::vector<std::string>& members);
  void SetGroup(std::string_view name, const TNameList& members);

  // Deletes the group of exactly that name, closing the gap; no such group changes nothing.
  void Delete(std::string_view name);
  void Clear();

  // Removes the name (ignoring case) from the members of every group.
  void RemoveMemberFromAll(std::string_view name);

 private:
  template <typename Names>
  void SetGroupFrom(std::string_view name, const Names& members);

  std::vector<std::unique_ptr<TGrupo>> groups_;
};

}  // namespace pelmora
