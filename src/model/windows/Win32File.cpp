#include <windows.h>

#include "model/MessageFile.h"
#include "model/PlatformFile.h"

namespace pelmora::platform {
namespace {

class Win32RecordFile final : public RecordFile {
 public:
  explicit Win32RecordFile(HANDLE h) : h_(h) {}
  ~Win32RecordFile() override { CloseHandle(h_); }
  Win32RecordFile(const Win32RecordFile&) = delete;
  Win32RecordFile& operator=(const Win32RecordFile&) = delete;

  bool WriteAll(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!WriteFile(h_, p, chunk, &written, nullptr) || written == 0) return false;
      p += written;
      size -= written;
    }
    return true;
  }

  std::int64_t Position() override {
    LARGE_INTEGER zero{}, at{};
    if (!SetFilePointerEx(h_, zero, &at, FILE_CURRENT)) return -1;
    return at.QuadPart;
  }

  bool TruncateTo(std::int64_t position) override {
    LARGE_INTEGER to{};
    to.QuadPart = position;
    return SetFilePointerEx(h_, to, nullptr, FILE_BEGIN) && SetEndOfFile(h_);
  }

  void Sync() override { FlushFileBuffers(h_); }

 private:
  HANDLE h_;
};

}  // namespace

std::unique_ptr<RecordFile> CreateRecordFile(const std::string& path) {
  // Shared for reading: the recovery at the next start may read a file a crashed copy left.
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32RecordFile>(h);
}

std::unique_ptr<RecordFile> OpenRecordFileAtEnd(const std::string& path) {
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(h, zero, nullptr, FILE_END)) {
    CloseHandle(h);
    return nullptr;
  }
  return std::make_unique<Win32RecordFile>(h);
}

bool StreamIsFolder(std::FILE*) { return false; }  // fopen refuses folders on Windows

std::string UserLostMessagesPath() { return kWindowsLostMessagesPath; }

std::string UserSettingsFolder() { return "."; }

bool ReplaceFileAtomically(const std::string& path, std::string_view data, std::string& error) {
  const std::string temp = path + ".new";
  const HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = "cannot create " + temp;
    return false;
  }
  bool written;
  {  // closed before the move: a file still open cannot be renamed
    Win32RecordFile file(h);
    written = file.WriteAll(data.data(), data.size()) && FlushFileBuffers(h);
  }
  if (!written || !MoveFileExA(temp.c_str(), path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = "cannot write " + path;
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace pelmora::platform
