// A lost-messages file of any content, as the recovery at start reads it: records are reported
// while there are bytes, fields never hold more than the file had, and the reader ends.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/MessageFile.h"

namespace {
const std::string& Path() {
  // In memory where the system has a tmpfs: a file on disk makes every run slow.
  static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                  "/pelmora-fuzz-lastmsgs-" + std::to_string(getpid()) + ".vsp";
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = Path();
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  pelmora::TReadMessageFile reader(path);
  // The open stream keeps the bytes; the name goes now, so no file outlives the run.
  std::remove(path.c_str());
  std::size_t records = 0, bytes = 0;
  while (auto m = reader.ReadNext()) {
    ++records;
    bytes += 1 + m->Sender.size() + m->Recipient.size() + m->Text.size();
    // Every record takes at least its kind byte, so there can be no more records than bytes.
    if (records > size || bytes > size) std::abort();
  }
  return 0;
}
