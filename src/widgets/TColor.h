#pragma once
// Colours on screen. The values and their names (model/Colors.h) need no Qt; this is where a
// value meets the desktop's palette.

#include <QColor>
#include <QPalette>

#include "model/Colors.h"

namespace pelmora {

// The QColor to draw with. System colours are taken from `palette` (the widget's own, so they
// follow the desktop theme); an unknown system index gives the palette's text colour, clNone
// gives an invalid QColor (the caller then leaves the default).
QColor ToQColor(TColor color, const QPalette& palette);

// An RGB colour as a TColor (alpha is dropped).
TColor FromQColor(const QColor& color);

}  // namespace pelmora
