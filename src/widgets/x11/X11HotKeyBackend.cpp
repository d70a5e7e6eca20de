#include "widgets/x11/X11HotKeyBackend.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "widgets/HotKeyMgr.h"
#include "widgets/x11/X11Desktop.h"

namespace pelmora::x11 {

namespace {

constexpr std::uint16_t kShiftMask = 0x0001;
constexpr std::uint16_t kLockMask = 0x0002;
constexpr std::uint16_t kControlMask = 0x0004;

constexpr std::uint32_t kXkNumLock = 0xFF7F;
constexpr std::uint32_t kXkAltL = 0xFFE9;
constexpr std::uint32_t kXkAltR = 0xFFEA;
constexpr std::uint32_t kXkMetaL = 0xFFE7;

// Modifier bits that take part in matching a press: Shift, Control and Mod1..Mod5, except the
// locks, which are ignored as the grabs were made for every state of them.
constexpr std::uint16_t kMatchMask = 0x00FD;

std::string DescribeCombination(std::uint32_t modifiers, std::uint32_t virtualKey) {
  std::string out;
  if (modifiers & kHotKeyModControl) out += "Ctrl+";
  if (modifiers & kHotKeyModAlt) out += "Alt+";
  if (modifiers & kHotKeyModShift) out += "Shift+";
  for (int i = 1; i < hotkeys::kKeyCount; ++i) {
    if (hotkeys::KeyCode(i) == virtualKey) return out + std::string(hotkeys::KeyName(i));
  }
  return out + "key " + std::to_string(virtualKey);
}

}  // namespace

std::uint32_t KeySymForVirtualKey(std::uint32_t vk) {
  if (vk >= 0x41 && vk <= 0x5A) return vk + 0x20;             // 'a'..'z'
  if (vk >= 0x30 && vk <= 0x39) return vk;                    // '0'..'9'
  if (vk >= 0x70 && vk <= 0x7B) return 0xFFBE + (vk - 0x70);  // F1..F12
  switch (vk) {
    case 0x26:
      return 0xFF52;  // Up
    case 0x28:
      return 0xFF54;  // Down
    case 0x25:
      return 0xFF51;  // Left
    case 0x27:
      return 0xFF53;  // Right
    case 0x1B:
      return 0xFF1B;  // Escape
    case 0x09:
      return 0xFF09;  // Tab
    case 0x2D:
      return 0xFF63;  // Insert
    case 0x2E:
      return 0xFFFF;  // Delete
    case 0x24:
      return 0xFF50;  // Home
    case 0x23:
      return 0xFF57;  // End
    case 0x21:
      return 0xFF55;  // Prior (Page up)
    case 0x22:
      return 0xFF56;  // Next (Page down)
    default:
      return 0;
  }
}

std::uint16_t XModifiers(std::uint32_t modifiers, std::uint16_t altMask) {
  std::uint16_t mask = 0;
  if (modifiers & kHotKeyModAlt) mask |= altMask;
  if (modifiers & kHotKeyModControl) mask |= kControlMask;
  if (modifiers & kHotKeyModShift) mask |= kShiftMask;
  return mask;
}

std::vector<std::uint16_t> LockVariants(std::uint16_t mask, std::uint16_t numLockMask) {
  std::vector<std::uint16_t> out{mask, static_cast<std::uint16_t>(mask | kLockMask)};
  if (numLockMask != 0 && numLockMask != kLockMask) {
    out.push_back(static_cast<std::uint16_t>(mask | numLockMask));
    out.push_back(static_cast<std::uint16_t>(mask | numLockMask | kLockMask));
  }
  return out;
}

X11HotKeyBackend::X11HotKeyBackend() {
  auto* app = qGuiApp;
  // Not X11 (Wayland, offscreen): Register answers false, nothing is grabbed. Other platforms
  // may still hand out the interface, with no connection behind it.
  if (!app || QGuiApplication::platformName() != QLatin1String("xcb")) return;
  auto* native = app->nativeInterface<QNativeInterface::QX11Application>();
  if (!native || !native->connection()) return;
  connection_ = native->connection();
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  if (!it.rem) {
    connection_ = nullptr;
    return;
  }
  root_ = it.data->root;

  // Qt keeps its keymap through XKB, and a server with XKB tells mapping changes as XKB events;
  // their base number tells them apart.
  static const char kXkb[] = "XKEYBOARD";
  xcb_query_extension_reply_t* ext = xcb_query_extension_reply(
      connection_, xcb_query_extension(connection_, sizeof kXkb - 1, kXkb), nullptr);
  if (ext) {
    if (ext->present) xkbFirstEvent_ = ext->first_event;
    std::free(ext);
  }
  ReadKeyboard();
  TrackUserTime();
  app->installNativeEventFilter(this);
}

X11HotKeyBackend::~X11HotKeyBackend() {
  if (!connection_) return;
  if (qGuiApp) qGuiApp->removeNativeEventFilter(this);
  for (Entry& e : entries_) Ungrab(e);
  xcb_flush(connection_);
}

void X11HotKeyBackend::ReadKeyboard() {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  minKeycode_ = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  keysyms_.assign(static_cast<std::size_t>(count), {});
  xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
      connection_,
      xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<std::uint8_t>(count)),
      nullptr);
  if (map) {
    const int per = map->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    const int total = xcb_get_keyboard_mapping_keysyms_length(map);
    for (int k = 0; k < count && per > 0; ++k) {
      for (int j = 0; j < per && k * per + j < total; ++j) {
        keysyms_[static_cast<std::size_t>(k)].push_back(syms[k * per + j]);
      }
    }
    std::free(map);
  }

  auto holds = [this](std::uint8_t keycode, std::uint32_t sym) {
    if (keycode < minKeycode_) return false;
    const std::size_t k = keycode - minKeycode_;
    if (k >= keysyms_.size()) return false;
    for (std::uint32_t s : keysyms_[k]) {
      if (s == sym) return true;
    }
    return false;
  };

  numLockMask_ = 0;
  altMask_ = 0x0008;
  xcb_get_modifier_mapping_reply_t* mods =
      xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr);
  if (mods) {
    const int per = mods->keycodes_per_modifier;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mods);
    bool altFound = false;
    // Modifiers 0..2 are Shift, Lock and Control; Num Lock and Alt sit on one of Mod1..Mod5.
    for (int m = 3; m < 8; ++m) {
      for (int j = 0; j < per; ++j) {
        const xcb_keycode_t code = codes[m * per + j];
        if (code == 0) continue;
        if (numLockMask_ == 0 && holds(code, kXkNumLock))
          numLockMask_ = static_cast<std::uint16_t>(1u << m);
        if (!altFound && (holds(code, kXkAltL) || holds(code, kXkAltR) || holds(code, kXkMetaL))) {
          altMask_ = static_cast<std::uint16_t>(1u << m);
          altFound = true;
        }
      }
    }
    std::free(mods);
  }
}

