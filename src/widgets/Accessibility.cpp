#include "widgets/Accessibility.h"

#include <QAccessibleObject>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QTextDocumentFragment>
#include <QWidget>

namespace pelmora {
namespace {

// The description this part derived last; one set by anybody else differs from it and stays.
constexpr char kDerivedProperty[] = "pelmoraDescriptionFromTip";

// The application's entry: Qt's own children (the top-level windows other than popups), then
// the popup menus that are open, in the order the program made them.
class ApplicationWithPopups : public QAccessibleApplication {
 public:
  int childCount() const override {
    return QAccessibleApplication::childCount() + static_cast<int>(OpenMenus().size());
  }
  QAccessibleInterface* child(int index) const override {
    const int own = QAccessibleApplication::childCount();
    if (index < own) return QAccessibleApplication::child(index);
    const QList<QMenu*> menus = OpenMenus();
    if (index - own >= menus.size()) return nullptr;
    return QAccessible::queryAccessibleInterface(menus[index - own]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const int own = QAccessibleApplication::indexOfChild(child);
    if (own >= 0 || child == nullptr) return own;
    const int at = static_cast<int>(OpenMenus().indexOf(qobject_cast<QMenu*>(child->object())));
    return at < 0 ? -1 : QAccessibleApplication::childCount() + at;
  }

 private:
  static QList<QMenu*> OpenMenus() {
    QList<QMenu*> menus;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* menu = qobject_cast<QMenu*>(w);
      if (menu != nullptr && menu->isVisible()) menus.append(menu);
    }
    return menus;
  }
};

QAccessibleInterface* ApplicationFactory(const QString&, QObject* object) {
  if (object == nullptr || object != QCoreApplication::instance()) return nullptr;
  return new ApplicationWithPopups;
}

}  // namespace

void ListPopupMenusOnTheAccessibilityBus() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(ApplicationFactory);
}

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
