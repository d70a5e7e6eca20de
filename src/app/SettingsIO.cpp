#include "app/SettingsIO.h"

#include "messaging/Variables.h"
#include "model/SettingsStore.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora {

SettingsIO::SettingsIO(SettingsStore* store, Variables& vars, std::array<TScrollRichEdit*, 3> panes)
    : store_(store), vars_(vars), panes_(panes) {
  senderSave_.setSingleShot(true);
  senderSave_.setInterval(kSenderSaveDelayMs);
  // Not restarted by later arrivals: under a steady stream the names still reach the file.
  QObject::connect(&senderSave_, &QTimer::timeout, [this] {
    if (store_ != nullptr) store_->Save();
  });
}

SettingsIO::~SettingsIO() {
  if (senderSave_.isActive() && store_ != nullptr) store_->Save();
}

void SettingsIO::SetWindow(const WindowSettings& settings) {
  window_ = settings;
  for (TScrollRichEdit* pane : panes_) {
    pane->SetColor(settings.Background);
    for (int i = 0; i < kPaletteCount; ++i) {
      pane->SetPaletteColor(static_cast<std::uint8_t>(i),
                            settings.Palette[static_cast<std::size_t>(i)]);
    }
  }
}

MigrationResult SettingsIO::LoadAtStart(const std::string& legacyPath) {
  if (store_ == nullptr) return MigrationResult::NoLegacyFile;
  WindowSettings s = window_;
  const MigrationResult result = LoadStartupSettingsOnly(*store_, legacyPath, vars_, s);
  SetWindow(s);
  stored_ = CaptureSettings(vars_, s);
  if (result == MigrationResult::Loaded) pendingLegacyPath_ = legacyPath;
  return result;
}

MigrationResult SettingsIO::CompleteMigration() {
  if (store_ == nullptr || pendingLegacyPath_.empty()) return MigrationResult::NoLegacyFile;
  const std::string path = std::move(pendingLegacyPath_);
  pendingLegacyPath_.clear();
  stored_ = CaptureSettings(vars_, window_);
  return pelmora::CompleteMigration(*store_, path, vars_, window_);
}

void SettingsIO::Load() {
  if (store_ == nullptr) return;
  WindowSettings s = window_;
  LoadSettings(*store_, vars_, s);
  SetWindow(s);
  stored_ = CaptureSettings(vars_, s);
}

bool SettingsIO::Save() {
  if (store_ == nullptr) return false;
  const SettingsModel now = CaptureSettings(vars_, window_);
  WriteSettings(*store_, now, &stored_);
  // Written into the store either way: a store that could not save keeps the changes and puts
  // them into the file at its next save.
  stored_ = now;
  senderSave_.stop();
  return store_->Save();
}

void SettingsIO::RememberSender(const std::string& sender) {
  if (store_ == nullptr) {
    if (!sender.empty()) vars_.NameList.Add(sender);
    return;
  }
  if (!AddNewSender(*store_, vars_, sender)) return;
  // Written already: the next save must not count it as a change of its own.
  stored_.Names.Add(sender);
  if (!senderSave_.isActive()) senderSave_.start();
}

}  // namespace pelmora
