#pragma once
// The slots this process holds, by lower-case name, where a carrier's receiver puts the frames
// meant for them, and the receiver's life: it runs while this process holds at least one slot.
// Both carriers keep them the same way; the slot and receiver types are each platform's own.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace pelmora::platform {

template <class Slot, class Receiver>
class HeldSlots {
 public:
  // Puts a frame's payload into the slot of that name if this process holds it. Under the names
  // lock, so the slot cannot be taken down meanwhile; Deliver never waits for the slot's reader.
  static void Deliver(const std::string& lowerSlot, const std::string& payload) {
    std::lock_guard<std::mutex> lock(NamesMutex());
    const auto it = Held().find(lowerSlot);
    if (it == Held().end()) return;
    it->second->Deliver(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
  }

  static void Register(const std::string& lowerName, Slot* slot) {
    {
      std::lock_guard<std::mutex> lock(NamesMutex());
      Held()[lowerName] = slot;
    }
    std::lock_guard<std::mutex> life(LifeMutex());
    if (++OpenCount() == 1) TheReceiver() = std::make_unique<Receiver>();
  }

  static void Unregister(const std::string& lowerName, Slot* slot) {
    {
      std::lock_guard<std::mutex> lock(NamesMutex());
      auto& held = Held();
      const auto it = held.find(lowerName);
      if (it == held.end() || it->second != slot) return;
      held.erase(it);
    }
    std::lock_guard<std::mutex> life(LifeMutex());
    if (--OpenCount() == 0) TheReceiver().reset();
  }

 private:
  static std::mutex& NamesMutex() {
    static std::mutex m;
    return m;
  }
  static std::map<std::string, Slot*>& Held() {
    static std::map<std::string, Slot*> s;
    return s;
  }
  // Start and stop happen under their own lock, never under the names lock: stopping joins the
  // receiver thread, which takes the names lock for every frame.
  static std::mutex& LifeMutex() {
    static std::mutex m;
    return m;
  }
  static std::unique_ptr<Receiver>& TheReceiver() {
    static std::unique_ptr<Receiver> r;
    return r;
  }
  static int& OpenCount() {
    static int n = 0;
    return n;
  }
};

}  // namespace pelmora::platform
