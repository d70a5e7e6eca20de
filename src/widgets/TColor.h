#pragma once
// Colours as the settings and the options dialog hold them: a 32-bit value 0x00BBGGRR for an RGB
// colour; with the top bit set (0x80000000 + index) a system colour that is looked up only when
// drawing; 0x1FFFFFFF ("clNone") for no colour at all.

#include <QColor>
#include <QPalette>
#include <cstdint>

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

// System colours: 0x80000000 plus the system colour index.
inline constexpr TColor kSystemColorFlag = 0x80000000u;
inline constexpr TColor clWindow = kSystemColorFlag | 5;
inline constexpr TColor clWindowText = kSystemColorFlag | 8;
inline constexpr TColor clHighlight = kSystemColorFlag | 13;
inline constexpr TColor clHighlightText = kSystemColorFlag | 14;
inline constexpr TColor clBtnFace = kSystemColorFlag | 15;

// The QColor to draw with. System colours are taken from `palette` (the widget's own, so they
// follow the desktop theme); an unknown system index gives the palette's text colour, clNone
// gives an invalid QColor (the caller then leaves the default).
QColor ToQColor(TColor color, const QPalette& palette);

// An RGB colour as a TColor (alpha is dropped).
TColor FromQColor(const QColor& color);

}  // namespace pelmora
