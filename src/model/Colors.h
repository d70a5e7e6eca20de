#pragma once
// Colours as the settings and the options dialog hold them: a 32-bit value 0x00BBGGRR for an RGB
// colour; with the top bit set (0x80000000 + index) a system colour that is looked up only when
// drawing; 0x1FFFFFFF ("clNone") for no colour at all.
//
// The names are those the Windows program wrote into its settings ("clBlack", "clBtnFace", ...),
// so that its files keep their meaning. The settings and the colour combo of the options dialog
// share this one table.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
// The framework's "default colour": it has no name and the colour combo offers no item for it.
inline constexpr TColor clDefault = 0x20000000;

// System colours: 0x80000000 plus the system colour index.
inline constexpr TColor kSystemColorFlag = 0x80000000u;
inline constexpr TColor clWindow = kSystemColorFlag | 5;
inline constexpr TColor clWindowText = kSystemColorFlag | 8;
inline constexpr TColor clHighlight = kSystemColorFlag | 13;
inline constexpr TColor clHighlightText = kSystemColorFlag | 14;
inline constexpr TColor clBtnFace = kSystemColorFlag | 15;

struct ColorName {
  TColor Value;
  std::string_view Name;
};

// Every named colour in table order: the sixteen basic colours, the system colours, "clNone".
const std::vector<ColorName>& ColorNameTable();

// The name of the colour (the first entry of the table with that value), or nothing.
std::optional<std::string_view> ColorToIdent(TColor color);
// The colour of a name, matched ignoring the case of a-z, or nothing.
std::optional<TColor> IdentToColor(std::string_view name);

// The text the settings store: the colour's name, else "$" and eight upper-case hex digits.
std::string ColorToString(TColor color);
// A colour name, a decimal number (a negative one gives the 32-bit pattern, as system colours
// were sometimes written) or "$" and up to eight hex digits; blanks around it are ignored.
// Nothing for any other text, also for a number that does not fit 32 bits.
std::optional<TColor> StringToColor(std::string_view text);

}  // namespace pelmora
