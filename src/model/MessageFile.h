#pragma once
// The lost-messages file: messages that arrived while only the preview banner was shown, kept on
// disk so that they can be shown again if the program ends before the user looked at them.
//
// Layout: a plain sequence of records, no header, no count, no end marker. One record is
//   kind (1 byte) | L1 (2 bytes LE) | sender (L1 bytes) | L2 (2 bytes LE) | recipient (L2 bytes)
//   | L3 (2 bytes LE) | text (L3 bytes)
// The strings are raw Windows-1252 bytes (zero bytes and line breaks included), no terminator.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelmora {

namespace platform {
class RecordFile;
}

// Where the file lives on Windows (and what other platforms without a per-user state folder use).
inline constexpr const char* kWindowsLostMessagesPath = "c:\\lastmsgs.vsp";

// The path of the lost-messages file on this platform. On Linux it is per user:
// $XDG_STATE_HOME/pelmora/lastmsgs.vsp, or ~/.local/state/pelmora/lastmsgs.vsp when
// XDG_STATE_HOME is unset or not absolute. The folder may not exist yet; the writer creates it.
std::string LostMessagesPath();

// A string longer than this is stored cut to its first kMaxRecordField bytes.
inline constexpr std::size_t kMaxRecordField = 0xFFFF;

struct LostMessage {
  std::uint8_t Kind = 0;
  std::string Sender;
  std::string Recipient;
  std::string Text;
  bool operator==(const LostMessage&) const = default;
};

// The bytes of one record, exactly as the file holds them.
std::string EncodeMessageRecord(std::uint8_t kind, std::string_view sender,
                                std::string_view recipient, std::string_view text);

// A lost-messages file that cannot be opened, created or read. The message names the path.
class EMessageFile : public std::runtime_error {
 public:
  EMessageFile(const std::string& path, const std::string& what)
      : std::runtime_error(what), path_(path) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The open file shared by the reader.
class TMessageFile {
 public:
  TMessageFile(const TMessageFile&) = delete;
  TMessageFile& operator=(const TMessageFile&) = delete;

 protected:
  TMessageFile() = default;
  ~TMessageFile() = default;

  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> Stream;
};

class TReadMessageFile : public TMessageFile {
 public:
  // Opens the file for reading; other readers and writers may keep it open meanwhile. A missing
  // file, a folder or a file that cannot be read throws EMessageFile with the path in its text.
  explicit TReadMessageFile(const std::string& fileName);

  // Reads the next record. False, with the outputs untouched, when the read position is at the
  // end of the file. A record cut short by the end of the file still answers true: every field
  // holds what could be read of it (a string cut inside its bytes keeps the bytes that are
  // there; a field not reached at all is empty, a kind not reached is 0), and the next call
  // answers false. Nothing past the end of the file is ever read or invented.
  bool ReadNext(std::string& sender, std::string& recipient, std::uint8_t& kind, std::string& text);
  std::optional<LostMessage> ReadNext();

 private:
  bool ended_ = false;
};

// The main window's side: the file is opened when the preview banner starts, gets one
// record per message that arrives meanwhile, and is closed and deleted when the window comes
// back. Each field goes to the operating system with its own write, unbuffered, and every
// record is synced to disk, so a machine switched off right after an arrival keeps it.
class WriteMessageFile {
 public:
  WriteMessageFile();
  ~WriteMessageFile();
  WriteMessageFile(const WriteMessageFile&) = delete;
  WriteMessageFile& operator=(const WriteMessageFile&) = delete;

  // Creates the file empty, replacing an old one, and the folder above it when missing. A file
  // still open from before is closed first. False when the file cannot be created.
  bool Create(const std::string& fileName);
  // Opens the file for adding records at its end, creating it (and its folder) when missing; what
  // it holds already stays. When that very file is open already nothing happens: a banner that
  // starts again after Esc must not lose the records of messages nobody has seen yet. False
  // when the file can be neither opened nor created.
  bool OpenForAppend(const std::string& fileName);
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& FileName() const { return fileName_; }

  // Appends one record. False when no file is open or the write failed.
  bool Append(std::uint8_t kind, std::string_view sender, std::string_view recipient,
              std::string_view text);
  bool Append(const LostMessage& m) { return Append(m.Kind, m.Sender, m.Recipient, m.Text); }

  void Close();
  // Closes the file if open, then deletes it. False when there was a file and it stayed.
  bool CloseAndDelete();

 private:
  bool WriteField(std::string_view s);

  std::unique_ptr<platform::RecordFile> file_;
  std::string fileName_;
};

// Deletes the file at that path; true when it is gone afterwards (also when it never existed).
bool DeleteMessageFile(const std::string& fileName);
bool MessageFileExists(const std::string& fileName);

}  // namespace pelmora
