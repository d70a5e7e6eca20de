#include "widgets/Fonts.h"

namespace pelmora {
namespace {

QFont PixelFont(const QString& family, QFont::StyleHint hint) {
  QFont font(family);
  // The family is a preference; the hint picks a font of the right kind where it is missing.
  font.setStyleHint(hint);
  font.setPixelSize(kDesignFontPixelHeight);
  return font;
}

}  // namespace

QFont PelmoraInterfaceFont() { return PixelFont(QStringLiteral("DejaVu Sans"), QFont::SansSerif); }

QFont PelmoraFixedFont() {
  QFont font = PixelFont(QStringLiteral("DejaVu Sans Mono"), QFont::TypeWriter);
  font.setFixedPitch(true);
  return font;
}

}  // namespace pelmora
