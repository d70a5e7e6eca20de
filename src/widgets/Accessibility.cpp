#include "widgets/Accessibility.h"

#include <QApplication>
#include <QEvent>
#include <QTextDocumentFragment>
#include <QWidget>

namespace pelmora {
namespace {

// The description this part derived last; one set by anybody else differs from it and stays.
constexpr char kDerivedProperty[] = "pelmoraDescriptionFromTip";

}  // namespace

QString TipAsPlainText(const QString& tip) {
  if (!Qt::mightBeRichText(tip)) return tip;
  return QTextDocumentFragment::fromHtml(tip).toPlainText().trimmed();
}

PlainTipDescriptions::PlainTipDescriptions(QObject* parent) : QObject(parent) {}

PlainTipDescriptions::~PlainTipDescriptions() {
  if (qApp != nullptr) qApp->removeEventFilter(this);
}

void PlainTipDescriptions::Install() {
  qApp->installEventFilter(this);
  for (QWidget* w : QApplication::allWidgets()) {
    if (!w->toolTip().isEmpty()) Update(w);
  }
}

bool PlainTipDescriptions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTipChange && watched->isWidgetType())
    Update(static_cast<QWidget*>(watched));
  return false;
}

void PlainTipDescriptions::Update(QWidget* widget) {
  const QString current = widget->accessibleDescription();
  const QString derived = widget->property(kDerivedProperty).toString();
  if (!current.isEmpty() && current != derived) return;
  const QString plain = TipAsPlainText(widget->toolTip());
  widget->setProperty(kDerivedProperty, plain);
  widget->setAccessibleDescription(plain);
}

}  // namespace pelmora
