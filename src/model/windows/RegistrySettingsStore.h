#pragma once
// The settings in the per-user registry, where the Windows program kept them:
// HKEY_CURRENT_USER\Software\Quendal\Pelmora, one subkey per section, each setting a string
// value. The registry applies every write at once, so there is nothing to put in place at
// `Save()`; it answers whether every write since the last one reached the registry.
//
// Names and values are Windows-1252 in the program and go through the registry's Unicode calls
// converted from and to code page 1252 explicitly, so the stored text is the same whatever
// code page the system runs with. The registry lists a section's values in the order it keeps
// them (the order of writing on Windows, sorted by name under Wine).

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "model/SettingsStore.h"

namespace pelmora {

inline constexpr const char* kRegistrySettingsKey = "Software\\Quendal\\Pelmora";

class RegistrySettingsStore final : public SettingsStore {
 public:
  // Opens `keyPath` under HKEY_CURRENT_USER, creating it when it is missing.
  explicit RegistrySettingsStore(std::string keyPath = kRegistrySettingsKey);
  ~RegistrySettingsStore() override;
  RegistrySettingsStore(const RegistrySettingsStore&) = delete;
  RegistrySettingsStore& operator=(const RegistrySettingsStore&) = delete;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;
  std::vector<std::string> SectionKeys(std::string_view section) const override;
  bool SectionExists(std::string_view section) const override;
  void EraseSection(std::string_view section) override;
  bool Save() override;

  // False when the key could neither be opened nor created; the store then reads as empty and
  // every save fails.
  bool Opened() const { return root_ != nullptr; }
  const std::string& KeyPath() const { return keyPath_; }

 private:
  void Failed(const std::string& what);

  std::string keyPath_;
  HKEY root_ = nullptr;
  bool writeFailed_ = false;
  bool saidFailure_ = false;
};

}  // namespace pelmora
