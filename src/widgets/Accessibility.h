#pragma once
// What a screen reader says about the program's controls. Names come from the text table (see
// the window's ApplyAccessibleNames); this part keeps descriptions readable.

#include <QObject>
#include <QString>

class QWidget;

namespace pelmora {

// A tool tip as a screen reader should say it: plain text. Tips that hold markup (PlainTip
// wraps names from the network in markup so that Qt shows them literally) lose it here; a tip
// that is plain already is returned as it is.
QString TipAsPlainText(const QString& tip);

// Watches every widget of the application: when a tool tip changes, the widget's accessible
// description becomes the tip as plain text, unless the description was set on purpose.
// Without it Qt hands the tip's markup ("<p>...</p>") to the accessibility bus.
// Makes the program's open popup menus (the tray icon's menu above all) children of the
// application on the accessibility bus. Qt leaves popup windows out of the application's
// children, and the tray menu belongs to no menu bar: without this a screen reader finds no way
// to it. Call before the QApplication is made (the application's entry is made once, at the
// first question from the bus).
void ListPopupMenusOnTheAccessibilityBus();

class PlainTipDescriptions : public QObject {
  Q_OBJECT

 public:
  explicit PlainTipDescriptions(QObject* parent = nullptr);
  ~PlainTipDescriptions() override;

  // Also brings the descriptions of widgets that got their tips before it was installed.
  void Install();

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Update(QWidget* widget);
};

}  // namespace pelmora
