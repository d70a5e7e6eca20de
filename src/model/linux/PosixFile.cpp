#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "model/PlatformFile.h"
#include "transport/linux/UniqueFd.h"

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

}  // namespace pelmora::platform
