#pragma once
// TColorCombo: a drop-down list of colour names, each item drawn with a small swatch of its
// colour before the name. The items are colour identifiers as text ("clBlack", "clRed", ...);
// the box converts between the selected item and a colour value.
//
// Only the user's picks are reported (connect to `activated`): setting the colour from code
// never looks like a change, so filling a dialog cannot write anything back.

#include <QComboBox>
#include <array>
#include <optional>
#include <string_view>

#include "widgets/TColor.h"

namespace pelmora {

namespace colorcombo {

// The nineteen items of the list, in order. "clSilver" and "clGray" come twice (light and dark
// grey of the old standard colour list), so a lookup by value lands on the second of each.
inline constexpr std::array<std::string_view, 19> kItems = {
    "clBlack", "clMaroon", "clGreen", "clOlive", "clNavy",   "clPurple", "clTeal",
    "clGray",  "clSilver", "clRed",   "clLime",  "clYellow", "clBlue",   "clFuchsia",
    "clAqua",  "clSilver", "clGray",  "clWhite", "clNone"};

// The colour an item's text names, or nothing when the text is no colour identifier. Letter
// case is ignored, as everywhere colour names are read.
std::optional<TColor> ColorOfItem(std::string_view text);

// The position SetSelectedColor picks among these texts: the last item naming exactly this
// colour, or -1.
template <typename Texts>
int PositionOfColor(const Texts& texts, TColor color) {
  int found = -1;
  int i = 0;
  for (const auto& t : texts) {
    const auto c = ColorOfItem(std::string_view(t));
    if (c && *c == color) found = i;
    ++i;
  }
  return found;
}

}  // namespace colorcombo

class TColorCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit TColorCombo(QWidget* parent = nullptr);

  // Replaces the items by the nineteen standard colour names, each with its swatch.
  void FillColorList();

  // The colour of the selected item; black when nothing is selected or the item's text names
  // no colour.
  TColor GetSelectedColor() const;
  // Selects the last item naming exactly this colour; nothing selected when none does.
  void SetSelectedColor(TColor color);

  // Adds one item by its text, with its swatch (an item that names no colour gets an empty,
  // framed swatch).
  void AddColorItem(const QString& text);

  // The swatch drawn before an item: 14 pixels wide, the item height less 3 above and below,
  // framed in black; clNone is crossed out, a text naming no colour is left unfilled.
  // System colours are taken from `palette`.
  static QPixmap Swatch(std::optional<TColor> color, int itemHeight, const QPalette& palette);

  static constexpr int kItemHeight = 16;
};

}  // namespace pelmora
