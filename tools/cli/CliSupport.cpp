#include "CliSupport.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#endif

#include "text/CodePage.h"

namespace pelmora::cli {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Takes the value of an option that needs one.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string& value,
               std::string& error) {
  if (i + 1 >= args.size()) {
    error = args[i] + " needs a value";
    return false;
  }
  value = args[++i];
  return true;
}

}  // namespace

std::string UsageLine() {
  return "usage: pelmora-cli send [--from NAME] [--secure | --confirm [--wait SECONDS] | "
         "--session [--address ADDRESS] [--port PORT]] TARGET TEXT... | ping [--wait SECONDS] "
         "TARGET | query [--wait SECONDS] TARGET | listen [--secure] [--utils] [--count N] "
         "[--timeout SECONDS] | doctor [NAME]";
}

std::string HelpText() {
  struct Line {
    std::string_view synopsis;
    std::string_view what;
  };
  static constexpr Line kLines[] = {
      {"send [--from NAME] [--secure | --session [--address A] [--port P]] TARGET TEXT...",
       "send a message (--session: to one machine, over TCP)"},
      {"     --confirm [--wait S] [--from NAME] TARGET TEXT...",
       "or ask first, as Pelmora does, and say what became of it"},
      {"ping [--wait SECONDS] TARGET", "print \"NAME VERSION\" for each copy that answers"},
      {"query [--wait SECONDS] TARGET", "print the channel TARGET takes: YES or NO"},
      {"listen [--secure] [--utils] [--count N] [--timeout S]",
       "print the messages that arrive, one a line"},
      {"doctor [NAME]", "check that this machine can send and receive (and ping NAME)"},
  };
  // Every command has a line; send has a second one, under its options, for --confirm.
  static_assert(std::size(kLines) >= std::size(kCommandNames));
  std::size_t width = 0;
  for (const Line& l : kLines) width = std::max(width, l.synopsis.size());
  std::string out = "usage: pelmora-cli COMMAND [OPTIONS] [OPERANDS]\n\n";
  for (const Line& l : kLines) {
    out += "  ";
    out += l.synopsis;
    out.append(width - l.synopsis.size() + 2, ' ');
    out += l.what;
    out += '\n';
  }
  out +=
      "\nArguments and output are UTF-8. Exit status: 0 success, 1 nothing answered or the\n"
      "network refused, 2 bad usage, 3 the target of send --confirm did not answer.\n";
  return out;
}

std::optional<double> ParseSeconds(std::string_view text) {
  if (text.empty()) return std::nullopt;
  double whole = 0.0;
  double scale = 0.0;  // 0 before the point, then 0.1, 0.01, ...
  bool digits = false;
  for (const char c : text) {
    if (c == '.' && scale == 0.0) {
      scale = 0.1;
      continue;
    }
    if (!IsDigit(c)) return std::nullopt;
    digits = true;
    if (scale == 0.0) {
      whole = whole * 10.0 + (c - '0');
      if (whole > 86400.0) return std::nullopt;
    } else {
      whole += scale * (c - '0');
      scale /= 10.0;
    }
  }
  if (!digits) return std::nullopt;
  return whole;
}

std::optional<long> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  long value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return value;
}

