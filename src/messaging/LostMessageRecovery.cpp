#include "messaging/LostMessageRecovery.h"

#include <iostream>
#include <optional>

#include "messaging/Variables.h"
#include "model/MessageFile.h"

namespace pelmora {

RecoveryResult RecoverLostMessages(const std::string& path, const RecoveredLineSink& append,
                                   int* shown, bool keepFile) {
  if (shown != nullptr) *shown = 0;
  if (!MessageFileExists(path)) return RecoveryResult::NoFile;
  {
    std::optional<TReadMessageFile> reader;
    try {
      reader.emplace(path);
    } catch (const EMessageFile& e) {
      // Kept for a later start or for the user: deleting what could not be read would lose it.
      std::cerr << "pelmora: the lost messages were not recovered: " << e.what() << "\n";
      return RecoveryResult::Unreadable;
    }
    while (std::optional<LostMessage> m = reader->ReadNext()) {
      const int index = m->Kind < kPaletteCount ? m->Kind : kPaletteReceived;
      append(m->Sender, m->Recipient, m->Text, index);
      if (shown != nullptr) ++*shown;
    }
  }
  if (keepFile) return RecoveryResult::Recovered;
  if (!DeleteMessageFile(path)) {
    std::cerr << "pelmora: the lost-messages file " << path
              << " was shown but cannot be deleted; its messages will show again\n";
    return RecoveryResult::NotDeleted;
  }
  return RecoveryResult::Recovered;
}

}  // namespace pelmora
