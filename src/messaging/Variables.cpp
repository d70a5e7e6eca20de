#include "messaging/Variables.h"

namespace pelmora {

void Variables::ClearPendingTables() {
  for (auto& e : Outbox) e.Target = kFreeMarker;
  for (auto& e : AckDeadlines) e.Target = kFreeMarker;
}

namespace {
// Both tables answer the highest matching index: the delivery code relies on that when it looks
// for a free entry, and it keeps the two lookups alike.
template <typename Table>
int FindHighest(const Table& table, std::string_view target) {
  for (int i = static_cast<int>(table.size()) - 1; i >= 0; --i)
    if (table[static_cast<std::size_t>(i)].Target == target) return i;
  return -1;
}
}  // namespace

int Variables::FindOutboxEntry(std::string_view target) const {
  return FindHighest(Outbox, target);
}

int Variables::FindAckDeadline(std::string_view target) const {
  return FindHighest(AckDeadlines, target);
}

bool IsInList(std::string_view text, const TNameList& list) { return list.Contains(text); }

std::string StripAmpersands(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '&') out += c;
  return out;
}

std::string FitWidth(std::string_view text, int width) {
  if (width <= 0) return {};
  const auto w = static_cast<std::size_t>(width);
  std::string out(text.substr(0, w));
  out.resize(w, ' ');
  return out;
}

}  // namespace pelmora
