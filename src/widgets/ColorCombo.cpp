#include "widgets/ColorCombo.h"

#include <QPainter>
#include <QPixmap>
#include <string>

namespace pelmora {
namespace colorcombo {

std::optional<TColor> ColorOfItem(std::string_view text) {
  // The table the settings read and write colours with, so a name means the same colour in the
  // file and in this list.
  return IdentToColor(text);
}

}  // namespace colorcombo

namespace {
std::optional<TColor> ColorOfText(const QString& text) {
  const QByteArray latin = text.toLatin1();
  return colorcombo::ColorOfItem(
      std::string_view(latin.constData(), static_cast<std::size_t>(latin.size())));
}
}  // namespace

TColorCombo::TColorCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  setIconSize(QSize(14, kItemHeight - 6));
}

QPixmap TColorCombo::Swatch(std::optional<TColor> color, int itemHeight, const QPalette& palette) {
  const int h = std::max(2, itemHeight - 6);
  QPixmap pm(14, h);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  if (color && *color != clNone) p.fillRect(pm.rect(), ToQColor(*color, palette));
  p.setPen(Qt::black);
  p.drawRect(0, 0, 13, h - 1);
  // No colour at all: a cross, so it does not look like the page's background.
  if (color && *color == clNone) p.drawLine(0, h - 1, 13, 0);
  return pm;
}

void TColorCombo::AddColorItem(const QString& text) {
  addItem(QIcon(Swatch(ColorOfText(text), kItemHeight, palette())), text);
}

void TColorCombo::FillColorList() {
  clear();
  for (std::string_view name : colorcombo::kItems) {
    AddColorItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
  }
}

TColor TColorCombo::GetSelectedColor() const {
  if (currentIndex() < 0) return clBlack;
  return ColorOfText(currentText()).value_or(clBlack);
}

void TColorCombo::SetSelectedColor(TColor color) {
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(count()));
  for (int i = 0; i < count(); ++i) texts.push_back(itemText(i).toStdString());
  setCurrentIndex(colorcombo::PositionOfColor(texts, color));
}

}  // namespace pelmora
