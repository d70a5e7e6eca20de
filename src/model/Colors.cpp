#include "model/Colors.h"

#include <charconv>

#include "text/CodePage.h"

namespace pelmora {

const std::vector<ColorName>& ColorNameTable() {
  static const std::vector<ColorName> table = {
      {clBlack, "clBlack"},
      {clMaroon, "clMaroon"},
      {clGreen, "clGreen"},
      {clOlive, "clOlive"},
      {clNavy, "clNavy"},
      {clPurple, "clPurple"},
      {clTeal, "clTeal"},
      {clGray, "clGray"},
      {clSilver, "clSilver"},
      {clRed, "clRed"},
      {clLime, "clLime"},
      {clYellow, "clYellow"},
      {clBlue, "clBlue"},
      {clFuchsia, "clFuchsia"},
      {clAqua, "clAqua"},
      {clWhite, "clWhite"},
      {kSystemColorFlag | 0, "clScrollBar"},
      {kSystemColorFlag | 1, "clBackground"},
      {kSystemColorFlag | 2, "clActiveCaption"},
      {kSystemColorFlag | 3, "clInactiveCaption"},
      {kSystemColorFlag | 4, "clMenu"},
      {kSystemColorFlag | 5, "clWindow"},
      {kSystemColorFlag | 6, "clWindowFrame"},
      {kSystemColorFlag | 7, "clMenuText"},
      {kSystemColorFlag | 8, "clWindowText"},
      {kSystemColorFlag | 9, "clCaptionText"},
      {kSystemColorFlag | 10, "clActiveBorder"},
      {kSystemColorFlag | 11, "clInactiveBorder"},
      {kSystemColorFlag | 12, "clAppWorkSpace"},
      {kSystemColorFlag | 13, "clHighlight"},
      {kSystemColorFlag | 14, "clHighlightText"},
      {kSystemColorFlag | 15, "clBtnFace"},
      {kSystemColorFlag | 16, "clBtnShadow"},
      {kSystemColorFlag | 17, "clGrayText"},
      {kSystemColorFlag | 18, "clBtnText"},
      {kSystemColorFlag | 19, "clInactiveCaptionText"},
      {kSystemColorFlag | 20, "clBtnHighlight"},
      {kSystemColorFlag | 21, "cl3DDkShadow"},
      {kSystemColorFlag | 22, "cl3DLight"},
      {kSystemColorFlag | 23, "clInfoText"},
      {kSystemColorFlag | 24, "clInfoBk"},
      {clNone, "clNone"},
  };
  return table;
}

std::optional<std::string_view> ColorToIdent(TColor color) {
  for (const ColorName& entry : ColorNameTable()) {
    if (entry.Value == color) return entry.Name;
  }
  return std::nullopt;
}

std::optional<TColor> IdentToColor(std::string_view name) {
  for (const ColorName& entry : ColorNameTable()) {
    if (text::EqualsIgnoreAsciiCase(entry.Name, name)) return entry.Value;
  }
  return std::nullopt;
}

std::string ColorToString(TColor color) {
  if (auto name = ColorToIdent(color)) return std::string(*name);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "$";
  for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(color >> shift) & 0xF];
  return out;
}

std::optional<TColor> StringToColor(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  if (auto named = IdentToColor(text)) return named;

  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (text.front() == '$') {
    if (text.size() < 2 || text.size() > 9) return std::nullopt;
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(first + 1, last, value, 16);
    if (ec != std::errc() || end != last) return std::nullopt;
    return value;
  }
  std::int64_t value = 0;
  const char* start = text.front() == '+' ? first + 1 : first;
  auto [end, ec] = std::from_chars(start, last, value, 10);
  if (ec != std::errc() || end != last || start == last) return std::nullopt;
  if (value < INT32_MIN || value > UINT32_MAX) return std::nullopt;
  return static_cast<TColor>(static_cast<std::uint32_t>(value & 0xFFFFFFFF));
}

}  // namespace pelmora
