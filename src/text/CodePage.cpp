#include "text/CodePage.h"

#include <array>
#include <cerrno>
#include <cstdint>
#ifdef _WIN32
#include <windows.h>
// winuser.h names the system's own conversions AnsiToOem and OemToAnsi, as macros.
#undef AnsiToOem
#undef OemToAnsi
#else
#include <iconv.h>
#endif
#include <stdexcept>
#include <unordered_map>

namespace pelmora::text {
namespace {

constexpr char32_t kNoChar = 0xFFFFFFFF;

// The Unicode character of every byte of a single-byte code page, kNoChar where the code page
// leaves the byte undefined. Built once from the system's own tables: glibc's iconv on Linux,
// MultiByteToWideChar on Windows (so the program converts exactly as the system does).
std::array<char32_t, 256> DecodeTable(const char* codePage, unsigned windowsCodePage) {
  std::array<char32_t, 256> table{};
#ifdef _WIN32
  for (int b = 0; b < 256; ++b) {
    const char in = static_cast<char>(b);
    wchar_t out[2] = {0, 0};
    const int n = MultiByteToWideChar(windowsCodePage, MB_ERR_INVALID_CHARS, &in, 1, out, 2);
    table[b] = n == 1 ? static_cast<char32_t>(out[0]) : kNoChar;
  }
  if (table['A'] != U'A') {
    throw std::runtime_error(std::string("the system cannot convert from ") + codePage);
  }
#else
  (void)windowsCodePage;
  iconv_t cd = iconv_open("UCS-4LE", codePage);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv cannot convert from ") + codePage);
  }
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[4] = {0, 0, 0, 0};
    char* inPtr = &in;
    size_t inLeft = 1;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || outLeft != 0) {
      table[b] = kNoChar;
    } else {
      table[b] = static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 |
                                       static_cast<uint32_t>(out[3]) << 24);
    }
  }
  iconv_close(cd);
#endif
  return table;
}

struct SingleByteCodePage {
  std::array<char32_t, 256> decode;
  std::unordered_map<char32_t, unsigned char> encode;

  SingleByteCodePage(const char* name, unsigned windowsCodePage)
      : decode(DecodeTable(name, windowsCodePage)) {
    for (int b = 255; b >= 0; --b) {
      if (decode[b] != kNoChar) encode[decode[b]] = static_cast<unsigned char>(b);
    }
  }

  char Encode(char32_t c) const {
    auto it = encode.find(c);
    return it == encode.end() ? '?' : static_cast<char>(it->second);
  }
};

const SingleByteCodePage& Ansi() {
  static const SingleByteCodePage cp("CP1252", 1252);
  return cp;
}

const SingleByteCodePage& Oem(OemCodePage codePage) {
  static const SingleByteCodePage cp850("CP850", 850);
  static const SingleByteCodePage cp437("CP437", 437);
  return codePage == OemCodePage::Cp437 ? cp437 : cp850;
}

// A byte-to-byte table between two single-byte code pages.
using Recode = std::array<char, 256>;

Recode BuildRecode(const SingleByteCodePage& from, const SingleByteCodePage& to) {
  Recode r{};
  for (int b = 0; b < 256; ++b) {
    r[b] = from.decode[b] == kNoChar ? '?' : to.Encode(from.decode[b]);
  }
  return r;
}

std::string Apply(const Recode& r, std::string_view s) {
  std::string out(s.size(), '\0');
  for (size_t i = 0; i < s.size(); ++i) out[i] = r[static_cast<unsigned char>(s[i])];
  return out;
}

}  // namespace

bool OemCodePageFromNumber(int number, OemCodePage& out) {
  if (number == 850) {
    out = OemCodePage::Cp850;
    return true;
  }
  if (number == 437) {
    out = OemCodePage::Cp437;
    return true;
  }
  return false;
}

std::string AnsiToOem(std::string_view ansi, OemCodePage oem) {
  static const Recode to850 = BuildRecode(Ansi(), Oem(OemCodePage::Cp850));
  static const Recode to437 = BuildRecode(Ansi(), Oem(OemCodePage::Cp437));
  return Apply(oem == OemCodePage::Cp437 ? to437 : to850, ansi);
}

std::string OemToAnsi(std::string_view oem, OemCodePage codePage) {
  static const Recode from850 = BuildRecode(Oem(OemCodePage::Cp850), Ansi());
  static const Recode from437 = BuildRecode(Oem(OemCodePage::Cp437), Ansi());
  return Apply(codePage == OemCodePage::Cp437 ? from437 : from850, oem);
}

std::string AnsiToUtf8(std::string_view ansi) {
  const auto& cp = Ansi();
  std::string out;
  out.reserve(ansi.size() * 2);
  for (char ch : ansi) {
    char32_t c = cp.decode[static_cast<unsigned char>(ch)];
    AppendUtf8(out, c == kNoChar ? U'?' : c);
  }
  return out;
}

bool IsUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t more;
    if (c < 0x80)
      more = 0;
    else if (c >= 0xC2 && c <= 0xDF)
      more = 1;
    else if (c >= 0xE0 && c <= 0xEF)
      more = 2;
    else if (c >= 0xF0 && c <= 0xF4)
      more = 3;
    else
      return false;
    if (more > 0 && s.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += more + 1;
  }
  return true;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  const auto& cp = Ansi();
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  const size_t n = utf8.size();
  auto cont = [&](size_t k) {
    return k < n && (static_cast<unsigned char>(utf8[k]) & 0xC0) == 0x80;
  };
  while (i < n) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    char32_t c = 0;
    size_t len = 0;
    if (b < 0x80) {
      c = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0 && cont(i + 1)) {
      c = (b & 0x1F) << 6 | (utf8[i + 1] & 0x3F);
      len = 2;
      if (c < 0x80) len = 0;  // overlong
    } else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
      c = (b & 0x0F) << 12 | (utf8[i + 1] & 0x3F) << 6 | (utf8[i + 2] & 0x3F);
      len = 3;
      if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) len = 0;
    } else if ((b & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      c = (b & 0x07) << 18 | (utf8[i + 1] & 0x3F) << 12 | (utf8[i + 2] & 0x3F) << 6 |
          (utf8[i + 3] & 0x3F);
      len = 4;
      if (c < 0x10000 || c > 0x10FFFF) len = 0;
    }
    if (len == 0) {
      out += '?';
      ++i;  // resynchronise on the next byte
      while (i < n && cont(i)) ++i;
      continue;
    }
    out += cp.Encode(c);
    i += len;
  }
  return out;
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace pelmora::text
