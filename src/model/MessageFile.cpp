#include "model/MessageFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "model/PlatformFile.h"

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

}  // namespace

std::string LostMessagesPath() { return platform::UserLostMessagesPath(); }

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
  // The first read of a folder would fail; refuse it here, with the reason.
  if (platform::StreamIsFolder(Stream.get())) {
    Stream.reset();
    throw EMessageFile(fileName, OpenErrorText(fileName, EISDIR));
  }
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

WriteMessageFile::WriteMessageFile() = default;
WriteMessageFile::~WriteMessageFile() { Close(); }

bool WriteMessageFile::Create(const std::string& fileName) {
  Close();
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(fileName).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  file_ = platform::CreateRecordFile(fileName);
  if (!file_) return false;
  fileName_ = fileName;
  return true;
}

bool WriteMessageFile::OpenForAppend(const std::string& fileName) {
  if (IsOpen() && fileName == fileName_) return true;
  Close();
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(fileName).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  file_ = platform::OpenRecordFileAtEnd(fileName);
  if (!file_) return false;
  fileName_ = fileName;
  return true;
}

bool WriteMessageFile::WriteField(std::string_view s) {
  s = Storable(s);
  std::string field;
  field.reserve(2 + s.size());
  AppendLength(field, s.size());
  field.append(s);
  return file_->WriteAll(field.data(), field.size());
}

bool WriteMessageFile::Append(std::uint8_t kind, std::string_view sender,
                              std::string_view recipient, std::string_view text) {
  if (!IsOpen()) return false;
  const std::int64_t start = file_->Position();
  const char k = static_cast<char>(kind);
  const bool ok =
      file_->WriteAll(&k, 1) && WriteField(sender) && WriteField(recipient) && WriteField(text);
  if (!ok) {
    // Take the half record back, or every later record would be read out of step.
    if (start >= 0) file_->TruncateTo(start);
    return false;
  }
  file_->Sync();
  return true;
}

void WriteMessageFile::Close() { file_.reset(); }

bool WriteMessageFile::CloseAndDelete() {
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
