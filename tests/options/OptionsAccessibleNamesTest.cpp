// The options dialog as a screen reader gets it: every control of every page has a name it can
// say, in each language, and no description carries markup.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include "OptionsTestSupport.h"
#include "options/VOpciones.h"

using namespace pelmora;

class OptionsAccessibleNamesTest : public QObject {
  Q_OBJECT

 private slots:
  void everyControlSpeaks_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("es") << 0;
    QTest::newRow("de") << 1;
    QTest::newRow("en") << 2;
  }

  void everyControlSpeaks() {
    QFETCH(int, language);
    testing::FakeOptionsHost host;
    host.vars.LanguageIndex = static_cast<std::uint8_t>(language);
    TVOpciones dlg(host);
    QStringList silent;
    int controls = 0;
    for (QWidget* w : dlg.findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                           qobject_cast<QLineEdit*>(w) ||
                           (qobject_cast<QAbstractItemView*>(w) &&
                            !qobject_cast<QComboBox*>(w->parentWidget()->parentWidget()));
      if (!control || w->objectName().startsWith(QLatin1String("qt_"))) continue;
      if (qobject_cast<QLineEdit*>(w) && qobject_cast<QComboBox*>(w->parentWidget())) continue;
      ++controls;
      QAccessibleInterface* i = QAccessible::queryAccessibleInterface(w);
      QVERIFY(i != nullptr);
      if (i->text(QAccessible::Name).trimmed().isEmpty())
        silent << w->objectName() + QLatin1Char('(') + QLatin1String(w->metaObject()->className()) +
                      QLatin1Char(')');
      QVERIFY2(!i->text(QAccessible::Description).contains(QLatin1Char('<')),
               qPrintable(w->objectName()));
    }
    QVERIFY(controls > 20);
    QVERIFY2(silent.isEmpty(), qPrintable(silent.join(QStringLiteral(", "))));
  }
};

QTEST_MAIN(OptionsAccessibleNamesTest)
#include "OptionsAccessibleNamesTest.moc"
