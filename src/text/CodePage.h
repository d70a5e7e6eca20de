#pragma once
// Conversions between the single-byte code pages the program speaks and UTF-8.
//
// Inside the program every text is a std::string of Windows-1252 ("ANSI") bytes, as it travels on
// the private channels and sits in the files. The messenger datagram carries the OEM (console)
// code page, 850 or 437; Qt wants UTF-8. A character that the target cannot hold becomes "?",
// the way the Windows conversions behave. Beside them, the few byte-wise text helpers that must not
// depend on the C library's locale: ASCII letter case and trimming.

#include <string>
#include <string_view>

namespace pelmora::text {

// OEM code pages the messenger datagram may use.
enum class OemCodePage { Cp850 = 850, Cp437 = 437 };

// Returns the code page for a number from the machine configuration; false for anything else.
bool OemCodePageFromNumber(int number, OemCodePage& out);

std::string AnsiToOem(std::string_view ansi, OemCodePage oem = OemCodePage::Cp850);
std::string OemToAnsi(std::string_view oem, OemCodePage codePage = OemCodePage::Cp850);

std::string AnsiToUtf8(std::string_view ansi);
// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t c);
// Invalid UTF-8 sequences and characters that Windows-1252 lacks become "?".
std::string Utf8ToAnsi(std::string_view utf8);
// True when the bytes are well-formed UTF-8 (no overlong forms of two bytes, nothing past U+10FFFF
// by its lead byte). Text files of a Linux system are UTF-8; one that is not was most likely
// written on Windows, in Windows-1252.
bool IsUtf8(std::string_view s);

// Upper-cases the ASCII letters a to z only; every other byte stays as it is. Names are held
// upper case this way, so accented letters keep their case exactly as the user typed them.
std::string UpperAscii(std::string_view s);
std::string LowerAscii(std::string_view s);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// `s` without the ASCII white space (blank, tab, CR, LF, vertical tab, form feed) at either end;
// every other byte, 0xA0 included, is text.
std::string_view Trim(std::string_view s);

}  // namespace pelmora::text
