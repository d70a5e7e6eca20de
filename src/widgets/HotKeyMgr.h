#pragma once
// THotKeyManager: a collection of system-wide hot keys. Each THotKeyItem is a key with a set of
// modifiers (Shift, Alt, Ctrl); the manager registers each combination through a HotKeyBackend
// and, when the backend reports a press, fires that item's OnHotKeyActivation.
//
// Keys are named by a fixed table of 61 entries (entry 0 = no key); names are looked up ignoring
// letter case, and an unknown name leaves the item without a key. An item registers under the
// identifier 0xA000 + its collection-wide ID, and keeps that identifier even when the desktop
// refused the combination, so that unregistering stays symmetric.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "widgets/HotKeyBackend.h"

namespace pelmora {

namespace hotkeys {

inline constexpr int kKeyCount = 61;  // entries of the tables, 0 included
inline constexpr std::uint32_t kFirstHotKeyId = 0xA000;

// Name and virtual-key code of table entry `index` (0..60); "" and 0 outside the table.
std::string_view KeyName(int index);
std::uint32_t KeyCode(int index);
// The first entry 1..60 whose name equals `name` ignoring ASCII letter case; 0 for none.
int KeyIndexOf(std::string_view name);

}  // namespace hotkeys

// Modifier set of an item: bit 0 Shift, bit 1 Alt, bit 2 Ctrl.
using TShiftState = std::uint8_t;
inline constexpr TShiftState ssShift = 1;
inline constexpr TShiftState ssAlt = 2;
inline constexpr TShiftState ssCtrl = 4;

// The backend's modifier mask for a shift state: Alt 1, Ctrl 2, Shift 4.
std::uint32_t HotKeyModifiers(TShiftState state);

class THotKeyManager;
class THotKeyCollection;

class THotKeyItem {
 public:
  using Handler = std::function<void(THotKeyItem* sender)>;

  ~THotKeyItem();
  THotKeyItem(const THotKeyItem&) = delete;
  THotKeyItem& operator=(const THotKeyItem&) = delete;

  // Name of the table entry; "" without a key.
  std::string HotKey() const;
  // Looks `name` up ignoring case (an unknown name means no key) and registers again.
  void SetHotKey(std::string_view name);
  TShiftState ShiftState() const { return shiftState_; }
  void SetShiftState(TShiftState state);
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  Handler OnHotKeyActivation;

  int KeyIndex() const { return keyIndex_; }
  // The identifier registered with the backend; 0 while not registered.
  std::uint32_t HotKeyID() const { return hotKeyId_; }
  // Collection-wide identifier (0 for the first item ever created in the collection) and
  // position in the collection.
  int ID() const { return id_; }
  int Index() const;
  THotKeyCollection* Collection() const { return collection_; }

  // Copies HotKey, then ShiftState (each registering again); not Name, not the handler.
  void Assign(const THotKeyItem& other);

  // "THotKeyItem" without a key; else Name, or "Alt + Ctrl + Shift + key" for the parts that
  // apply when Name is empty.
  std::string DisplayName() const;
  // "<collection path>[<letters and digits of Name or DisplayName>]", or "[<Index>]" when
  // nothing is left of them.
  std::string NamePath() const;

  void RegisterItem();
  void UnregisterItem();

 private:
  friend class THotKeyCollection;
  THotKeyItem(THotKeyCollection* collection, int id);

  THotKeyCollection* collection_;
  int id_;
  std::string name_;
  int keyIndex_ = 0;
  TShiftState shiftState_ = 0;
  std::uint32_t hotKeyId_ = 0;
};

class THotKeyCollection {
 public:
  explicit THotKeyCollection(THotKeyManager* owner) : owner_(owner) {}
  THotKeyCollection(const THotKeyCollection&) = delete;
  THotKeyCollection& operator=(const THotKeyCollection&) = delete;
  ~THotKeyCollection();

  THotKeyItem* Add();
  void Delete(int index);
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  THotKeyItem* Items(int index) const;
  int IndexOf(const THotKeyItem* item) const;
  THotKeyManager* Owner() const { return owner_; }
  // Replaces the items by copies (HotKey and ShiftState, as Assign copies) of `other`'s.
  void Assign(const THotKeyCollection& other);
  std::string NamePath() const;

 private:
  THotKeyManager* owner_;
  std::vector<std::unique_ptr<THotKeyItem>> items_;
  int nextId_ = 0;
};

class THotKeyManager {
 public:
  // `backend` may be null (no global keys: items keep their identifiers, nothing is taken). Not
  // owned; it must outlive the manager. The manager becomes the backend's activation handler.
  explicit THotKeyManager(HotKeyBackend* backend, std::string name = "HotKeyManager");
  ~THotKeyManager();
  THotKeyManager(const THotKeyManager&) = delete;
  THotKeyManager& operator=(const THotKeyManager&) = delete;

  THotKeyCollection& HotKeys() { return hotKeys_; }
  const THotKeyCollection& HotKeys() const { return hotKeys_; }
  void SetHotKeys(const THotKeyCollection& other) { hotKeys_.Assign(other); }

  // Registers every item again (each unregistered first).
  void Loaded();

  // A press reported for `id`: fires the first item registered under it. True when an item
  // holds `id` (whether or not it has a handler), false otherwise.
  bool HotKeyHook(std::uint32_t id);

  const std::string& Name() const { return name_; }
  HotKeyBackend* Backend() const { return backend_; }

 private:
  HotKeyBackend* backend_;
  std::string name_;
  THotKeyCollection hotKeys_;
};

}  // namespace pelmora