std::optional<long> ParseCount(std::string_view text) {
  if (text.empty()) return std::nullopt;
  long value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 1000000) return std::nullopt;
  }
  if (value < 1) return std::nullopt;
  return value;
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
  ParseResult result;
  if (args.empty()) {
    result.error = "no command given";
    return result;
  }
  Options o;
  const std::string& command = args[0];
  if (command == "send") {
    o.command = Command::Send;
  } else if (command == "ping") {
    o.command = Command::Ping;
  } else if (command == "query") {
    o.command = Command::Query;
  } else if (command == "listen") {
    o.command = Command::Listen;
  } else if (command == "doctor") {
    o.command = Command::Doctor;
  } else {
    result.error = "unknown command \"" + command + "\"";
    return result;
  }

  std::vector<std::string> operands;
  bool optionsEnded = false;
  bool waitGiven = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    // The text of a send starts at its second operand; from there everything is text.
    const bool inText = o.command == Command::Send && operands.size() >= 1;
    if (optionsEnded || inText || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      operands.push_back(a);
      continue;
    }
    std::string value;
    if (a == "--") {
      optionsEnded = true;
    } else if (a == "--from" && o.command == Command::Send) {
      if (!TakeValue(args, i, value, result.error)) return result;
      if (value.empty()) {
        result.error = "--from needs a name";
        return result;
      }
      o.from = value;
    } else if (a == "--secure" && (o.command == Command::Send || o.command == Command::Listen)) {
      o.secure = true;
    } else if (a == "--confirm" && o.command == Command::Send) {
      o.confirm = true;
    } else if (a == "--session" && o.command == Command::Send) {
      o.session = true;
    } else if (a == "--address" && o.command == Command::Send) {
      if (!TakeValue(args, i, value, result.error)) return result;
      if (value.empty()) {
        result.error = "--address needs an address";
        return result;
      }
      o.address = value;
    } else if (a == "--port" && o.command == Command::Send) {
      if (!TakeValue(args, i, value, result.error)) return result;
      o.port = ParsePort(value);
      if (!o.port) {
        result.error = "--port needs a port number from 1 to 65535, not \"" + value + "\"";
        return result;
      }
    } else if (a == "--utils" && o.command == Command::Listen) {
      o.utils = true;
    } else if (a == "--wait" && (o.command == Command::Ping || o.command == Command::Query ||
                                 o.command == Command::Send)) {
      if (!TakeValue(args, i, value, result.error)) return result;
      const auto s = ParseSeconds(value);
      if (!s) {
        result.error = "--wait needs a number of seconds, not \"" + value + "\"";
        return result;
      }
      o.waitSeconds = *s;
      waitGiven = true;
    } else if (a == "--count" && o.command == Command::Listen) {
      if (!TakeValue(args, i, value, result.error)) return result;
      o.count = ParseCount(value);
      if (!o.count) {
        result.error = "--count needs a whole number from 1, not \"" + value + "\"";
        return result;
      }
    } else if (a == "--timeout" && o.command == Command::Listen) {
      if (!TakeValue(args, i, value, result.error)) return result;
      o.timeoutSeconds = ParseSeconds(value);
      if (!o.timeoutSeconds) {
        result.error = "--timeout needs a number of seconds, not \"" + value + "\"";
        return result;
      }
    } else {
      result.error = "unknown option " + a + " for " + command;
      return result;
    }
  }

  switch (o.command) {
    case Command::Send:
      if (waitGiven && !o.confirm) {
        result.error = "--wait needs --confirm for send";
        return result;
      }
      if (o.confirm && o.secure) {
        result.error = "--confirm lets the answer choose the channel; it cannot go with --secure";
        return result;
      }
      // The answer to the channel query is awaited one second, as the program waits.
      if (!waitGiven) o.waitSeconds = 1.0;
      if (operands.size() < 2) {
        result.error = "send needs a TARGET and a TEXT";
        return result;
      }
      o.target = operands[0];
      for (std::size_t i = 1; i < operands.size(); ++i) {
        if (i > 1) o.text += ' ';
        o.text += operands[i];
      }
      break;
    case Command::Ping:
    case Command::Query:
      if (operands.size() != 1) {
        result.error = command + " needs exactly one TARGET";
        return result;
      }
      o.target = operands[0];
      break;
    case Command::Doctor:
      if (operands.size() > 1) {
        result.error = "doctor takes at most one NAME";
        return result;
      }
      if (!operands.empty()) o.target = operands[0];
      break;
    case Command::Listen:
      if (!operands.empty()) {
        result.error = command + " takes no operands";
        return result;
      }
      break;
  }
  if (o.session && o.secure) {
    result.error = "--session and --secure are two different ways; choose one";
    return result;
  }
  if (!o.session && (!o.address.empty() || o.port)) {
    result.error = "--address and --port go with --session";
    return result;
  }
  if (o.command != Command::Listen && o.command != Command::Doctor && o.target.empty()) {
    result.error = "the TARGET is empty";
    return result;
  }
  result.options = o;
  return result;
}

std::string EscapeField(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r') {
      out += "\\n";
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string ListenLine(std::string_view channel, std::string_view sender,
                       std::string_view recipient, std::string_view text) {
  std::string line(channel);
  for (std::string_view field : {sender, recipient, text}) {
    line.push_back('\t');
    line += EscapeField(text::AnsiToUtf8(field));
  }
  return line;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count); wide != nullptr) {
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
      const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string arg(n > 0 ? static_cast<std::size_t>(n) : 1, '\0');
      if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
      arg.resize(arg.size() - 1);  // the terminating zero
      args.push_back(std::move(arg));
    }
    LocalFree(wide);
    return args;
  }
#endif
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace pelmora::cli