std::uint8_t X11HotKeyBackend::KeycodeFor(std::uint32_t virtualKey) const {
  const std::uint32_t sym = KeySymForVirtualKey(virtualKey);
  if (sym == 0) return 0;
  // The key whose levels hold the symbol; a key holding it on its first level is preferred.
  std::uint8_t keycode = 0;
  for (std::size_t k = 0; k < keysyms_.size() && keycode == 0; ++k) {
    if (!keysyms_[k].empty() && keysyms_[k][0] == sym)
      keycode = static_cast<std::uint8_t>(k + minKeycode_);
  }
  for (std::size_t k = 0; k < keysyms_.size() && keycode == 0; ++k) {
    for (std::uint32_t s : keysyms_[k]) {
      if (s == sym) {
        keycode = static_cast<std::uint8_t>(k + minKeycode_);
        break;
      }
    }
  }
  return keycode;
}

bool X11HotKeyBackend::Grab(Entry& entry) {
  entry.active = false;
  entry.keycode = 0;
  const std::uint8_t keycode = KeycodeFor(entry.virtualKey);
  const auto combination = std::make_pair(entry.modifiers, entry.virtualKey);
  if (keycode == 0) {
    if (refusalsSaid_.insert(combination).second) {
      std::fprintf(stderr, "pelmora: the hot key %s has no key on this keyboard\n",
                   DescribeCombination(entry.modifiers, entry.virtualKey).c_str());
    }
    return false;
  }
  entry.keycode = keycode;
  entry.xmask = XModifiers(entry.modifiers, altMask_);

  // Presses are reported to the root window even while one of the program's own windows has the
  // focus (owner_events false), so the filter below sees every one of them.
  std::vector<xcb_void_cookie_t> cookies;
  for (std::uint16_t mask : LockVariants(entry.xmask, numLockMask_)) {
    cookies.push_back(xcb_grab_key_checked(connection_, 0, root_, mask, keycode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  }
  bool refused = false;
  for (xcb_void_cookie_t cookie : cookies) {
    if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
      refused = true;
      std::free(error);
    }
  }
  if (refused) {
    // Another program holds (some state of) it: give back what was taken, so nothing half-works.
    Ungrab(entry);
    entry.keycode = 0;
    if (refusalsSaid_.insert(combination).second) {
      std::fprintf(stderr, "pelmora: the hot key %s is held by another program; it will not work\n",
                   DescribeCombination(entry.modifiers, entry.virtualKey).c_str());
    }
    return false;
  }
  entry.active = true;
  return true;
}

void X11HotKeyBackend::Ungrab(Entry& entry) {
  if (entry.keycode == 0) return;
  // Ungrabbing a combination held by another client does nothing, so this is safe after a
  // partial refusal too.
  for (std::uint16_t mask : LockVariants(entry.xmask, numLockMask_)) {
    xcb_ungrab_key(connection_, entry.keycode, root_, mask);
  }
  xcb_flush(connection_);
  entry.active = false;
}

bool X11HotKeyBackend::Register(std::uint32_t id, std::uint32_t modifiers,
                                std::uint32_t virtualKey) {
  Unregister(id);
  if (!connection_) {
    if (!unavailableSaid_) {
      std::fprintf(stderr,
                   "pelmora: this desktop offers no global hot keys (not X11); %s will not "
                   "bring the window back\n",
                   DescribeCombination(modifiers, virtualKey).c_str());
      unavailableSaid_ = true;
    }
    return false;
  }
  entries_.push_back(Entry{id, modifiers, virtualKey});
  return Grab(entries_.back());
}

void X11HotKeyBackend::Unregister(std::uint32_t id) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->id != id) continue;
    if (connection_) Ungrab(*it);
    entries_.erase(it);
    return;
  }
}

