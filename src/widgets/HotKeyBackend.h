#pragma once
// HotKeyBackend: the desktop service behind THotKeyManager. It takes a key combination for the
// whole desktop under an identifier and reports each press of it by that identifier.
//
// Combinations are given the way the hot-key tables hold them: a Windows virtual-key code
// (0x41 'A', 0x70 F1, 0x22 Page down, ...) and a modifier mask (1 Alt, 2 Ctrl, 4 Shift). Each
// backend maps them to its own desktop. The X11 one lives in widgets/x11/; tests use a fake.

#include <cstdint>
#include <functional>

namespace pelmora {

// Modifier bits of a combination, as the hot-key tables sum them.
inline constexpr std::uint32_t kHotKeyModAlt = 1;
inline constexpr std::uint32_t kHotKeyModControl = 2;
inline constexpr std::uint32_t kHotKeyModShift = 4;

class HotKeyBackend {
 public:
  // Called on the GUI thread with the identifier of the combination that was pressed.
  using ActivationHandler = std::function<void(std::uint32_t id)>;

  virtual ~HotKeyBackend() = default;

  // Takes the combination for the whole desktop under `id`, replacing what `id` held before.
  // False when it is not taken: another program holds it, the key does not exist on this
  // keyboard, or this desktop offers no global keys. The caller may ignore the answer; a later
  // Unregister(id) is harmless either way.
  virtual bool Register(std::uint32_t id, std::uint32_t modifiers, std::uint32_t virtualKey) = 0;

  // Gives back what `id` holds; nothing happens for an identifier that holds nothing.
  virtual void Unregister(std::uint32_t id) = 0;

  // Where presses go. One handler; setting another replaces it, an empty one drops presses.
  virtual void SetActivationHandler(ActivationHandler handler) = 0;

  // Whether this desktop offers global keys at all (false, for example, on Wayland).
  virtual bool Available() const = 0;
};

}  // namespace pelmora
