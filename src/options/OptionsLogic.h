#pragma once
// The rules of the options dialog's pages on the shared state, apart from any widget, so that
// each is checked without a screen: typed names and groups, deleting names, group membership by
// check marks, quick destinations, the in-memory snapshot that Cancel restores, and the log file.
//
// Every text is Windows-1252, as everywhere in the program.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "messaging/Settings.h"
#include "messaging/Variables.h"

namespace pelmora::options {

// --- Typed names ---------------------------------------------------------------------------

enum class Typed : std::uint8_t {
  Cancel,   // nothing typed: the edit closes as with Esc
  Refused,  // the text cannot be a name; the edit stays open with it
  Accept,   // `name` is the name to add
};
struct TypedEntry {
  Typed outcome = Typed::Cancel;
  std::string name;
};

// A new name from the names page edit: upper-cased (ASCII letters only, nothing trimmed). "&"
// and control characters are refused: the secure and utility datagrams join their fields with
// "&", so such a name would shift the fields of every message sent to or from it.
TypedEntry ReadTypedName(std::string_view text);
// A new group name: as a name, and also refused when it is the name of a section of the
// settings store, where the group's members would overwrite (or be read from) that section.
TypedEntry ReadTypedGroup(std::string_view text);
// OPCIONES, NOMBRES, GRUPOS, DestinoRapido0 .. DestinoRapido9, ignoring case.
bool IsStoreSectionName(std::string_view name);

// --- Names ---------------------------------------------------------------------------------

// Whether the list holds the name (ignoring case), found by its sort order: the list's own
// lookup walks every entry, which over thousands of names for thousands of lookups takes
// seconds.
bool ContainsSorted(const TNameList& list, std::string_view name);

// Removes the name from NameList and from the members of every group (groups stay, maybe empty).
void DeleteName(Variables& vars, std::string_view name);
void DeleteAllNames(Variables& vars);

// --- Groups --------------------------------------------------------------------------------

// Position of the group whose name equals `name` ignoring case, or -1. The page lists groups
// by name ignoring case, so it must find them the same way in the model, or a list position
// and a model position would name different groups.
int GroupPosition(const TGrupos& groups, std::string_view name);
// Creates the group (empty, at the end) unless one of that name ignoring case exists; returns
// the position of the group to select.
int CreateGroup(TGrupos& groups, std::string_view name);
// The group's members after a click on the check list: every entry shown with a check mark is a
// member, every entry shown without one is not; members the list does not show (names of the
// settings that are not in the name list) stay members. The entries are in the check list's
// order, which is the address book's sort order.
void SetMembersFromChecks(TGrupo& group,
                          const std::vector<std::pair<std::string, bool>>& shownEntries);

// --- Quick destinations ------------------------------------------------------------------

// The entry of the selector to show for a quick destination: the position of its name among
// the entries, ignoring case, or -1. Showing never changes the destination: a name that is no
// longer listed stays as it is, so Alt+digit never silently goes to someone else.
int QuickDestinationShown(const QuickDestination& d, const std::vector<std::string>& entries);
// The user picked another kind (0 none, 1 name, 2 group) with these entries in the selector:
// the kind is set and, for a name or group kind, a name not among the entries is replaced by the
// first entry (empty when there is none). Returns the position to select (-1 for kind 0).
int QuickDestinationKindChosen(QuickDestination& d, int kind,
                               const std::vector<std::string>& entries);

// --- The snapshot Cancel restores ----------------------------------------------------------

// The settings model (messaging/Settings.h) taken when the dialog opens: everything the dialog
// edits in the shared state and in the window's part (its colours, the hot key letter). Cancel
// puts it back exactly, whether or not the settings could be written.
using OptionsSnapshot = SettingsModel;

// --- The log file --------------------------------------------------------------------------

// One line of the log, in Windows-1252: the time fitted to 8 characters, a blank, the heading
// fitted to 24, a blank, the text, CR LF.
std::string LogLine(std::string_view time, std::string_view heading, std::string_view text);

// Writes `lineCount` lines, line i being `ansiLine(i)` (a LogLine) converted to UTF-8, to the
// file at `path` (local file-name bytes), created or emptied. Every write and the close are
// checked; false on any failure, and lines written before it stay in the file.
bool WriteLogFile(const std::string& path, int lineCount,
                  const std::function<std::string(int)>& ansiLine);

}  // namespace pelmora::options
