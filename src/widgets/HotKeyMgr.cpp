#include "widgets/HotKeyMgr.h"

#include "text/CodePage.h"

namespace pelmora {

namespace hotkeys {
namespace {

struct KeyEntry {
  const char* name;
  std::uint32_t code;
};

// Entry 0 is "no key". Letters, digits (0 after 9, as on the keyboard), F1..F12, then the
// navigation keys under the names the options have always shown.
const std::array<KeyEntry, kKeyCount> kKeys = {{
    {"", 0},
    {"A", 0x41},
    {"B", 0x42},
    {"C", 0x43},
    {"D", 0x44},
    {"E", 0x45},
    {"F", 0x46},
    {"G", 0x47},
    {"H", 0x48},
    {"I", 0x49},
    {"J", 0x4A},
    {"K", 0x4B},
    {"L", 0x4C},
    {"M", 0x4D},
    {"N", 0x4E},
    {"O", 0x4F},
    {"P", 0x50},
    {"Q", 0x51},
    {"R", 0x52},
    {"S", 0x53},
    {"T", 0x54},
    {"U", 0x55},
    {"V", 0x56},
    {"W", 0x57},
    {"X", 0x58},
    {"Y", 0x59},
    {"Z", 0x5A},
    {"1", 0x31},
    {"2", 0x32},
    {"3", 0x33},
    {"4", 0x34},
    {"5", 0x35},
    {"6", 0x36},
    {"7", 0x37},
    {"8", 0x38},
    {"9", 0x39},
    {"0", 0x30},
    {"F1", 0x70},
    {"F2", 0x71},
    {"F3", 0x72},
    {"F4", 0x73},
    {"F5", 0x74},
    {"F6", 0x75},
    {"F7", 0x76},
    {"F8", 0x77},
    {"F9", 0x78},
    {"F10", 0x79},
    {"F11", 0x7A},
    {"F12", 0x7B},
    {"Up", 0x26},
    {"Down", 0x28},
    {"Left", 0x25},
    {"Right", 0x27},
    {"Echap", 0x1B},
    {"Tab", 0x09},
    {"Insert", 0x2D},
    {"Delete", 0x2E},
    {"Home", 0x24},
    {"End", 0x23},
    {"Page up", 0x21},
    {"Page down", 0x22},
}};

}  // namespace

std::string_view KeyName(int index) {
  if (index < 0 || index >= kKeyCount) return {};
  return kKeys[static_cast<std::size_t>(index)].name;
}

std::uint32_t KeyCode(int index) {
  if (index < 0 || index >= kKeyCount) return 0;
  return kKeys[static_cast<std::size_t>(index)].code;
}

int KeyIndexOf(std::string_view name) {
  for (int i = 1; i < kKeyCount; ++i) {
    if (text::EqualsIgnoreAsciiCase(name, KeyName(i))) return i;
  }
  return 0;
}

}  // namespace hotkeys

std::uint32_t HotKeyModifiers(TShiftState state) {
  std::uint32_t mods = 0;
  if (state & ssAlt) mods |= kHotKeyModAlt;
  if (state & ssCtrl) mods |= kHotKeyModControl;
  if (state & ssShift) mods |= kHotKeyModShift;
  return mods;
}

// ---- THotKeyItem ----

THotKeyItem::THotKeyItem(THotKeyCollection* collection, int id)
    : collection_(collection), id_(id) {}

THotKeyItem::~THotKeyItem() { UnregisterItem(); }

std::string THotKeyItem::HotKey() const { return std::string(hotkeys::KeyName(keyIndex_)); }

void THotKeyItem::SetHotKey(std::string_view name) {
  keyIndex_ = hotkeys::KeyIndexOf(name);
  RegisterItem();
}

void THotKeyItem::SetShiftState(TShiftState state) {
  shiftState_ = state & (ssShift | ssAlt | ssCtrl);
  RegisterItem();
}

int THotKeyItem::Index() const { return collection_ ? collection_->IndexOf(this) : -1; }

void THotKeyItem::Assign(const THotKeyItem& other) {
  SetHotKey(other.HotKey());
  SetShiftState(other.ShiftState());
}

std::string THotKeyItem::DisplayName() const {
  if (keyIndex_ == 0) return "THotKeyItem";
  if (!name_.empty()) return name_;
  std::string out;
  auto add = [&out](std::string_view part) {
    if (!out.empty()) out += " + ";
    out += part;
  };
  if (shiftState_ & ssAlt) add("Alt");
  if (shiftState_ & ssCtrl) add("Ctrl");
  if (shiftState_ & ssShift) add("Shift");
  add(hotkeys::KeyName(keyIndex_));
  return out;
}

std::string THotKeyItem::NamePath() const {
  if (!collection_) return "THotKeyItem";
  std::string source = name_;
  if (source.empty() && keyIndex_ != 0) source = DisplayName();
  std::string kept;
  for (char c : source) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) kept += c;
  }
  if (kept.empty()) kept = std::to_string(Index());
  return collection_->NamePath() + "[" + kept + "]";
}

