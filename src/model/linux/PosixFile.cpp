#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "model/PlatformFile.h"
#include "platform/linux/UniqueFd.h"

namespace pelmora::platform {
namespace {

class PosixRecordFile final : public RecordFile {
 public:
  explicit PosixRecordFile(UniqueFd fd) : fd_(std::move(fd)) {}

  bool WriteAll(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = ::write(fd_.get(), p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  std::int64_t Position() override { return ::lseek(fd_.get(), 0, SEEK_CUR); }

  bool TruncateTo(std::int64_t position) override {
    return ::ftruncate(fd_.get(), static_cast<off_t>(position)) == 0 &&
           ::lseek(fd_.get(), static_cast<off_t>(position), SEEK_SET) == position;
  }

  void Sync() override { ::fdatasync(fd_.get()); }

  int Descriptor() const { return fd_.get(); }
  // Closes now, reporting what close() says: a write error can show only there.
  bool Close() { return ::close(fd_.release()) == 0; }

 private:
  UniqueFd fd_;
};

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

}  // namespace

std::unique_ptr<RecordFile> CreateRecordFile(const std::string& path) {
  // The file holds other people's messages to this user: private to the user.
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (!fd) return nullptr;
  return std::make_unique<PosixRecordFile>(std::move(fd));
}

std::unique_ptr<RecordFile> OpenRecordFileAtEnd(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  if (!fd || ::lseek(fd.get(), 0, SEEK_END) < 0) return nullptr;
  return std::make_unique<PosixRecordFile>(std::move(fd));
}

bool StreamIsFolder(std::FILE* stream) {
  struct stat st {};
  return fstat(fileno(stream), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string UserLostMessagesPath() {
  // The XDG rules ignore a relative XDG_STATE_HOME.
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
    return std::string(state) + "/pelmora/lastmsgs.vsp";
  const std::string home = HomeFolder();
  if (home.empty()) return "lastmsgs.vsp";
  return home + "/.local/state/pelmora/lastmsgs.vsp";
}

std::string UserSettingsFolder() {
  // The XDG rules ignore a relative XDG_CONFIG_HOME.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
    return std::string(config) + "/pelmora";
  const std::string home = HomeFolder();
  if (home.empty()) return "pelmora";
  return home + "/.config/pelmora";
}

// The text goes to a new file in the same folder, which is synced and then renamed over the old
// one; syncing the folder makes the rename itself durable.
bool ReplaceFileAtomically(const std::string& path, std::string_view data, std::string& error) {
  const std::string folder = ParentFolder(path);
  if (!MakeFolder(folder, error)) return false;

  std::string temp = path + ".XXXXXX";
  UniqueFd fd(::mkstemp(temp.data()));
  if (!fd) {
    error = "cannot create a file in " + folder + ": " + std::strerror(errno);
    return false;
  }
  PosixRecordFile file(std::move(fd));
  bool ok = ::fchmod(file.Descriptor(), 0600) == 0;
  ok = ok && file.WriteAll(data.data(), data.size());
  ok = ok && ::fsync(file.Descriptor()) == 0;
  if (ok && !file.Close()) ok = false;
  if (!ok) error = std::string("cannot write ") + temp + ": " + std::strerror(errno);
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = "cannot replace " + path + ": " + std::strerror(errno);
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  if (UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); dir)
    ::fsync(dir.get());
  return true;
}

}  // namespace pelmora::platform
