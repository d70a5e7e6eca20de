#include "widgets/PelmoraIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resources live in this static library; naming the initialiser here makes the linker keep
// them for every program that asks for the icon.
static void InitWidgetResources() { Q_INIT_RESOURCE(widgets); }

namespace pelmora {

QIcon PelmoraIcon() {
  InitWidgetResources();
  // Drawn here rather than left to an SVG icon plugin, which not every installation has.
  QSvgRenderer renderer(QStringLiteral(":/pelmora/pelmora.svg"));
  QIcon icon;
  if (!renderer.isValid()) return icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace pelmora
