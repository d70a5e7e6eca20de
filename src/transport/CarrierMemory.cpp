#include "transport/CarrierMemory.h"

#include <algorithm>
#include <functional>

#include "text/CodePage.h"

namespace pelmora {

std::size_t ContentDigest(std::string_view destination, std::string_view path,
                          std::string_view payload) {
  std::string all;
  all.reserve(destination.size() + path.size() + payload.size() + 2);
  all.append(destination).append(1, '\0').append(path).append(1, '\0').append(payload);
  return std::hash<std::string>{}(all);
}

bool RecentFrames::FirstCopy(const FrameIdentity& frame, Clock::time_point now) {
  while (!order_.empty() && (now - order_.front().first >= kWindow || order_.size() >= kLimit)) {
    seen_.erase(order_.front().second);
    order_.pop_front();
  }
  if (!seen_.insert(frame).second) return false;
  order_.emplace_back(now, frame);
  return true;
}

void FarSources::Heard(const std::string& name, std::uint32_t address, Clock::time_point now) {
  const std::string key = text::UpperAscii(name);
  if (key.empty()) return;
  if (byName_.size() >= kLimit && byName_.count(key) == 0) {
    const auto oldest = std::min_element(
        byName_.begin(), byName_.end(),
        [](const auto& a, const auto& b) { return a.second.heard < b.second.heard; });
    byName_.erase(oldest);
  }
  byName_[key] = Entry{address, now};
}

void FarSources::HeardNearby(const std::string& name) { byName_.erase(text::UpperAscii(name)); }

std::optional<std::uint32_t> FarSources::AddressOf(const std::string& name,
                                                   Clock::time_point now) const {
  const auto it = byName_.find(text::UpperAscii(name));
  if (it == byName_.end() || now - it->second.heard > kKeep) return std::nullopt;
  return it->second.address;
}

bool InSubnets(std::uint32_t address,
               const std::set<std::pair<std::uint32_t, std::uint32_t>>& subnets) {
  return std::any_of(subnets.begin(), subnets.end(),
                     [&](const auto& s) { return (address & s.second) == (s.first & s.second); });
}

}  // namespace pelmora
