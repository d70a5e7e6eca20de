#include "widgets/TColor.h"

#include <QApplication>

namespace pelmora {
namespace {

// The theme colour that stands in for each system colour index of the settings.
QColor SystemColor(unsigned index, const QPalette& p) {
  switch (index) {
    case 0:
      return p.color(QPalette::Mid);  // scroll bar
    case 1:
      return p.color(QPalette::Dark);  // desktop
    case 2:
      return p.color(QPalette::Highlight);  // active caption
    case 3:
      return p.color(QPalette::Mid);  // inactive caption
    case 4:
      return p.color(QPalette::Window);  // menu
    case 5:
      return p.color(QPalette::Base);  // window
    case 6:
      return p.color(QPalette::Shadow);  // window frame
    case 7:
      return p.color(QPalette::WindowText);  // menu text
    case 8:
      return p.color(QPalette::Text);  // window text
    case 9:
      return p.color(QPalette::HighlightedText);  // caption text
    case 10:
    case 11:
      return p.color(QPalette::Button);  // borders
    case 12:
      return p.color(QPalette::Mid);  // application workspace
    case 13:
      return p.color(QPalette::Highlight);
    case 14:
      return p.color(QPalette::HighlightedText);
    case 15:
      return p.color(QPalette::Button);  // button face
    case 16:
      return p.color(QPalette::Dark);  // button shadow
    case 17:
      return p.color(QPalette::Disabled, QPalette::Text);  // grey text
    case 18:
      return p.color(QPalette::ButtonText);
    case 19:
      return p.color(QPalette::Disabled, QPalette::WindowText);  // inactive caption text
    case 20:
      return p.color(QPalette::Light);  // button highlight
    case 21:
      return p.color(QPalette::Shadow);  // 3D dark shadow
    case 22:
      return p.color(QPalette::Midlight);  // 3D light
    case 23:
      return p.color(QPalette::ToolTipText);
    case 24:
      return p.color(QPalette::ToolTipBase);
    default:
      return p.color(QPalette::Text);
  }
}

}  // namespace

QColor ToQColor(TColor color, const QPalette& palette) {
  if (color == clNone) return QColor();
  if (color & kSystemColorFlag) return SystemColor(color & 0xFFu, palette);
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

TColor FromQColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<TColor>(rgb.red()) | static_cast<TColor>(rgb.green()) << 8 |
         static_cast<TColor>(rgb.blue()) << 16;
}

}  // namespace pelmora
