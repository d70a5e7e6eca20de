#include "model/SettingsStore.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "model/IniDocument.h"
#include "model/PlatformFile.h"
#include "text/CodePage.h"

namespace pelmora {

void SettingsStore::EraseKey(std::string_view section, std::string_view key) {
  std::vector<std::pair<std::string, std::string>> kept;
  bool found = false;
  for (const std::string& k : SectionKeys(section)) {
    if (text::EqualsIgnoreAsciiCase(k, key)) {
      found = true;
    } else {
      kept.emplace_back(k, ReadString(section, k, ""));
    }
  }
  if (!found) return;
  const std::string name(section);
  EraseSection(name);
  for (const auto& [k, value] : kept) WriteString(name, k, value);
}

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

void MemorySettingsStore::EraseKey(std::string_view section, std::string_view key) {
  doc_->EraseKey(section, key);
}

bool MemorySettingsStore::Save() { return true; }

std::vector<std::string> MemorySettingsStore::Sections() const { return doc_->SectionNames(); }

// ---- files ----

namespace {

// A settings file larger than this is not a settings file: it is not read (so a runaway file
// cannot take the program's memory) and, not having been read, never written over.
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
  while (out.size() <= kMaxFileBytes) {
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
  if (!failed && out.size() > kMaxFileBytes) {
    failed = true;
    error = "larger than 64 MiB";
    out.clear();
  }
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

// The name a damaged file is kept under: "<file>.damaged-YYYYMMDD-HHMMSS", with "-2", "-3" ...
// added when one of that second is there already.
std::string DamagedName(const std::string& target) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = target + ".damaged-" + stamp;
  std::string name = base;
  std::error_code ec;
  for (int n = 2;
       std::filesystem::symlink_status(name, ec).type() != std::filesystem::file_type::not_found;
       ++n) {
    name = base + "-" + std::to_string(n);
  }
  return name;
}

}  // namespace

FileSettingsStore::FileSettingsStore(std::string path) : path_(std::move(path)) {
  std::string data;
  std::string error;
  switch (ReadWholeFile(path_, data, error)) {
    case ReadResult::Read: {
      IniReadReport report;
      IniDocument doc = IniDocument::Parse(data, &report);
      if (report.NotIni()) {
        opened_ = Opened::NotIni;
        std::cerr << "pelmora: the settings " << path_ << " are not an ini file ("
                  << (report.nulBytes ? "it holds NUL bytes" : "no line of it can be read")
                  << "); starting with the default settings, the file is kept aside at the first "
                     "save\n";
        break;
      }
      opened_ = Opened::Read;
      Document() = std::move(doc);
      if (report.windows1252) {
        std::cerr << "pelmora: the settings " << path_
                  << " are not UTF-8; read as Windows-1252, saved as UTF-8 from now on\n";
      }
      if (report.caseVariants > 0) {
        std::cerr << "pelmora: " << report.caseVariants << " section(s) of the settings " << path_
                  << " repeated under another letter case (groups whose names differ only in "
                     "case) merged into the first\n";
      }
      if (report.longLines > 0) {
        std::cerr << "pelmora: " << report.longLines << " line(s) of the settings " << path_
                  << " longer than 64 KiB skipped\n";
      }
      break;
    }
    case ReadResult::Missing:
      break;
    case ReadResult::Failed:
      opened_ = Opened::Unreadable;
      std::cerr << "pelmora: cannot read the settings " << path_ << ": " << error
                << "; starting with the default settings, and nothing is written there until "
                   "the next start\n";
      break;
  }
  RemoveStaleTemporaryFiles(path_);
}

void FileSettingsStore::WriteString(std::string_view section, std::string_view key,
                                    std::string_view value) {
  if (section.empty() || key.empty()) return;
  MemorySettingsStore::WriteString(section, key, value);
  changes_.push_back(
      {Change::Kind::Write, std::string(section), std::string(key), std::string(value)});
}

void FileSettingsStore::EraseSection(std::string_view section) {
  MemorySettingsStore::EraseSection(section);
  changes_.push_back({Change::Kind::EraseSection, std::string(section), {}, {}});
}

void FileSettingsStore::EraseKey(std::string_view section, std::string_view key) {
  MemorySettingsStore::EraseKey(section, key);
  changes_.push_back({Change::Kind::EraseKey, std::string(section), std::string(key), {}});
}

bool FileSettingsStore::MoveDamagedAside(const std::string& target) {
  const std::string aside = DamagedName(target);
  if (std::rename(target.c_str(), aside.c_str()) != 0) {
    if (!saidFailure_) {
      std::cerr << "pelmora: the settings were not saved: the damaged file " << target
                << " cannot be moved aside (" << std::strerror(errno) << ")\n";
      saidFailure_ = true;
    }
    return false;
  }
  std::cerr << "pelmora: the damaged settings " << target << " are kept as " << aside << "\n";
  return true;
}

bool FileSettingsStore::Save() {
  // What could not be read is never written over.
  if (opened_ == Opened::Unreadable) return false;
  const std::string target = SaveTarget(path_);
  std::string data;
  std::string error;
  IniDocument onDisk;
  switch (ReadWholeFile(target, data, error)) {
    case ReadResult::Missing:
      break;
    case ReadResult::Failed:
      if (!saidFailure_) {
        std::cerr << "pelmora: the settings were not saved: " << target << " cannot be read again ("
                  << error << "); they stay in effect until the program ends\n";
        saidFailure_ = true;
      }
      return false;
    case ReadResult::Read: {
      IniReadReport report;
      onDisk = IniDocument::Parse(data, &report);
      if (report.NotIni()) {
        if (!MoveDamagedAside(target)) return false;
        onDisk.Clear();
      }
      break;
    }
  }
  for (const Change& c : changes_) {
    switch (c.kind) {
      case Change::Kind::Write:
        onDisk.Set(c.section, c.key, c.value);
        break;
      case Change::Kind::EraseKey:
        onDisk.EraseKey(c.section, c.key);
        break;
      case Change::Kind::EraseSection:
        onDisk.EraseSection(c.section);
        break;
    }
  }

  if (!platform::ReplaceFileAtomically(target, onDisk.Serialize(), error)) {
    // One line for a run of failures: a full disk would otherwise repeat it at every arrival.
    if (!saidFailure_) {
      std::cerr << "pelmora: the settings were not saved (" << error
                << "); they stay in effect until the program ends\n";
      saidFailure_ = true;
    }
    return false;
  }
  // From here on memory holds what the file holds, hand edits included.
  Document() = std::move(onDisk);
  changes_.clear();
  saidFailure_ = false;
  ++savesWritten_;
  return true;
}

std::string SettingsFolder() { return platform::UserSettingsFolder(); }

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
