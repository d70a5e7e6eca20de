#include "widgets/Screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace pelmora {

QString SaveScreenshot(QWidget* widget, const QString& name) {
  const QString folder = qEnvironmentVariable("PELMORA_SCREENSHOTS");
  if (folder.isEmpty() || widget == nullptr) return QString();
  if (!QDir().mkpath(folder)) return QString();
  const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
  if (!widget->grab().save(path, "PNG")) return QString();
  return path;
}

}  // namespace pelmora