void THotKeyItem::RegisterItem() {
  if (hotKeyId_ != 0) UnregisterItem();
  if (keyIndex_ == 0) return;
  hotKeyId_ = hotkeys::kFirstHotKeyId + static_cast<std::uint32_t>(id_);
  HotKeyBackend* backend =
      collection_ && collection_->Owner() ? collection_->Owner()->Backend() : nullptr;
  // A refused combination leaves the item looking registered: the backend has already said so
  // on stderr, and the identifier is still what a later unregister gives back.
  if (backend)
    backend->Register(hotKeyId_, HotKeyModifiers(shiftState_), hotkeys::KeyCode(keyIndex_));
}

void THotKeyItem::UnregisterItem() {
  if (hotKeyId_ == 0) return;
  HotKeyBackend* backend =
      collection_ && collection_->Owner() ? collection_->Owner()->Backend() : nullptr;
  if (backend) backend->Unregister(hotKeyId_);
  hotKeyId_ = 0;
}

// ---- THotKeyCollection ----

THotKeyCollection::~THotKeyCollection() { Clear(); }

THotKeyItem* THotKeyCollection::Add() {
  items_.push_back(std::unique_ptr<THotKeyItem>(new THotKeyItem(this, nextId_++)));
  return items_.back().get();
}

void THotKeyCollection::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

void THotKeyCollection::Clear() {
  // Items unregister as they go; the vector is emptied first so that an item's destructor never
  // sees a half-destroyed collection.
  std::vector<std::unique_ptr<THotKeyItem>> gone;
  gone.swap(items_);
  gone.clear();
}

THotKeyItem* THotKeyCollection::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<std::size_t>(index)].get();
}

int THotKeyCollection::IndexOf(const THotKeyItem* item) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == item) return static_cast<int>(i);
  }
  return -1;
}

void THotKeyCollection::Assign(const THotKeyCollection& other) {
  if (&other == this) return;
  Clear();
  for (int i = 0; i < other.Count(); ++i) Add()->Assign(*other.Items(i));
}

std::string THotKeyCollection::NamePath() const {
  return (owner_ ? owner_->Name() : std::string()) + ".HotKeys";
}

// ---- THotKeyManager ----

THotKeyManager::THotKeyManager(HotKeyBackend* backend, std::string name)
    : backend_(backend), name_(std::move(name)), hotKeys_(this) {
  if (backend_) backend_->SetActivationHandler([this](std::uint32_t id) { HotKeyHook(id); });
}

THotKeyManager::~THotKeyManager() {
  if (backend_) backend_->SetActivationHandler({});
  hotKeys_.Clear();
}

void THotKeyManager::Loaded() {
  for (int i = 0; i < hotKeys_.Count(); ++i) {
    THotKeyItem* item = hotKeys_.Items(i);
    item->UnregisterItem();
    item->RegisterItem();
  }
}

bool THotKeyManager::HotKeyHook(std::uint32_t id) {
  if (id == 0) return false;
  for (int i = 0; i < hotKeys_.Count(); ++i) {
    THotKeyItem* item = hotKeys_.Items(i);
    if (item->HotKeyID() != id) continue;
    if (item->OnHotKeyActivation) item->OnHotKeyActivation(item);
    return true;
  }
  return false;
}

}  // namespace pelmora
