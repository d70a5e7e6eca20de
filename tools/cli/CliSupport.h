#pragma once
// The pure parts of the command-line companion: parsing its arguments and formatting what it
// prints, kept apart from the sockets so they are tested on their own.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::cli {

// Longest text the program's compose boxes accept; the companion refuses longer ones.
inline constexpr std::size_t kMaxTextLength = 409;

enum class Command { Send, Ping, Query, Listen, Doctor };

struct Options {
  Command command = Command::Send;
  std::string from;           // send: sender name (UTF-8); empty = the computer name
  bool secure = false;        // send, listen
  bool confirm = false;       // send: ask the channel query first and say what became of it
  bool session = false;       // send: in the messenger's session form (TCP) to one machine
  std::string address;        // send --session: the machine's address; empty = look TARGET up
  std::optional<long> port;   // send --session: the TCP port; empty = the configuration's
  bool utils = false;         // listen: also hold "Utils" and answer channel queries
  std::string target;         // send, ping, query; doctor: the name to ping, or empty (UTF-8)
  std::string text;           // send: the words joined by single blanks (UTF-8)
  double waitSeconds = 2.0;   // ping, query; send --confirm (1 s unless given)
  std::optional<long> count;  // listen
  std::optional<double> timeoutSeconds;  // listen
};

struct ParseResult {
  std::optional<Options> options;
  std::string error;  // one line, when options is empty
};

// Parses argv[1..]: the command, then its options and operands. Options may come anywhere
// before the operands of send; "--" ends the options.
ParseResult ParseArguments(const std::vector<std::string>& args);

// A number of seconds: decimal digits with an optional fraction, not negative, at most a day.
std::optional<double> ParseSeconds(std::string_view text);
// A count: decimal digits, 1 or more, at most a million.
std::optional<long> ParseCount(std::string_view text);
// A TCP port: decimal digits, 1 to 65535.
std::optional<long> ParsePort(std::string_view text);

// One field of a listen line: backslash as \\, line breaks (CR LF, LF or CR) as \n, a tab as
// \t, other control characters as \xHH, so a message always stays on one line and the fields
// stay apart. Input and output are UTF-8.
std::string EscapeField(std::string_view utf8);

// "channel<TAB>sender<TAB>recipient<TAB>text" from Windows-1252 fields, as UTF-8.
std::string ListenLine(std::string_view channel, std::string_view sender,
                       std::string_view recipient, std::string_view text);

std::string UsageLine();

// argv[1..] as UTF-8. On Windows the C runtime's argv is in the ANSI code page, which loses what
// that page lacks; the arguments are taken from the system's Unicode command line instead, and
// the console is told that the output is UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// The text of --help: one line per command with its options (send has a second one for
// --confirm, indented under them), then the exit statuses. Every
// command that ParseArguments takes is listed, in the order of kCommandNames.
std::string HelpText();

// The commands, in the order --help lists them.
inline constexpr const char* kCommandNames[] = {"send", "ping", "query", "listen", "doctor"};

}  // namespace pelmora::cli
