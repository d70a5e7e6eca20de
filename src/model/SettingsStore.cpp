#include "model/SettingsStore.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "model/IniDocument.h"

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#ifndef _WIN32
std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr)
    return found->pw_dir;
  return {};
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Creates the folder and the missing folders above it, each 0700 (the settings hold the user's
// address book). A folder that is there already keeps its mode: it may be shared.
bool MakeFolder(const std::string& folder, std::string& error) {
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = folder.find('/', pos + 1);
    const std::string partial = folder.substr(0, pos);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot create folder " + partial + ": " + std::strerror(errno);
      return false;
    }
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = folder + " is not a folder";
    return false;
  }
  return true;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Replaces the file by one holding `data` without ever leaving a half-written file under its
// name: the text goes to a new file in the same folder, which is synced and then renamed over
// the old one; syncing the folder makes the rename itself durable.
bool ReplaceFileAtomically(const std::string& path, std::string_view data, std::string& error) {
  const std::string folder = ParentFolder(path);
  if (!MakeFolder(folder, error)) return false;

  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot create a file in " + folder + ": " + std::strerror(errno);
    return false;
  }
  bool ok = ::fchmod(fd, 0600) == 0;
  ok = ok && WriteAll(fd, data);
  ok = ok && ::fsync(fd) == 0;
  if (!ok) error = std::string("cannot write ") + temp + ": " + std::strerror(errno);
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = std::string("cannot write ") + temp + ": " + std::strerror(errno);
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = "cannot replace " + path + ": " + std::strerror(errno);
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
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
#endif

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
#ifndef _WIN32
  RemoveStaleTemporaryFiles(path_);
#endif
}

bool FileSettingsStore::Save() {
  std::string error;
#ifndef _WIN32
  const bool ok = ReplaceFileAtomically(SaveTarget(path_), Document().Serialize(), error);
#else
  const bool ok = false;
  error = "not built for this system";
#endif
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
#ifndef _WIN32
  // The XDG rules ignore a relative XDG_CONFIG_HOME.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
    return std::string(config) + "/pelmora";
  const std::string home = HomeFolder();
  if (home.empty()) return "pelmora";
  return home + "/.config/pelmora";
#else
  return ".";
#endif
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
