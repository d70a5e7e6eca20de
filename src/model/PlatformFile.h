#pragma once
// What the lost-messages file needs of the operating system: a file written record by record,
// each record on the disk before the call returns, and the per-user place where it lives.
// POSIX in linux/, Win32 in windows/; the record format itself knows neither.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace pelmora::platform {

class RecordFile {
 public:
  virtual ~RecordFile() = default;
  // Writes every byte, retrying short writes; false on failure.
  virtual bool WriteAll(const void* data, std::size_t size) = 0;
  // The write position; -1 when unknown.
  virtual std::int64_t Position() = 0;
  // Cuts the file at `position` and writes on from there; false on failure.
  virtual bool TruncateTo(std::int64_t position) = 0;
  // Puts what was written on the disk.
  virtual void Sync() = 0;
};

// Creates the file empty, replacing an old one, readable by its owner only where the system
// allows it. The folder above must exist. nullptr when it cannot be created.
std::unique_ptr<RecordFile> CreateRecordFile(const std::string& path);

// Opens the file for writing after what it holds, creating it (private to the user) when it is
// missing; nothing in it is lost. The position is set at the end rather than by an append mode,
// so that taking back a half-written record cuts the file where that record began. nullptr when
// it can be neither opened nor created.
std::unique_ptr<RecordFile> OpenRecordFileAtEnd(const std::string& path);

// Whether a stream that opened fine is a folder (Linux lets fopen open one for reading).
bool StreamIsFolder(std::FILE* stream);

// The lost-messages file's path for the current user.
std::string UserLostMessagesPath();

// The folder of the user's settings ("pelmora" under the per-user configuration folder).
std::string UserSettingsFolder();

// Replaces the file by one holding `data` without ever leaving a half-written file under its
// name, creating the missing folders above it private to the user. False with the reason in
// `error` when it could not; the old file is then as it was.
bool ReplaceFileAtomically(const std::string& path, std::string_view data, std::string& error);

}  // namespace pelmora::platform
