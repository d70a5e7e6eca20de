#include "model/windows/RegistrySettingsStore.h"

#include <iostream>

namespace pelmora {
namespace {

constexpr UINT kAnsi = 1252;
// The longest value name the registry allows, in characters, with its terminator.
constexpr DWORD kLongestValueName = 16384;

std::wstring Wide(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int n =
      MultiByteToWideChar(kAnsi, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(kAnsi, 0, ansi.data(), static_cast<int>(ansi.size()), out.data(), n);
  return out;
}

std::string Ansi(const wchar_t* wide, std::size_t length) {
  if (length == 0) return {};
  const int n =
      WideCharToMultiByte(kAnsi, 0, wide, static_cast<int>(length), nullptr, 0, "?", nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kAnsi, 0, wide, static_cast<int>(length), out.data(), n, "?", nullptr);
  return out;
}

class Key {
 public:
  Key() = default;
  ~Key() {
    if (h_ != nullptr) RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* put() { return &h_; }
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(std::string keyPath) : keyPath_(std::move(keyPath)) {
  if (RegCreateKeyExW(HKEY_CURRENT_USER, Wide(keyPath_).c_str(), 0, nullptr, 0,
                      KEY_READ | KEY_WRITE, nullptr, &root_, nullptr) != ERROR_SUCCESS) {
    root_ = nullptr;
    std::cerr << "pelmora: cannot open the settings key HKEY_CURRENT_USER\\" << keyPath_
              << "; starting with the default settings\n";
  }
}

RegistrySettingsStore::~RegistrySettingsStore() {
  if (root_ != nullptr) RegCloseKey(root_);
}

std::string RegistrySettingsStore::ReadString(std::string_view section, std::string_view key,
                                              std::string_view defaultValue) const {
  Key k;
  if (root_ == nullptr ||
      RegOpenKeyExW(root_, Wide(section).c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_SUCCESS)
    return std::string(defaultValue);
  const std::wstring name = Wide(key);
  // The value may change between the size query and the read; then the size is asked again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return std::string(defaultValue);
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    const LONG r = RegQueryValueExW(k.get(), name.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &got);
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) return std::string(defaultValue);
    std::size_t length = got / sizeof(wchar_t);
    // A string value usually holds its terminating zero; the text is what comes before it.
    while (length > 0 && data[length - 1] == L'\0') --length;
    return Ansi(data.data(), length);
  }
  return std::string(defaultValue);
}

void RegistrySettingsStore::WriteString(std::string_view section, std::string_view key,
                                        std::string_view value) {
  Key k;
  if (root_ == nullptr ||
      RegCreateKeyExW(root_, Wide(section).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(),
                      nullptr) != ERROR_SUCCESS) {
    Failed("cannot create the section " + std::string(section));
    return;
  }
  const std::wstring data = Wide(value);
  const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  if (RegSetValueExW(k.get(), Wide(key).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(data.c_str()), bytes) != ERROR_SUCCESS)
    Failed("cannot write " + std::string(section) + "\\" + std::string(key));
}

std::vector<std::string> RegistrySettingsStore::SectionKeys(std::string_view section) const {
  std::vector<std::string> keys;
  Key k;
  if (root_ == nullptr ||
      RegOpenKeyExW(root_, Wide(section).c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_SUCCESS)
    return keys;
  std::wstring name(kLongestValueName, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = kLongestValueName;
    const LONG r =
        RegEnumValueW(k.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS at the end
    // The unnamed default value is no setting.
    if (length > 0) keys.push_back(Ansi(name.data(), length));
  }
  return keys;
}

bool RegistrySettingsStore::SectionExists(std::string_view section) const {
  Key k;
  return root_ != nullptr &&
         RegOpenKeyExW(root_, Wide(section).c_str(), 0, KEY_QUERY_VALUE, k.put()) == ERROR_SUCCESS;
}

void RegistrySettingsStore::EraseSection(std::string_view section) {
  if (root_ == nullptr || section.empty()) return;  // an empty name would be the whole key
  const std::wstring name = Wide(section);
  const LONG r = RegDeleteTreeW(root_, name.c_str());
  if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) {
    Failed("cannot erase the section " + std::string(section));
    return;
  }
  RegDeleteKeyW(root_, name.c_str());
}

bool RegistrySettingsStore::Save() {
  if (root_ == nullptr) {
    Failed("the settings key is not open");
  } else {
    RegFlushKey(root_);
  }
  const bool ok = !writeFailed_;
  writeFailed_ = false;
  if (ok) saidFailure_ = false;
  return ok;
}

void RegistrySettingsStore::Failed(const std::string& what) {
  writeFailed_ = true;
  // One line for a run of failures, as the file store says it.
  if (!saidFailure_) {
    std::cerr << "pelmora: the settings were not saved (" << what
              << "); they stay in effect until the program ends\n";
    saidFailure_ = true;
  }
}

}  // namespace pelmora
