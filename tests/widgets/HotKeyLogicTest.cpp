// The hot-key items over a recording backend, and the banner's arithmetic (fade colours, step
// rule, timer interval), all without a screen.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "widgets/ALScrollingText.h"
#include "widgets/HotKeyMgr.h"
#include "widgets/x11/X11HotKeyBackend.h"

namespace pelmora {
namespace {

// Records what the manager asks of the desktop; can refuse combinations like a busy desktop.
class FakeBackend : public HotKeyBackend {
 public:
  struct Grab {
    std::uint32_t modifiers;
    std::uint32_t key;
    bool operator==(const Grab&) const = default;
  };
  bool Register(std::uint32_t id, std::uint32_t modifiers, std::uint32_t key) override {
    log.push_back("reg " + std::to_string(id));
    if (refuseKey == key) return false;
    held[id] = Grab{modifiers, key};
    return true;
  }
  void Unregister(std::uint32_t id) override {
    log.push_back("unreg " + std::to_string(id));
    held.erase(id);
  }
  void SetActivationHandler(ActivationHandler h) override { handler = std::move(h); }
  bool Available() const override { return true; }

  std::map<std::uint32_t, Grab> held;
  std::vector<std::string> log;
  ActivationHandler handler;
  std::uint32_t refuseKey = 0;
};

TEST(HotKeyTable, NamesCodesAndLookup) {
  EXPECT_EQ(hotkeys::KeyName(0), "");
  EXPECT_EQ(hotkeys::KeyCode(0), 0u);
  EXPECT_EQ(hotkeys::KeyName(1), "A");
  EXPECT_EQ(hotkeys::KeyCode(26), 0x5Au);
  EXPECT_EQ(hotkeys::KeyName(27), "1");
  EXPECT_EQ(hotkeys::KeyName(36), "0");
  EXPECT_EQ(hotkeys::KeyCode(36), 0x30u);
  EXPECT_EQ(hotkeys::KeyName(37), "F1");
  EXPECT_EQ(hotkeys::KeyCode(48), 0x7Bu);
  EXPECT_EQ(hotkeys::KeyName(53), "Echap");
  EXPECT_EQ(hotkeys::KeyCode(53), 0x1Bu);
  EXPECT_EQ(hotkeys::KeyName(60), "Page down");
  EXPECT_EQ(hotkeys::KeyCode(60), 0x22u);
  EXPECT_EQ(hotkeys::KeyName(61), "");
  EXPECT_EQ(hotkeys::KeyName(-1), "");
  // Every name of the table finds its own entry, in any case.
  for (int i = 1; i < hotkeys::kKeyCount; ++i) {
    EXPECT_EQ(hotkeys::KeyIndexOf(hotkeys::KeyName(i)), i) << i;
    std::string lower(hotkeys::KeyName(i));
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    EXPECT_EQ(hotkeys::KeyIndexOf(lower), i) << lower;
  }
  EXPECT_EQ(hotkeys::KeyIndexOf("PgDn"), 0);
  EXPECT_EQ(hotkeys::KeyIndexOf(""), 0);
  EXPECT_EQ(hotkeys::KeyIndexOf("F13"), 0);
  // The modifier sum the desktop is given: Alt 1, Ctrl 2, Shift 4.
  EXPECT_EQ(HotKeyModifiers(ssAlt | ssCtrl), 3u);
  EXPECT_EQ(HotKeyModifiers(ssShift), 4u);
  EXPECT_EQ(HotKeyModifiers(0), 0u);
}

TEST(HotKeyItem, RestoreItemRegistersAndReregisters) {
  FakeBackend backend;
  THotKeyManager manager(&backend);
  THotKeyItem* item = manager.HotKeys().Add();
  item->SetName("Restaurar");
  item->SetShiftState(ssAlt | ssCtrl);  // no key yet: nothing registered
  EXPECT_EQ(item->HotKeyID(), 0u);
  EXPECT_TRUE(backend.held.empty());
  item->SetHotKey("n");
  EXPECT_EQ(item->HotKey(), "N");
  EXPECT_EQ(item->HotKeyID(), 0xA000u);
  ASSERT_EQ(backend.held.count(0xA000), 1u);
  EXPECT_EQ(backend.held[0xA000], (FakeBackend::Grab{3, 0x4E}));

  // A change takes effect at once: the old combination goes, the new one comes.
  backend.log.clear();
  item->SetHotKey("Page down");
  EXPECT_EQ((backend.log), (std::vector<std::string>{"unreg 40960", "reg 40960"}));
  EXPECT_EQ(backend.held[0xA000], (FakeBackend::Grab{3, 0x22}));

  // An unknown name leaves the item without a key and unregistered.
  item->SetHotKey("PgDn");
  EXPECT_EQ(item->HotKey(), "");
  EXPECT_EQ(item->HotKeyID(), 0u);
  EXPECT_TRUE(backend.held.empty());

  // No modifiers: the key alone.
  item->SetShiftState(0);
  item->SetHotKey("F5");
  EXPECT_EQ(backend.held[0xA000], (FakeBackend::Grab{0, 0x74}));

  // Loaded registers every item again, unregistering first.
  backend.log.clear();
  manager.Loaded();
  EXPECT_EQ((backend.log), (std::vector<std::string>{"unreg 40960", "reg 40960"}));
}

TEST(HotKeyItem, RefusedCombinationKeepsItsIdentifier) {
  FakeBackend backend;
  backend.refuseKey = 0x4E;
  THotKeyManager manager(&backend);
  THotKeyItem* item = manager.HotKeys().Add();
  item->SetShiftState(ssAlt | ssCtrl);
  item->SetHotKey("N");
  EXPECT_EQ(item->HotKeyID(), 0xA000u);
  item->UnregisterItem();
  EXPECT_EQ(item->HotKeyID(), 0u);
}

TEST(HotKeyItem, IdentifiersCountAcrossTheCollectionAndDispatchFindsTheItem) {
  FakeBackend backend;
  THotKeyManager manager(&backend);
  THotKeyItem* a = manager.HotKeys().Add();
  THotKeyItem* b = manager.HotKeys().Add();
  a->SetHotKey("A");
  b->SetHotKey("B");
  EXPECT_EQ(a->HotKeyID(), 0xA000u);
  EXPECT_EQ(b->HotKeyID(), 0xA001u);
  // Deleting an item gives its combination back; identifiers are never reused.
  manager.HotKeys().Delete(0);
  EXPECT_EQ(backend.held.count(0xA000), 0u);
  THotKeyItem* c = manager.HotKeys().Add();
  c->SetHotKey("C");
  EXPECT_EQ(c->HotKeyID(), 0xA002u);
  EXPECT_EQ(c->Index(), 1);

  std::vector<THotKeyItem*> fired;
  c->OnHotKeyActivation = [&fired](THotKeyItem* sender) { fired.push_back(sender); };
  // Presses come through the backend's handler.
  ASSERT_TRUE(backend.handler);
  backend.handler(0xA002);
  EXPECT_EQ(fired, (std::vector<THotKeyItem*>{c}));
  // An item without a handler takes the press and does nothing; an unknown id is not taken.
  EXPECT_TRUE(manager.HotKeyHook(0xA001));
  EXPECT_FALSE(manager.HotKeyHook(0xA000));
  EXPECT_FALSE(manager.HotKeyHook(0));
  EXPECT_EQ(fired.size(), 1u);
}

TEST(HotKeyItem, DisplayNameNamePathAndAssign) {
  FakeBackend backend;
  THotKeyManager manager(&backend);
  THotKeyItem* item = manager.HotKeys().Add();
  EXPECT_EQ(item->DisplayName(), "THotKeyItem");
  EXPECT_EQ(item->NamePath(), "HotKeyManager.HotKeys[0]");
  item->SetShiftState(ssShift | ssCtrl);
  item->SetHotKey("F5");
  EXPECT_EQ(item->DisplayName(), "Ctrl + Shift + F5");
  EXPECT_EQ(item->NamePath(), "HotKeyManager.HotKeys[CtrlShiftF5]");
  item->SetShiftState(ssShift | ssCtrl | ssAlt);
  EXPECT_EQ(item->DisplayName(), "Alt + Ctrl + Shift + F5");
  item->SetName("Restaurar");
  EXPECT_EQ(item->DisplayName(), "Restaurar");
  EXPECT_EQ(item->NamePath(), "HotKeyManager.HotKeys[Restaurar]");
  item->SetName("+ - *");  // nothing of it is a letter or digit: the index stands in
  EXPECT_EQ(item->NamePath(), "HotKeyManager.HotKeys[0]");

  THotKeyItem* copy = manager.HotKeys().Add();
  copy->SetName("Other");
  copy->Assign(*item);
  EXPECT_EQ(copy->HotKey(), "F5");
  EXPECT_EQ(copy->ShiftState(), ssShift | ssCtrl | ssAlt);
  EXPECT_EQ(copy->Name(), "Other");
  EXPECT_FALSE(copy->OnHotKeyActivation);
}

TEST(HotKeyItem, ManagerWithoutBackendAndDestruction) {
  FakeBackend backend;
  {
    THotKeyManager manager(&backend);
    manager.HotKeys().Add()->SetHotKey("Z");
    EXPECT_EQ(backend.held.size(), 1u);
  }
  // The manager gave its combination back and no longer takes presses.
  EXPECT_TRUE(backend.held.empty());
  EXPECT_FALSE(backend.handler);

  THotKeyManager bare(nullptr);
  THotKeyItem* item = bare.HotKeys().Add();
  item->SetHotKey("N");
  EXPECT_EQ(item->HotKeyID(), 0xA000u);
  EXPECT_TRUE(bare.HotKeyHook(0xA000));
}

TEST(X11HotKeyMapping, KeySymbolsModifiersAndLockVariants) {
  EXPECT_EQ(x11::KeySymForVirtualKey(0x4E), 0x6Eu);  // n
  EXPECT_EQ(x11::KeySymForVirtualKey(0x30), 0x30u);
  EXPECT_EQ(x11::KeySymForVirtualKey(0x70), 0xFFBEu);  // F1
  EXPECT_EQ(x11::KeySymForVirtualKey(0x7B), 0xFFC9u);  // F12
  EXPECT_EQ(x11::KeySymForVirtualKey(0x22), 0xFF56u);  // Next
  EXPECT_EQ(x11::KeySymForVirtualKey(0x2E), 0xFFFFu);  // Delete
  EXPECT_EQ(x11::KeySymForVirtualKey(0x99), 0u);
  // Every key of the table has a symbol.
  for (int i = 1; i < hotkeys::kKeyCount; ++i)
    EXPECT_NE(x11::KeySymForVirtualKey(hotkeys::KeyCode(i)), 0u) << i;

  EXPECT_EQ(x11::XModifiers(3, 0x08), 0x0C);  // Ctrl + Mod1
  EXPECT_EQ(x11::XModifiers(7, 0x08), 0x0D);
  EXPECT_EQ(x11::XModifiers(1, 0x40), 0x40);  // Alt found on Mod4
  EXPECT_EQ(x11::LockVariants(0x0C, 0x10), (std::vector<std::uint16_t>{0x0C, 0x0E, 0x1C, 0x1E}));
  // Without a Num Lock modifier only Caps Lock is added.
  EXPECT_EQ(x11::LockVariants(0x0C, 0), (std::vector<std::uint16_t>{0x0C, 0x0E}));
}

// ---- the banner's arithmetic ----

TEST(ScrollingTextLogic, FadeColoursOfTheProgramsBanner) {
  // Black to aqua (0x00FFFF00 as BGR: green and blue 255) over 15 columns.
  const int expected[15] = {0, 18, 36, 55, 73, 91, 109, 128, 146, 164, 182, 200, 219, 237, 255};
  for (int i = 0; i < 15; ++i) {
    const TColor c = scrolling::FadeColorRgb(clBlack, clAqua, i + 1, 15);
    EXPECT_EQ(c & 0xFF, 0u) << i;
    EXPECT_EQ((c >> 8) & 0xFF, static_cast<TColor>(expected[i])) << i;
    EXPECT_EQ((c >> 16) & 0xFF, static_cast<TColor>(expected[i])) << i;
  }
  // Falling channels round halves away from zero too (255 -> 0 over 15: 127.5 -> 127.5 = 128 down).
  EXPECT_EQ(scrolling::FadeColorRgb(clWhite, clBlack, 8, 15), 0x7F7F7Fu);
  EXPECT_EQ(scrolling::FadeColorRgb(clRed, clBlue, 1, 2), clRed);
  EXPECT_EQ(scrolling::FadeColorRgb(clRed, clBlue, 2, 2), clBlue);
}

TEST(ScrollingTextLogic, FadeColourRangeAndSingleColumn) {
  try {
    scrolling::FadeColorRgb(clBlack, clWhite, 0, 15);
    FAIL() << "index 0 accepted";
  } catch (const ERangeError& e) {
    EXPECT_STREQ(e.what(), "ColorIndex can't be less than 1 or greater than 15");
  }
  EXPECT_THROW(scrolling::FadeColorRgb(clBlack, clWhite, 16, 15), ERangeError);
  EXPECT_THROW(scrolling::FadeColorRgb(clBlack, clWhite, 1, 0), ERangeError);
  // A fade one column wide: that column is the background colour, with no division by zero.
  EXPECT_EQ(scrolling::FadeColorRgb(clNavy, clYellow, 1, 1), clNavy);
}

TEST(ScrollingTextLogic, StepRuleWrapsWhileTheBannerIsEmpty) {
  // Width 73, text 100: strip 246, limit -173.
  int offset = scrolling::StartOffset(TTextDirection::tdRightToLeft, 73, 246);
  EXPECT_EQ(offset, 0);
  std::vector<int> seen;
  for (int i = 0; i < 88; ++i) {
    offset = scrolling::NextTextOffset(offset, 2, TTextDirection::tdRightToLeft, 73, 246);
    seen.push_back(offset);
  }
  EXPECT_EQ(seen[0], -2);
  EXPECT_EQ(seen[85], -172);
  EXPECT_EQ(seen[86], 0);  // -174 is at or past the limit
  EXPECT_EQ(seen[87], -2);

  // Left to right starts with the text about to enter from the left and wraps at 0.
  offset = scrolling::StartOffset(TTextDirection::tdLeftToRight, 73, 246);
  EXPECT_EQ(offset, -173);
  EXPECT_EQ(scrolling::NextTextOffset(-2, 2, TTextDirection::tdLeftToRight, 73, 246), -173);
  EXPECT_EQ(scrolling::NextTextOffset(-3, 2, TTextDirection::tdLeftToRight, 73, 246), -1);
  // A jump near the integer limit wraps the strip, not the number.
  EXPECT_EQ(scrolling::NextTextOffset(-5, 2147483647, TTextDirection::tdLeftToRight, 73, 246),
            -173);
  EXPECT_EQ(scrolling::NextTextOffset(-5, 2147483647, TTextDirection::tdRightToLeft, 73, 246), 0);

  EXPECT_EQ(scrolling::TextRow(TTextLayout::tlCenter, 17, 14), 1);
  EXPECT_EQ(scrolling::TextRow(TTextLayout::tlCenter, 10, 15), -2);  // truncating toward zero
  EXPECT_EQ(scrolling::TextRow(TTextLayout::tlBottom, 17, 14), 3);
  EXPECT_EQ(scrolling::TextRow(TTextLayout::tlTop, 17, 14), 0);
}

TEST(ScrollingTextLogic, TimerIntervals) {
  EXPECT_EQ(scrolling::TimerInterval(1), 16);  // the program's banner
  EXPECT_EQ(scrolling::TimerInterval(15), 16);
  EXPECT_EQ(scrolling::TimerInterval(16), 16);
  EXPECT_EQ(scrolling::TimerInterval(50), 50);
  EXPECT_EQ(scrolling::TimerInterval(0), 0);
  EXPECT_EQ(scrolling::TimerInterval(-7), 0);
}

}  // namespace
}  // namespace pelmora