void X11HotKeyBackend::Regrab() {
  regrabQueued_ = false;
  if (!connection_) return;
  const std::uint16_t oldNumLock = numLockMask_;
  std::vector<Entry> before = entries_;
  ReadKeyboard();
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    Entry& e = entries_[i];
    // Most changes (another program binding a spare key code) leave our keys where they were:
    // those grabs stay, so there is no moment in which another program could take them.
    if (e.active && numLockMask_ == oldNumLock && KeycodeFor(e.virtualKey) == e.keycode &&
        XModifiers(e.modifiers, altMask_) == e.xmask) {
      continue;
    }
    // Given back under the old mapping (its Num Lock mask), then taken anew. A combination
    // refused before is tried again: its holder may have let it go.
    const std::uint16_t current = numLockMask_;
    numLockMask_ = oldNumLock;
    Ungrab(before[i]);
    numLockMask_ = current;
    Grab(e);
  }
}

bool X11HotKeyBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (!connection_ || eventType != "xcb_generic_event_t") return false;
  auto* ev = static_cast<xcb_generic_event_t*>(message);
  const std::uint8_t type = ev->response_type & 0x7F;

  if (type == XCB_KEY_PRESS) {
    auto* key = static_cast<xcb_key_press_event_t*>(message);
    if (key->event != root_) return false;
    const std::uint16_t state = key->state & kMatchMask & static_cast<std::uint16_t>(~numLockMask_);
    for (const Entry& e : entries_) {
      if (!e.active || e.keycode != key->detail || e.xmask != state) continue;
      NoteUserTime(key->time);
      const std::uint32_t id = e.id;
      // Handlers show and raise windows; they run after the event, not inside Qt's dispatch.
      QMetaObject::invokeMethod(
          this,
          [this, id] {
            if (handler_) handler_(id);
          },
          Qt::QueuedConnection);
      return true;
    }
    return false;
  }

  const bool mappingChanged =
      (type == XCB_MAPPING_NOTIFY &&
       reinterpret_cast<xcb_mapping_notify_event_t*>(ev)->request != XCB_MAPPING_POINTER) ||
      // XKB's NewKeyboardNotify (0) and MapNotify (1): the second byte is XKB's own event type.
      (xkbFirstEvent_ != 0 && type == xkbFirstEvent_ &&
       (reinterpret_cast<const std::uint8_t*>(ev)[1] == 0 ||
        reinterpret_cast<const std::uint8_t*>(ev)[1] == 1));
  if (mappingChanged && !regrabQueued_ && !entries_.empty()) {
    regrabQueued_ = true;
    // One regrab for a burst of notifications, after Qt has seen them too.
    QMetaObject::invokeMethod(this, &X11HotKeyBackend::Regrab, Qt::QueuedConnection);
  }
  return false;
}

}  // namespace pelmora::x11
