// What a screen reader gets from the window's controls, in each language, without a bus: Qt's
// own accessibility interfaces answer what the bus would carry. a11y_xvfb_test.sh reads the real
// program through the bus.

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "AppTestSupport.h"
#include "app/AccessibleNames.h"
#include "widgets/Accessibility.h"
#include "widgets/AnsiText.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;
using namespace pelmora::testing;

namespace {

QString Spoken(QWidget* w, QAccessible::Text what = QAccessible::Name) {
  QAccessibleInterface* i = QAccessible::queryAccessibleInterface(w);
  return i ? i->text(what) : QString();
}

// The window's controls: what a user presses, picks, types in or reads. The scroll bars inside
// the panes and memos are never shown and are left out.
QList<QWidget*> Controls(QWidget* window) {
  QList<QWidget*> out;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (qobject_cast<QScrollBar*>(w) &&
        qobject_cast<QAbstractScrollArea*>(w->parentWidget()->parentWidget()))
      continue;
    if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
        qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractScrollArea*>(w) ||
        qobject_cast<QScrollBar*>(w))
      out.append(w);
  }
  return out;
}

}  // namespace

class AccessibleNamesTest : public QObject {
  Q_OBJECT

 private slots:
  void everyControlSpeaksInEveryLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("panes");  // time, heading, text
    QTest::newRow("es") << 0
                        << QStringList{QStringLiteral("Hora"), QStringLiteral("Cabeceras"),
                                       QStringLiteral("Mensajes")};
    QTest::newRow("de") << 1
                        << QStringList{QStringLiteral("Uhrzeit"), QStringLiteral("Adresszeilen"),
                                       QStringLiteral("Nachricht")};
    QTest::newRow("en") << 2
                        << QStringList{QStringLiteral("Time"), QStringLiteral("Headings"),
                                       QStringLiteral("Messages")};
  }

  void everyControlSpeaksInEveryLanguage() {
    QFETCH(int, language);
    QFETCH(QStringList, panes);
    TestWindow w(
        [language](Variables& v) { v.LanguageIndex = static_cast<std::uint8_t>(language); });
    const auto& ui = w.ui();
    const QList<QWidget*> controls = Controls(w.window.get());
    QVERIFY(controls.size() >= 15);
    for (QWidget* c : controls) {
      QVERIFY2(!Spoken(c).trimmed().isEmpty(), qPrintable(c->objectName()));
      QVERIFY2(!Spoken(c).contains(QLatin1Char('&')), qPrintable(c->objectName()));
    }
    QCOMPARE(Spoken(ui.SRTime), panes[0]);
    QCOMPARE(Spoken(ui.SRCab), panes[1]);
    QCOMPARE(Spoken(ui.SRChat), panes[2]);
    QCOMPARE(Spoken(ui.Destination->BPing), QStringLiteral("Ping"));
    QCOMPARE(Spoken(ui.Destination->BPingGrupos), QStringLiteral("Ping"));
  }

  void descriptionsArePlainTextEvenForNamesFromTheNetwork() {
    TestWindow w([](Variables& v) {
      v.GroupList.SetGroup("RED", std::vector<std::string>{"<B>JEFE</B>", "A&B"});
    });
    const auto& ui = w.ui();
    ui.Destination->ChBGrupos->click();
    // The members' tip is markup so that Qt shows the names literally; the bus gets the text.
    QVERIFY(ui.Destination->CBGrupos->toolTip().contains(QStringLiteral("&lt;B&gt;")));
    QCOMPARE(Spoken(ui.Destination->CBGrupos, QAccessible::Description),
             QStringLiteral("<B>JEFE</B>, A&B"));
    QCOMPARE(Spoken(ui.Destination->BTexto, QAccessible::Description),
             QStringLiteral("Escribir nuevo mensaje"));
    // A description set on purpose stays.
    QCOMPARE(Spoken(ui.SRChat, QAccessible::Description), QStringLiteral("Mensajes"));
    ui.SRChat->setToolTip(QStringLiteral("<p>x</p>"));
    QCOMPARE(Spoken(ui.SRChat, QAccessible::Description), QStringLiteral("Mensajes"));
  }

  void spokenNamesAndPlainTips() {
    QCOMPARE(SpokenName("&Destino"), std::string("Destino"));
    QCOMPARE(SpokenName("Origen: "), std::string("Origen"));
    QCOMPARE(SpokenName("Absender:"), std::string("Absender"));
    QCOMPARE(TipAsPlainText(QStringLiteral("plain <not closed")),
             QStringLiteral("plain <not closed"));
    QCOMPARE(TipAsPlainText(PlainTip(QStringLiteral("<i>x</i> & y"))),
             QStringLiteral("<i>x</i> & y"));
    QCOMPARE(TipAsPlainText(QString()), QString());
  }
};

QTEST_MAIN(AccessibleNamesTest)
#include "AccessibleNamesTest.moc"
