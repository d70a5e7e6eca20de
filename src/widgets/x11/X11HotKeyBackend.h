#pragma once
// Global hot keys on X11: each combination is grabbed on the root window (XGrabKey through Qt's
// own xcb connection), once plainly and once with each of Caps Lock, Num Lock and both, since the
// server compares the lock modifiers too and a key would otherwise die while a lock is on.
//
// Grabs are checked: a combination another program holds is refused by the server (BadAccess);
// the refusal is said once on stderr and the item simply stays inactive. When the keyboard
// mapping changes (another layout, xmodmap) key codes and the Num Lock modifier may move, so
// every combination is grabbed again.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "widgets/HotKeyBackend.h"

struct xcb_connection_t;

namespace pelmora::x11 {

// X11 key symbol for a Windows virtual-key code of the hot-key tables; 0 for codes the tables
// do not use. Letters give the lower-case symbol, as the keyboard's first level holds them.
std::uint32_t KeySymForVirtualKey(std::uint32_t virtualKey);

// The X modifier mask for a hot-key modifier mask (1 Alt, 2 Ctrl, 4 Shift), Alt being `altMask`.
std::uint16_t XModifiers(std::uint32_t modifiers, std::uint16_t altMask);

// The four masks grabbed for one combination: plain, + Caps Lock, + Num Lock, + both (without
// duplicates when Num Lock has no modifier).
std::vector<std::uint16_t> LockVariants(std::uint16_t mask, std::uint16_t numLockMask);

class X11HotKeyBackend : public QObject, public HotKeyBackend, public QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  X11HotKeyBackend();
  ~X11HotKeyBackend() override;

  bool Register(std::uint32_t id, std::uint32_t modifiers, std::uint32_t virtualKey) override;
  void Unregister(std::uint32_t id) override;
  void SetActivationHandler(ActivationHandler handler) override { handler_ = std::move(handler); }
  bool Available() const override { return connection_ != nullptr; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  // Grabs every combination again with the current keyboard mapping.
  void Regrab();

 private:
  struct Entry {
    std::uint32_t id;
    std::uint32_t modifiers;
    std::uint32_t virtualKey;
    std::uint8_t keycode = 0;  // as grabbed; 0 when not grabbed
    std::uint16_t xmask = 0;   // as grabbed
    bool active = false;
  };

  void ReadKeyboard();
  // The key code that carries a virtual key's symbol in the current mapping; 0 for none.
  std::uint8_t KeycodeFor(std::uint32_t virtualKey) const;
  bool Grab(Entry& entry);
  void Ungrab(Entry& entry);

  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  std::uint8_t xkbFirstEvent_ = 0;  // 0 when the server has no XKEYBOARD
  std::uint16_t numLockMask_ = 0;
  std::uint16_t altMask_ = 0x0008;                   // Mod1 unless the modifier map says otherwise
  std::vector<std::vector<std::uint32_t>> keysyms_;  // per key code, from minKeycode_
  std::uint8_t minKeycode_ = 8;
  bool regrabQueued_ = false;
  bool unavailableSaid_ = false;
  std::vector<Entry> entries_;
  std::set<std::pair<std::uint32_t, std::uint32_t>> refusalsSaid_;
  ActivationHandler handler_;
};

}  // namespace pelmora::x11
