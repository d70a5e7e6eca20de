#include "app/SettingsIO.h"

#include "messaging/Variables.h"
#include "model/SettingsStore.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora {

TSettingsIO::TSettingsIO(SettingsStore* store, Variables& vars,
                         std::array<TScrollRichEdit*, 3> panes)
    : store_(store), vars_(vars), panes_(panes) {}

WindowSettings TSettingsIO::Current() const {
  WindowSettings s;
  const TScrollRichEdit* reference = panes_[0];
  s.Background = reference->Color();
  for (int i = 0; i < kPaletteCount; ++i)
    s.Palette[static_cast<std::size_t>(i)] = reference->GetPaletteColor(static_cast<std::uint8_t>(i));
  s.HotKeyLetter = hotKeyLetter_;
  return s;
}

void TSettingsIO::Apply(const WindowSettings& settings) {
  for (TScrollRichEdit* pane : panes_) {
    pane->SetColor(settings.Background);
    for (int i = 0; i < kPaletteCount; ++i) {
      pane->SetPaletteColor(static_cast<std::uint8_t>(i),
                            settings.Palette[static_cast<std::size_t>(i)]);
    }
  }
  hotKeyLetter_ = settings.HotKeyLetter;
}

MigrationResult TSettingsIO::LoadAtStart(const std::string& legacyPath) {
  if (store_ == nullptr) return MigrationResult::NoLegacyFile;
  WindowSettings s = Current();
  const MigrationResult result = LoadStartupSettingsOnly(*store_, legacyPath, vars_, s);
  Apply(s);
  if (result == MigrationResult::Loaded) pendingLegacyPath_ = legacyPath;
  return result;
}

MigrationResult TSettingsIO::CompleteMigration() {
  if (store_ == nullptr || pendingLegacyPath_.empty()) return MigrationResult::NoLegacyFile;
  const std::string path = std::move(pendingLegacyPath_);
  pendingLegacyPath_.clear();
  return pelmora::CompleteMigration(*store_, path, vars_, Current());
}

void TSettingsIO::Load() {
  if (store_ == nullptr) return;
  WindowSettings s = Current();
  LoadSettings(*store_, vars_, s);
  Apply(s);
}

bool TSettingsIO::Save() {
  if (store_ == nullptr) return false;
  return SaveSettings(*store_, vars_, Current());
}

void TSettingsIO::RememberSender(const std::string& sender) {
  if (store_ != nullptr) {
    RememberNewSender(*store_, vars_, sender);
  } else if (!sender.empty()) {
    vars_.NameList.Add(sender);
  }
}

}  // namespace pelmora
