#include "widgets/Screenshot.h"

#include <QCheckBox>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
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

bool CaptionFits(const QAbstractButton* b) {
  if (qobject_cast<const QCheckBox*>(b) != nullptr ||
      qobject_cast<const QRadioButton*>(b) != nullptr)
    return b->sizeHint().width() <= b->width();
  QString text = b->text();
  text.remove(QLatin1Char('&'));
  const auto* push = qobject_cast<const QPushButton*>(b);
  const int frame = push != nullptr && push->isFlat() ? 0 : 4;
  return b->fontMetrics().horizontalAdvance(text) + 2 * frame <= b->width();
}

}  // namespace pelmora
