#pragma once
// Messages kept in the lost-messages file while only the preview banner was shown come back at
// the next start, when the program ended before the user looked at them.

#include <functional>
#include <string>

namespace pelmora {

// Adds one recovered entry to the conversation view: first name, second name, text, palette
// index.
using RecoveredLineSink = std::function<void(const std::string& first, const std::string& second,
                                             const std::string& text, int paletteIndex)>;

enum class RecoveryResult {
  NoFile,      // nothing was left: nothing happens
  Recovered,   // every record shown, oldest first, and the file deleted (or kept, as asked)
  Unreadable,  // the file is there but cannot be opened: it is kept, and said on stderr
  NotDeleted,  // shown, but the file could not be deleted (said on stderr)
};

// Shows every record of the file through `append`, in file order, then deletes the file. A
// record whose kind is not a palette index of the view (0..5) is shown in the received colour:
// its own would be a colour nobody set. Only the copy of the program that keeps running may call
// this; a second copy that stops would take the running copy's file away. With `keepFile` the
// file stays: a window that starts in the tray has not shown the messages to anyone yet.
RecoveryResult RecoverLostMessages(const std::string& path, const RecoveredLineSink& append,
                                   int* shown = nullptr, bool keepFile = false);

}  // namespace pelmora
