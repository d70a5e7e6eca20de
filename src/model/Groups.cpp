#include "model/Groups.h"

#include <stdexcept>

namespace pelmora {

TGrupo& TGrupos::Item(int index) {
  if (TGrupo* g = Find(index)) return *g;
  throw std::out_of_range("TGrupos::Item: index " + std::to_string(index) + " outside 0.." +
                          std::to_string(Count() - 1));
}

const TGrupo& TGrupos::Item(int index) const { return const_cast<TGrupos*>(this)->Item(index); }

TGrupo* TGrupos::Find(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return groups_[static_cast<std::size_t>(index)].get();
}

const TGrupo* TGrupos::Find(int index) const { return const_cast<TGrupos*>(this)->Find(index); }

int TGrupos::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < groups_.size(); ++i)
    if (groups_[i]->Name() == name) return static_cast<int>(i);
  return -1;
}

template <typename Names>
void TGrupos::SetGroupFrom(std::string_view name, const Names& members) {
  TGrupo* group = Find(IndexOf(name));
  if (group == nullptr) {
    groups_.push_back(std::make_unique<TGrupo>(std::string(name)));
    group = groups_.back().get();
  }
  // Copy first: the caller may hand in the group's own member list.
  const std::vector<std::string> copy(members.begin(), members.end());
  group->Members().Clear();
  for (const std::string& m : copy) group->Members().Add(m);
}

void TGrupos::SetGroup(std::string_view name, const std::vector<std::string>& members) {
  SetGroupFrom(name, members);
}

void TGrupos::SetGroup(std::string_view name, const TNameList& members) {
  SetGroupFrom(name, members);
}

void TGrupos::Delete(std::string_view name) {
  const int j = IndexOf(name);
  if (j < 0) return;
  groups_.erase(groups_.begin() + j);
}

void TGrupos::Clear() { groups_.clear(); }

void TGrupos::RemoveMemberFromAll(std::string_view name) {
  for (auto& g : groups_) g->RemoveMember(name);
}

}  // namespace pelmora
