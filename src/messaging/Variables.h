#pragma once
// The state that the main window, the options dialog and the messaging core share: who this
// machine is, where messages go, language and options, the two pending-delivery tables, the
// quick destinations and the address book.
//
// It is one object, not a set of globals: the program makes one Variables and hands it around by
// reference, and the tests run several simulated machines in one process, each with its own.
// Everything in it is touched on the GUI thread only.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "messaging/DateTime.h"   // DateTime and NowDateTime(), the local time that is shown
#include "messaging/TextTable.h"  // LocalText
#include "model/Groups.h"
#include "model/MessageFile.h"  // LostMessagesPath()
#include "model/NameList.h"

namespace pelmora {

// Sent in every identification reply.
inline constexpr std::string_view ProgramVersion = "0.31b";

// The key field of a free entry of the pending tables; five characters that no name can be.
inline constexpr std::string_view kFreeMarker = "XX_XX";

// Colour classes of the conversation view: positions in the panes' palette, the same in the
// three panes, and the order of the colour list of the options dialog after the background.
inline constexpr int kPaletteTime = 0;
inline constexpr int kPaletteHeadings = 1;
inline constexpr int kPaletteSent = 2;
inline constexpr int kPaletteReceived = 3;  // arrivals on the messenger channel
inline constexpr int kPaletteSecure = 4;    // arrivals on the secure channel
inline constexpr int kPaletteSystem = 5;    // ping and identification reports
inline constexpr int kPaletteCount = 6;

inline constexpr int kOutboxSize = 128;
inline constexpr int kAckDeadlineCount = 64;
inline constexpr int kQuickDestinationCount = 10;

enum QuickDestinationKind : std::uint8_t { qdNone = 0, qdName = 1, qdGroup = 2 };

// How the main window is presented.
enum TViewMode : std::uint8_t { vmNormal = 0, vmMinimized = 1, vmPreview = 2, vmHidden = 3 };

// A message waiting for the answer of its target's channel query.
struct OutboxEntry {
  std::string SenderName;  // the name the message is sent from
  std::string Target;      // the machine it must reach; kFreeMarker when the entry is free
  std::string Label;       // the destination as the recipient sees it (name or group addressed)
  std::string Text;
};

// When the channel query to a target is given up and its messages go by the messenger slot.
struct AckDeadlineEntry {
  std::string Target;  // kFreeMarker when the entry is free
  // On the monotonic clock (Clock::MonotonicMs), so a step of the wall clock moves no deadline.
  std::int64_t Deadline = 0;
};

// One of the ten destinations on Alt+0 .. Alt+9.
struct QuickDestination {
  std::string Name;
  QuickDestinationKind Kind = qdNone;

  bool operator==(const QuickDestination&) const = default;
};

struct Variables {
  // Identity and addressing; names upper case (ASCII letters).
  std::string OwnName;
  std::string Destination;  // a name, a group, the workgroup, or row 22 "Ninguno"
  std::string WorkgroupName;

  // 0 Spanish, 1 German, 2 English: the column of the text table.
  std::uint8_t LanguageIndex = 0;

  bool OptRestore = false;
  bool OptPreview = false;
  bool OptBeep = false;
  bool OptAutoDestination = false;
  bool OptHardway = false;
  bool OptLoadWorkgroup = false;
  bool OptRecoverLost = false;
  bool OptMaster = false;
  // A desktop notification for every arrival while the window is not the active one (settings
  // key OPCIONES\NOTIFICAR, on unless set to NO).
  bool OptNotify = true;
  // While the options dialog is shown, identification replies fill its name lists.
  bool OptionsOpen = false;

  std::array<QuickDestination, kQuickDestinationCount> QuickDestinations{};

  // Fixed tables that never grow. All strings are empty until ClearPendingTables marks every
  // entry free; a lookup before that finds nothing but empty keys.
  std::array<OutboxEntry, kOutboxSize> Outbox{};
  std::array<AckDeadlineEntry, kAckDeadlineCount> AckDeadlines{};

  // The address book.
  TNameList NameList;
  TNameList FlaggedNames;
  TGrupos GroupList;

  // Window state of the main window.
  TViewMode ViewMode = vmMinimized;
  std::int32_t NewMessageCount = 0;
  bool ReallyQuit = false;
  std::int32_t SavedClientWidth = 0;
  std::int32_t SavedClientHeight = 0;
  std::int32_t SavedTop = 0;
  std::int32_t SavedLeft = 0;

  // Sets the Target of every Outbox and AckDeadlines entry to kFreeMarker; the other fields
  // keep their values.
  void ClearPendingTables();

  // The highest index whose Target equals the name exactly (case-sensitive, whole string), or
  // -1. Searching for kFreeMarker finds a free entry.
  int FindOutboxEntry(std::string_view target) const;
  int FindAckDeadline(std::string_view target) const;

  // Row 1..kTextRowCount of the text table in the current language (empty outside the table,
  // also for a LanguageIndex outside 0..2).
  const std::string& Text(int row) const { return LocalText(row, LanguageIndex); }
};

// True when the list's own lookup (ignoring case) finds the text.
bool IsInList(std::string_view text, const TNameList& list);

// The text with every "&" removed.
std::string StripAmpersands(std::string_view text);

// The first `width` bytes of the text, then blanks up to exactly `width` bytes. A width of 0 or
// less gives an empty text.
std::string FitWidth(std::string_view text, int width);

}  // namespace pelmora
