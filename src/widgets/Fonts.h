#pragma once
// The two fonts of the program's windows, mapped to fonts this platform has.
//
// The windows were laid out at 96 dpi for an 8-point interface font of 11 pixels ("height -11")
// and a fixed-pitch font of the same height. Both are given here as pixel-sized fonts so the
// fixed pixel geometry of the forms keeps fitting whatever the desktop's point scaling is:
//   - interface font: a sans-serif font (DejaVu Sans where installed), 11 px;
//   - fixed-pitch font: a monospace font (DejaVu Sans Mono where installed), 11 px.
// With the conversation panes' line height of font pixels + 4, an 11-pixel font gives the 15-pixel
// lines the panes were designed for (a pane 193 pixels high shows 12 whole lines).

#include <QFont>

namespace pelmora {

inline constexpr int kDesignFontPixelHeight = 11;

QFont PelmoraInterfaceFont();
QFont PelmoraFixedFont();

}  // namespace pelmora
