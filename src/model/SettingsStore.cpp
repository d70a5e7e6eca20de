#include "model/SettingsStore.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "model/IniDocument.h"
#include "model/PlatformFile.h"


namespace pelmora {

// ---- in memory ----

MemorySettingsStore::MemorySettingsStore() : doc_(std::make_unique<IniDocument>()) {}
MemorySettingsStore::~MemorySettingsStore() = default;
MemorySettingsStore::MemorySettingsStore(const MemorySettingsStore& other)
    : SettingsStore(other), doc_(std::make_unique<IniDocument>(*other.doc_)) {}
MemorySettingsStore& MemorySettingsStore::operator=(const MemorySettingsStore& other) {
  if (this != &other) *doc_ = *other.doc_;
  return *this;
}

std::string MemorySettingsStore::ReadString(std::string_view section, std::string_view key,
                                            std::string_view defaultValue) const {
  const std::string* value = doc_->Find(section, key);
  return value != nullptr ? *value : std::string(defaultValue);
}

void MemorySettingsStore::WriteString(std::string_view section, std::string_view key,
                                      std::string_view value) {
  doc_->Set(section, key, value);
}

std::vector<std::string> MemorySettingsStore::SectionKeys(std::string_view section) const {
  return doc_->Keys(section);
}

bool MemorySettingsStore::SectionExists(std::string_view section) const {
  return doc_->HasSection(section);
}

void MemorySettingsStore::EraseSection(std::string_view section) { doc_->EraseSection(section); }

bool MemorySettingsStore::Save() { return true; }

std::vector<std::string> MemorySettingsStore::Sections() const { return doc_->SectionNames(); }

// ---- files ----

namespace {

// A settings file larger than this is not a settings file; only its beginning is read, so a
// runaway file cannot take the program's memory.
constexpr std::size_t kMaxFileBytes = 64u << 20;

enum class ReadResult { Read, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& out, std::string& error) {
  out.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    if (errno == ENOENT) return ReadResult::Missing;
    error = std::strerror(errno);
    return ReadResult::Failed;
  }
  char buffer[65536];
  bool failed = false;
  while (out.size() < kMaxFileBytes) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
    out.append(buffer, n);
    if (n < sizeof buffer) {
      if (std::ferror(f)) {
        failed = true;
        error = std::strerror(errno);
      }
      break;
    }
  }
  std::fclose(f);
  if (out.size() > kMaxFileBytes) out.resize(kMaxFileBytes);
  // A folder opens for reading on Linux and fails only at the first read.
  return failed ? ReadResult::Failed : ReadResult::Read;
}

// A save cut short by a crash or kill -9 leaves its temporary file ("pelmora.ini.XXXXXX")
// behind. One that old is no save in progress: it goes.
void RemoveStaleTemporaryFiles(const std::string& path) {
  constexpr auto kStale = std::chrono::minutes(10);
  const std::filesystem::path target(path);
  const std::string prefix = target.filename().string() + ".";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(
           target.has_parent_path() ? target.parent_path() : ".", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code fileError;
    if (!entry.is_regular_file(fileError)) continue;
    const auto written = entry.last_write_time(fileError);
    if (fileError || std::filesystem::file_time_type::clock::now() - written < kStale) continue;
    std::filesystem::remove(entry.path(), fileError);
  }
}

// The file a save replaces: where a symbolic link points (settings kept with the user's other
// dot files), so that the link stays a link.
std::string SaveTarget(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) return path;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : resolved.string();
}

}  // namespace

FileSettingsStore::FileSettingsStore(std::string path) : path_(std::move(path)) {
  std::string data;
  std::string error;
  switch (ReadWholeFile(path_, data, error)) {
    case ReadResult::Read:
      Document() = IniDocument::Parse(data);
      loaded_ = true;
      break;
    case ReadResult::Missing:
      break;
    case ReadResult::Failed:
      std::cerr << "pelmora: cannot read the settings " << path_ << ": " << error
                << "; starting with the default settings\n";
      break;
  }
  RemoveStaleTemporaryFiles(path_);
}

bool FileSettingsStore::Save() {
  std::string error;
  const bool ok =
      platform::ReplaceFileAtomically(SaveTarget(path_), Document().Serialize(), error);
  if (ok) {
    saidFailure_ = false;
    return true;
  }
  // One line for a run of failures: a full disk would otherwise repeat it at every arrival.
  if (!saidFailure_) {
    std::cerr << "pelmora: the settings were not saved (" << error
              << "); they stay in effect until the program ends\n";
    saidFailure_ = true;
  }
  return false;
}

std::string SettingsFolder() {
  return platform::UserSettingsFolder();
}

std::string SettingsFilePath() { return SettingsFolder() + "/pelmora.ini"; }

std::string LegacySettingsFilePath() { return SettingsFolder() + "/vespra2.ini"; }

bool ReadLegacyIni(const std::string& path, MemorySettingsStore& into) {
  std::string data;
  std::string error;
  into.Document().Clear();
  if (ReadWholeFile(path, data, error) != ReadResult::Read) return false;
  into.Document() = IniDocument::ParseLegacy(data);
  return true;
}

}  // namespace pelmora
