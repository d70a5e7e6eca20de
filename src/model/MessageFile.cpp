#include "model/MessageFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pelmora {

namespace {

std::string OpenErrorText(const std::string& path, int err) {
  return "Cannot open file \"" + path + "\". " + std::strerror(err);
}

void AppendLength(std::string& out, std::size_t n) {
  out += static_cast<char>(n & 0xFF);
  out += static_cast<char>((n >> 8) & 0xFF);
}

// Longer strings are cut so that the stored length and the stored bytes always agree; the file
// then stays readable record by record.
std::string_view Storable(std::string_view s) { return s.substr(0, kMaxRecordField); }

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
#endif

}  // namespace

std::string LostMessagesPath() {
#ifdef _WIN32
  return kWindowsLostMessagesPath;
#else
  // The XDG rules ignore a relative XDG_STATE_HOME.
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
    return std::string(state) + "/pelmora/lastmsgs.vsp";
  const std::string home = HomeFolder();
  if (home.empty()) return "lastmsgs.vsp";
  return home + "/.local/state/pelmora/lastmsgs.vsp";
#endif
}

std::string EncodeMessageRecord(std::uint8_t kind, std::string_view sender,
                                std::string_view recipient, std::string_view text) {
  std::string out;
  out += static_cast<char>(kind);
  for (std::string_view field : {sender, recipient, text}) {
    field = Storable(field);
    AppendLength(out, field.size());
    out.append(field);
  }
  return out;
}

// ---- reader ----

TReadMessageFile::TReadMessageFile(const std::string& fileName) {
  errno = 0;
  Stream.reset(std::fopen(fileName.c_str(), "rb"));
  if (!Stream) throw EMessageFile(fileName, OpenErrorText(fileName, errno ? errno : ENOENT));
#ifndef _WIN32
  // fopen of a folder succeeds on Linux; the first read would fail, so refuse it here.
  struct stat st {};
  if (fstat(fileno(Stream.get()), &st) == 0 && S_ISDIR(st.st_mode)) {
    Stream.reset();
    throw EMessageFile(fileName, OpenErrorText(fileName, EISDIR));
  }
#endif
}

bool TReadMessageFile::ReadNext(std::string& sender, std::string& recipient, std::uint8_t& kind,
                                std::string& text) {
  if (ended_ || !Stream) return false;
  std::FILE* f = Stream.get();
  const int first = std::fgetc(f);
  if (first == EOF) {
    // A clean end: another writer may still add records, so a later call looks again.
    std::clearerr(f);
    return false;
  }

  // From here on the record is reported even if the file ends inside it. Each field gets what
  // could be read of it; once the end is met, the fields after it stay empty.
  bool cut = false;
  auto readField = [&](std::string& out) {
    out.clear();
    if (cut) return;
    unsigned char len[2];
    if (std::fread(len, 1, 2, f) != 2) {
      cut = true;
      return;
    }
    const std::size_t n = len[0] | (static_cast<std::size_t>(len[1]) << 8);
    out.resize(n);
    const std::size_t got = n == 0 ? 0 : std::fread(out.data(), 1, n, f);
    if (got != n) {
      out.resize(got);
      cut = true;
    }
  };

  std::string s, r, t;
  readField(s);
  readField(r);
  readField(t);
  kind = static_cast<std::uint8_t>(first);
  sender = std::move(s);
  recipient = std::move(r);
  text = std::move(t);
  if (cut) ended_ = true;
  return true;
}

std::optional<LostMessage> TReadMessageFile::ReadNext() {
  LostMessage m;
  if (!ReadNext(m.Sender, m.Recipient, m.Kind, m.Text)) return std::nullopt;
  return m;
}

// ---- writer ----

#ifndef _WIN32

bool TWriteMessageFile::Create(const std::string& fileName) {
  Close();
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(fileName).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  // The file holds other people's messages to this user: private to the user.
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  fd_ = fd;
  fileName_ = fileName;
  return true;
}

bool TWriteMessageFile::OpenForAppend(const std::string& fileName) {
  if (IsOpen() && fileName == fileName_) return true;
  Close();
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(fileName).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Records go after what is there. The position is set here rather than through O_APPEND so
  // that Append's take-back of a half record truncates to where that record began.
  if (::lseek(fd, 0, SEEK_END) < 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  fileName_ = fileName;
  return true;
}

bool TWriteMessageFile::WriteAll(const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool TWriteMessageFile::WriteField(std::string_view s) {
  s = Storable(s);
  std::string field;
  field.reserve(2 + s.size());
  AppendLength(field, s.size());
  field.append(s);
  return WriteAll(field.data(), field.size());
}

bool TWriteMessageFile::Append(std::uint8_t kind, std::string_view sender,
                               std::string_view recipient, std::string_view text) {
  if (!IsOpen()) return false;
  const off_t start = ::lseek(fd_, 0, SEEK_CUR);
  const char k = static_cast<char>(kind);
  const bool ok = WriteAll(&k, 1) && WriteField(sender) && WriteField(recipient) &&
                  WriteField(text);
  if (!ok) {
    // Take the half record back, or every later record would be read out of step.
    if (start >= 0 && ::ftruncate(fd_, start) == 0) ::lseek(fd_, start, SEEK_SET);
    return false;
  }
  ::fdatasync(fd_);
  return true;
}

void TWriteMessageFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

#endif

bool TWriteMessageFile::CloseAndDelete() {
  Close();
  if (fileName_.empty()) return true;
  const bool gone = DeleteMessageFile(fileName_);
  if (gone) fileName_.clear();
  return gone;
}

bool DeleteMessageFile(const std::string& fileName) {
  std::error_code ec;
  std::filesystem::remove(fileName, ec);
  return !ec && !MessageFileExists(fileName);
}

bool MessageFileExists(const std::string& fileName) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(fileName, ec)) && !ec;
}

}  // namespace pelmora
