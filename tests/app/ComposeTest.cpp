// Destination selection, the compose boxes and the window's keys, with the real messaging core
// behind the window and a transport that only records.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <new>

#include "AppTestSupport.h"
#include "app/ComposeMemo.h"
#include "app/RepaintHold.h"
#include "app/StatusPanels.h"
#include "widgets/Screenshot.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;
using namespace pelmora::testing;

namespace {

void AddressBook(Variables& v) {
  v.NameList.Add("MIRLO");
  v.NameList.Add("ALAMO");
  v.GroupList.SetGroup("AMIGOS", std::vector<std::string>{"MIRLO", "ALAMO", "PINO"});
  v.GroupList.SetGroup("OFICINA", std::vector<std::string>{"CAJA1"});
  v.QuickDestinations[3] = QuickDestination{"OFICINA", qdGroup};
  v.QuickDestinations[5] = QuickDestination{"mirlo", qdName};
}

void ShowAndActivate(TestWindow& w) {
  w->show();
  w->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
}

// Datagrams written to the utility slots: the channel queries and pings.
int UtilityWrites(const TestWindow& w, const std::string& command) {
  int n = 0;
  for (const Write& write : w.transport.writes) {
    if (write.bytes.find(command) != std::string::npos) ++n;
  }
  return n;
}

}  // namespace

class ComposeTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpIdentityAndFirstDestination() {
    TestWindow w(AddressBook);
    QCOMPARE(w->Vars().OwnName, std::string("TEJO"));
    QCOMPARE(w->Vars().WorkgroupName, std::string("OFICINA"));
    QCOMPARE(w->Vars().Destination, std::string("ALAMO"));  // alphabetically first
    QCOMPARE(w->StatusText(0), QStringLiteral("Origen: TEJO"));
    QCOMPARE(w->StatusText(1), QStringLiteral("Destino: ALAMO"));
    QCOMPARE(w.ui().Destination->CBNombres->currentText(), QStringLiteral("ALAMO"));
    QCOMPARE(w.ui().Destination->CBGrupos->count(), 2);
    QCOMPARE(w.ui().Destination->CBGrupos->currentIndex(), 0);
    QCOMPARE(w.ui().Destination->CBGrupos->toolTip().contains(QStringLiteral("ALAMO, MIRLO, PINO")),
             true);
    QVERIFY(!w->isVisible());  // the window starts in the tray
    QCOMPARE(w->Vars().ViewMode, vmMinimized);
    QCOMPARE(w->Vars().FindOutboxEntry("XX_XX"), kOutboxSize - 1);
    QVERIFY(w.boxes.empty());

    TestWindow empty;
    QCOMPARE(w->windowTitle().isEmpty(), true);  // the caption is the program entry's
    QCOMPARE(empty->StatusText(1), QStringLiteral("Destino: "));

    TestWindow workgroup([](Variables& v) { v.OptLoadWorkgroup = true; });
    QCOMPARE(workgroup->StatusText(1), QStringLiteral("Destino: OFICINA"));
    QCOMPARE(workgroup.ui().Destination->CBNombres->findText(QStringLiteral("OFICINA")), 0);
  }

  void typingANewDestination() {
    TestWindow w(AddressBook);
    ShowAndActivate(w);
    const auto& ui = w.ui();
    ui.Destination->BReceptor->click();
    QVERIFY(ui.Destination->BReceptor->isHidden());
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->EReceptor));
    QTest::keyClicks(ui.Destination->EReceptor, QStringLiteral("caja2"));
    Key(w.window.get(), Qt::Key_Return);
    QCOMPARE(w->Vars().Destination, std::string("CAJA2"));
    QVERIFY(w->Vars().NameList.Contains("CAJA2"));
    QCOMPARE(ui.Destination->CBNombres->currentText(), QStringLiteral("CAJA2"));
    QCOMPARE(w->StatusText(1), QStringLiteral("Destino: CAJA2"));
    QVERIFY(ui.Destination->EReceptor->isHidden());
    QVERIFY(!ui.Destination->BReceptor->isHidden());
    // The compose box is open at once.
    QVERIFY(!ui.Destination->MTexto->isHidden());
    QVERIFY(ui.Destination->BTexto->isHidden());
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->MTexto));

    // Enter in an empty field is Esc: the field goes, the destination stays.
    ui.Destination->BReceptor->click();
    Key(w.window.get(), Qt::Key_Return);
    QVERIFY(ui.Destination->EReceptor->isHidden());
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->BReceptor));
    QCOMPARE(w->Vars().Destination, std::string("CAJA2"));
    QVERIFY(w->isVisible());  // Esc in the field never reaches the window

    // "&Escribir mensaje" while a name is being typed takes the name first.
    TestWindow w2(AddressBook);
    w2.ui().Destination->BReceptor->click();
    w2.ui().Destination->EReceptor->setText(QStringLiteral("pino"));
    w2.ui().Destination->BTexto->click();
    QCOMPARE(w2->Vars().Destination, std::string("PINO"));
    QVERIFY(!w2.ui().Destination->MTexto->isHidden());
  }

  void sendingAndCancellingInTheComposeBox() {
    TestWindow w(AddressBook);
    ShowAndActivate(w);
    const auto& ui = w.ui();
    ui.Destination->BTexto->click();
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->MTexto));
    QTest::keyClicks(ui.Destination->MTexto, QStringLiteral("hola"));
    Key(w.window.get(), Qt::Key_Return);
    // The real core echoed it and queued it with a channel query to the target.
    QCOMPARE(ui.SRChat->LineCount(), 1);
    QCOMPARE(ui.SRChat->GetLine(0), std::string("hola"));
    QCOMPARE(ui.SRCab->GetLine(0), std::string("TEJO a ALAMO"));
    QCOMPARE(UtilityWrites(w, "ACK_WINPOPUP"), 1);
    QCOMPARE(w.transport.writes.back().server, std::string("ALAMO"));
    QVERIFY(ui.Destination->MTexto->isHidden());
    QVERIFY(ui.Destination->MTexto->toPlainText().isEmpty());
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->BTexto));

    // Esc discards without an echo.
    ui.Destination->BTexto->click();
    QTest::keyClicks(ui.Destination->MTexto, QStringLiteral("olvidalo"));
    Key(w.window.get(), Qt::Key_Escape);
    QCOMPARE(ui.SRChat->LineCount(), 1);
    QVERIFY(ui.Destination->MTexto->isHidden());
    QVERIFY(w->isVisible());

    // No selection in groups mode with no group: the button does nothing.
    TestWindow none;
    none.ui().Destination->BTexto->click();
    QVERIFY(none.ui().Destination->MTexto->isHidden());
    none.ui().Destination->ChBGrupos->setChecked(true);
    QVERIFY(!none.ui().Destination->ChBGrupos->isChecked());  // no groups: the box stays unchecked
    QCOMPARE(none->StatusText(1), QStringLiteral("Destino: Ninguno"));
  }

  void composeBoxRefusesThe410thCharacter() {
    ComposeMemo memo;
    memo.show();
    const QString full(409, u'x');
    memo.setPlainText(full.left(408));
    memo.moveCursor(QTextCursor::End);
    QTest::keyClicks(&memo, QStringLiteral("yz"));
    QCOMPARE(memo.toPlainText().size(), 409);
    QVERIFY(memo.toPlainText().endsWith(u'y'));
    QCOMPARE(memo.AnsiText().size(), std::size_t(409));

    // Paste takes only what fits; a line break is CR LF and counts two.
    memo.setPlainText(full.left(400));
    QMimeData data;
    data.setText(QStringLiteral("ab\r\ncdefghijk"));
    memo.moveCursor(QTextCursor::End);
    QApplication::clipboard()->setMimeData(new QMimeData);
    QApplication::clipboard()->setText(data.text());
    memo.paste();
    QCOMPARE(ComposeMemo::CountedLength(memo.toPlainText()), 409);
    QVERIFY(memo.toPlainText().endsWith(QStringLiteral("ab\ncdefg")));
    QVERIFY(memo.AnsiText().find("ab\r\ncdefg") != std::string::npos);
    QCOMPARE(memo.AnsiText().size(), std::size_t(409));

    // Typing over a selection makes room; Enter never enters the text.
    memo.selectAll();
    QTest::keyClicks(&memo, QStringLiteral("nuevo"));
    QCOMPARE(memo.toPlainText(), QStringLiteral("nuevo"));
    int handed = 0;
    memo.onKeyPress = [&handed](int key) {
      handed = key;
      return true;
    };
    QTest::keyClick(&memo, Qt::Key_Return);
    QCOMPARE(handed, 13);
    QCOMPARE(memo.toPlainText(), QStringLiteral("nuevo"));
    // Alt with a digit is a window shortcut, not text.
    QTest::keyClick(&memo, Qt::Key_3, Qt::AltModifier);
    QCOMPARE(memo.toPlainText(), QStringLiteral("nuevo"));
  }

  void quickDestinationsAndPings() {
    TestWindow w(AddressBook);
    ShowAndActivate(w);
    const auto& ui = w.ui();
    ui.Destination->BTexto->setFocus();
    // Alt+3, a group, while in names mode: groups mode comes on with the group selected.
    Key(w.window.get(), Qt::Key_3, Qt::AltModifier);
    QVERIFY(ui.Destination->ChBGrupos->isChecked());
    QVERIFY(!ui.Destination->PGrupos->isHidden());
    QVERIFY(ui.Destination->PNombres->isHidden());
    QCOMPARE(ui.Destination->CBGrupos->currentText(), QStringLiteral("OFICINA"));
    QCOMPARE(w->Vars().Destination, std::string("OFICINA"));
    QCOMPARE(w->StatusText(1), QStringLiteral("Destino: OFICINA"));
    QCOMPARE(ui.Destination->CBGrupos->toolTip().contains(QStringLiteral("CAJA1")), true);

    // Alt+P in groups mode pings every member of the group.
    Key(w.window.get(), Qt::Key_P, Qt::AltModifier);
    QCOMPARE(UtilityWrites(w, "&IDENTIFY&"), 1);
    QCOMPARE(w.transport.writes.back().server, std::string("CAJA1"));

    // Alt+5, a name written in other letter case: names mode, the name selected.
    Key(w.window.get(), Qt::Key_5, Qt::AltModifier);
    QVERIFY(!ui.Destination->ChBGrupos->isChecked());
    QCOMPARE(ui.Destination->CBNombres->currentText(), QStringLiteral("MIRLO"));
    QCOMPARE(w->Vars().Destination, std::string("MIRLO"));
    Key(w.window.get(), Qt::Key_F1, Qt::AltModifier);
    QCOMPARE(UtilityWrites(w, "&IDENTIFY&"), 2);
    QCOMPARE(w.transport.writes.back().server, std::string("MIRLO"));

    // Ctrl+Alt+3 on the main keyboard does nothing; on the keypad it is Alt+3.
    Key(w.window.get(), Qt::Key_3, Qt::AltModifier | Qt::ControlModifier);
    QVERIFY(!ui.Destination->ChBGrupos->isChecked());
    QCOMPARE(w->Vars().Destination, std::string("MIRLO"));
    Key(w.window.get(), Qt::Key_3, Qt::AltModifier | Qt::ControlModifier | Qt::KeypadModifier);
    QVERIFY(ui.Destination->ChBGrupos->isChecked());
    QCOMPARE(w->Vars().Destination, std::string("OFICINA"));
    // An empty quick destination and a plain digit change nothing.
    Key(w.window.get(), Qt::Key_7, Qt::AltModifier);
    Key(w.window.get(), Qt::Key_5);
    QCOMPARE(w->Vars().Destination, std::string("OFICINA"));
    // The ping button beside the names pings the destination once.
    ui.Destination->ChBGrupos->setChecked(false);
    ui.Destination->BPing->click();
    QCOMPARE(w.transport.writes.back().server, std::string("MIRLO"));
  }

  void shortcutsWhileAltIsHeld() {
    // Holding Alt, the window system delivers the Alt press and then the next key's press with
    // no release between them, and Qt builds both events at the same address. The second press
    // must still be seen as a new key.
    TestWindow w(AddressBook);
    ShowAndActivate(w);
    w.ui().Destination->BTexto->setFocus();
    QWidget* target = w.window->focusWidget();
    alignas(QKeyEvent) unsigned char slot[sizeof(QKeyEvent)];
    auto* alt = new (slot) QKeyEvent(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QApplication::sendEvent(target, alt);
    alt->~QKeyEvent();
    auto* p = new (slot) QKeyEvent(QEvent::KeyPress, Qt::Key_P, Qt::AltModifier);
    QApplication::sendEvent(target, p);
    p->~QKeyEvent();
    QCOMPARE(UtilityWrites(w, "&IDENTIFY&"), 1);
  }

  void windowKeysNeverReachTheFocusedControl() {
    // Alt+P with the names list focused pings and nothing else: the list must not jump to a name
    // starting with P, which would silently send the next message to someone else.
    TestWindow w([](Variables& v) {
      AddressBook(v);
      v.NameList.Add("PINO");
    });
    ShowAndActivate(w);
    const auto& ui = w.ui();
    ui.Destination->CBNombres->setFocus();
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->CBNombres));
    QCOMPARE(ui.Destination->CBNombres->currentText(), QStringLiteral("ALAMO"));
    Key(w.window.get(), Qt::Key_P, Qt::AltModifier, QStringLiteral("p"));
    QCOMPARE(UtilityWrites(w, "&IDENTIFY&"), 1);
    QCOMPARE(ui.Destination->CBNombres->currentText(), QStringLiteral("ALAMO"));
    QCOMPARE(w->Vars().Destination, std::string("ALAMO"));
    // A plain P still searches the list, as it should.
    Key(w.window.get(), Qt::Key_P, Qt::NoModifier, QStringLiteral("p"));
    QCOMPARE(ui.Destination->CBNombres->currentText(), QStringLiteral("PINO"));

    // Alt+digit in a field being typed selects the quick destination and types nothing.
    ui.Destination->BReceptor->click();
    QTest::keyClicks(ui.Destination->EReceptor, QStringLiteral("ca"));
    Key(w.window.get(), Qt::Key_7, Qt::AltModifier, QStringLiteral("7"));
    Key(w.window.get(), Qt::Key_F1, Qt::AltModifier);
    Key(w.window.get(), Qt::Key_P, Qt::AltModifier, QStringLiteral("p"));
    QCOMPARE(ui.Destination->EReceptor->text(), QStringLiteral("ca"));
    // Ctrl+Alt with a main-keyboard digit is no window key: it types (AltGr on some keyboards).
    Key(w.window.get(), Qt::Key_2, Qt::AltModifier | Qt::ControlModifier, QStringLiteral("@"));
    QCOMPARE(ui.Destination->EReceptor->text(), QStringLiteral("ca@"));

    // In the compose box too.
    Key(w.window.get(), Qt::Key_Escape);
    ui.Destination->BTexto->click();
    QTest::keyClicks(ui.Destination->MTexto, QStringLiteral("hola"));
    Key(w.window.get(), Qt::Key_5, Qt::AltModifier, QStringLiteral("5"));
    Key(w.window.get(), Qt::Key_P, Qt::AltModifier, QStringLiteral("p"));
    QCOMPARE(ui.Destination->MTexto->toPlainText(), QStringLiteral("hola"));

    // The typed-destination layout has no window keys, and they still type nothing.
    TestWindow hw([](Variables& v) {
      AddressBook(v);
      v.OptHardway = true;
    });
    ShowAndActivate(hw);
    hw.ui().Destination->BReceptor_hardway->click();
    Key(hw.window.get(), Qt::Key_1, Qt::AltModifier, QStringLiteral("1"));
    Key(hw.window.get(), Qt::Key_2, Qt::AltModifier, QStringLiteral("2"));
    Key(hw.window.get(), Qt::Key_P, Qt::AltModifier, QStringLiteral("p"));
    QCOMPARE(hw.ui().Destination->EReceptor_hardway->text(), QString());
    QCOMPARE(UtilityWrites(hw, "&IDENTIFY&"), 0);
    QCOMPARE(hw->StatusText(1), QStringLiteral("Destino: Ninguno"));
  }

  void enterPressesTheFocusedButton() {
    TestWindow w(AddressBook);
    ShowAndActivate(w);
    const auto& ui = w.ui();
    // Send a message with the keyboard alone, then Enter opens the compose box again.
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->BTexto));
    Key(w.window.get(), Qt::Key_Return);
    QVERIFY(!ui.Destination->MTexto->isHidden());
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->MTexto));
    QTest::keyClicks(ui.Destination->MTexto, QStringLiteral("uno"));
    Key(w.window.get(), Qt::Key_Return);
    QCOMPARE(ui.SRChat->LineCount(), 1);
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->BTexto));
    Key(w.window.get(), Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(!ui.Destination->MTexto->isHidden());
    QTest::keyClicks(ui.Destination->MTexto, QStringLiteral("dos"));
    Key(w.window.get(), Qt::Key_Return);
    QCOMPARE(ui.SRChat->LineCount(), 2);
    // Enter held down after that send: its repeats reach the button and press nothing, so no
    // empty message follows.
    for (int i = 0; i < 3; ++i) {
      QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
      QApplication::sendEvent(w->focusWidget(), &repeat);
    }
    QVERIFY(ui.Destination->MTexto->isHidden());
    QCOMPARE(ui.SRChat->LineCount(), 2);

    // Enter on "Destino" opens the name field; on "Borrar todo" it clears.
    ui.Destination->BReceptor->setFocus();
    Key(w.window.get(), Qt::Key_Return);
    QVERIFY(!ui.Destination->EReceptor->isHidden());
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->EReceptor));
    Key(w.window.get(), Qt::Key_Escape);
    ui.BBorrar->setFocus();
    Key(w.window.get(), Qt::Key_Return);
    QCOMPARE(ui.SRChat->LineCount(), 0);
    // Enter on a check box is not a press.
    ui.Destination->ChBGrupos->setFocus();
    Key(w.window.get(), Qt::Key_Return);
    QVERIFY(!ui.Destination->ChBGrupos->isChecked());

    // The typed-destination layout: Enter on "Destino" opens its field.
    TestWindow hw([](Variables& v) {
      AddressBook(v);
      v.OptHardway = true;
    });
    ShowAndActivate(hw);
    QCOMPARE(hw->focusWidget(), static_cast<QWidget*>(hw.ui().Destination->BReceptor_hardway));
    Key(hw.window.get(), Qt::Key_Return);
    QVERIFY(!hw.ui().Destination->EReceptor_hardway->isHidden());
    QTest::keyClicks(hw.ui().Destination->EReceptor_hardway, QStringLiteral("pino"));
    Key(hw.window.get(), Qt::Key_Return);
    QCOMPARE(hw->focusWidget(), static_cast<QWidget*>(hw.ui().Destination->MTexto_hardway));
    QCOMPARE(hw->Vars().Destination, std::string("PINO"));
  }

  void typedDestinationLayout() {
    TestWindow w([](Variables& v) {
      AddressBook(v);
      v.OptHardway = true;
    });
    ShowAndActivate(w);
    const auto& ui = w.ui();
    QVERIFY(ui.Destination->PNoHardway->isHidden());
    QVERIFY(!ui.Destination->PHardway->isHidden());
    QCOMPARE(w->StatusText(1), QStringLiteral("Destino: Ninguno"));
    SaveScreenshot(w.window.get(), QStringLiteral("app_typed_destination_rest"));

    // Alt+digit and Alt+P do nothing in this layout.
    const std::size_t writes = w.transport.writes.size();
    Key(w.window.get(), Qt::Key_3, Qt::AltModifier);
    Key(w.window.get(), Qt::Key_P, Qt::AltModifier);
    QCOMPARE(w.transport.writes.size(), writes);
    QCOMPARE(w->StatusText(1), QStringLiteral("Destino: Ninguno"));

    ui.Destination->BReceptor_hardway->click();
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->EReceptor_hardway));
    QTest::keyClicks(ui.Destination->EReceptor_hardway, QStringLiteral("pino"));
    Key(w.window.get(), Qt::Key_Return);
    QCOMPARE(w->Vars().Destination, std::string("PINO"));
    QVERIFY(!w->Vars().NameList.Contains("PINO"));  // typed for this one message only
    QVERIFY(ui.Destination->BReceptor_hardway->isHidden());
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->MTexto_hardway));
    QTest::keyClicks(ui.Destination->MTexto_hardway, QStringLiteral("que tal"));
    SaveScreenshot(w.window.get(), QStringLiteral("app_typed_destination_layout"));
    Key(w.window.get(), Qt::Key_Return);
    QCOMPARE(ui.SRCab->GetLine(0), std::string("TEJO a PINO"));
    QCOMPARE(w.transport.writes.back().server, std::string("PINO"));
    // Back to rest: a new destination is needed for the next message.
    QCOMPARE(w->StatusText(1), QStringLiteral("Destino: Ninguno"));
    QCOMPARE(w->Vars().Destination, std::string("Ninguno"));
    QVERIFY(ui.Destination->MTexto_hardway->isHidden());
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(ui.Destination->BReceptor_hardway));

    // Enter in the empty destination field is Esc.
    ui.Destination->BReceptor_hardway->click();
    Key(w.window.get(), Qt::Key_Return);
    QVERIFY(ui.Destination->EReceptor_hardway->isHidden());
    QVERIFY(!ui.Destination->BReceptor_hardway->isHidden());
    QVERIFY(ui.Destination->MTexto_hardway->isHidden());
  }

  void arrivalReaction() {
    TestWindow w([](Variables& v) {
      AddressBook(v);
      v.OptAutoDestination = true;
    });
    const auto& ui = w.ui();
    std::string sender = "caja3";
    w->NotifyArrival(sender, "TEJO", "hola", kPaletteReceived);
    QCOMPARE(sender, std::string("CAJA3"));
    QVERIFY(w->Vars().NameList.Contains("CAJA3"));
    QVERIFY(ui.Destination->CBNombres->findText(QStringLiteral("CAJA3")) >= 0);
    QCOMPARE(w->Vars().Destination, std::string("CAJA3"));
    QCOMPARE(ui.Destination->CBNombres->currentText(), QStringLiteral("CAJA3"));
    QCOMPARE(w->StatusText(1), QStringLiteral("Destino: CAJA3"));

    // A message from the own name never changes the destination.
    std::string self = "tejo";
    w->NotifyArrival(self, "TEJO", "eco", kPaletteReceived);
    QCOMPARE(w->Vars().Destination, std::string("CAJA3"));
    QCOMPARE(ui.Destination->CBNombres->currentText(), QStringLiteral("CAJA3"));  // selection kept

    // Nor does one that arrives while a message is being written.
    ui.Destination->BTexto->click();
    std::string other = "MIRLO";
    w->NotifyArrival(other, "TEJO", "otra", kPaletteSecure);
    QCOMPARE(w->Vars().Destination, std::string("CAJA3"));
    QCOMPARE(ui.Destination->CBNombres->currentText(), QStringLiteral("CAJA3"));
  }

  void arrivalsNotifyTheDesktopWhileTheWindowIsNotActive() {
    TestWindow w(AddressBook);
    QVERIFY(!w->isVisible());  // in the tray
    std::string sender = "mirlo";
    // The notifier gets the plain text; escaping it for the server is the notifier's work.
    w->NotifyArrival(sender, "TEJO", "<b>hola</b> & \xE9\r\nadi\xF3s", kPaletteReceived);
    QCOMPARE(w.notifier.shown,
             (std::vector<QString>{QStringLiteral("MIRLO|<b>hola</b> & \u00E9\r\nadi\u00F3s")}));
    QCOMPARE(w.notifier.openLabel, QStringLiteral("Abrir"));

    // Its click opens the window as a tray click does.
    w.notifier.Click();
    QVERIFY(w->isVisible());
    QCOMPARE(w->Vars().ViewMode, vmNormal);
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));

    // In front, the window itself shows the line: no notification.
    std::string again = "MIRLO";
    w->NotifyArrival(again, "TEJO", "otra", kPaletteReceived);
    QCOMPARE(w.notifier.shown.size(), std::size_t{1});

    // Back in the tray with the option off: none either; on again, in English.
    w->MinimizeApplication();
    w->Vars().OptNotify = false;
    w->NotifyArrival(again, "TEJO", "tercera", kPaletteSecure);
    QCOMPARE(w.notifier.shown.size(), std::size_t{1});
    w->Vars().OptNotify = true;
    w->Vars().LanguageIndex = kLanguageEnglish;
    w->NotifyArrival(again, "TEJO", "cuarta", kPaletteSecure);
    QCOMPARE(w.notifier.shown.back(), QStringLiteral("MIRLO|cuarta"));
    QCOMPARE(w.notifier.openLabel, QStringLiteral("Open"));
  }

  void escAndCloseSendTheWindowToTheTray() {
    TestWindow w(AddressBook);
    ShowAndActivate(w);
    w.ui().Destination->BTexto->setFocus();
    Key(w.window.get(), Qt::Key_Escape);
    QVERIFY(!w->isVisible());
    QCOMPARE(w->Vars().ViewMode, vmMinimized);

    w->TrayIconClick();
    QVERIFY(w->isVisible());
    QCOMPARE(w->Vars().ViewMode, vmNormal);
    QCOMPARE(w.ui().Restaurar1->text(), QStringLiteral("&Minimizar"));
    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(w.ui().Destination->BTexto));

    QVERIFY(!w->close());  // the title bar's close only hides
    QVERIFY(!w->isVisible());
    QCOMPARE(w->Vars().ViewMode, vmMinimized);
    QCOMPARE(w.ui().Restaurar1->text(), QStringLiteral("&Restaurar"));

    w->Opcion1Click();  // "&Restaurar" from the tray
    QVERIFY(w->isVisible());
    w->Opcion1Click();  // now "&Minimizar"
    QVERIFY(!w->isVisible());
  }

  // Waiting in the tray with nothing queued, the window has no timer running: the deadline timer
  // runs while a message waits for its answer, the status bar clock while the window shows.
  void timersRunOnlyWhileSomethingNeedsThem() {
    TestWindow w(AddressBook);
    const auto& ui = w.ui();
    QVERIFY(!w->isVisible());
    QVERIFY(!ui.Timer->isActive());
    QVERIFY(!ui.StatusBar->ClockRunning());

    // A message queued while the window is away (a quick send before Esc took effect, an arrival
    // handled later) arms the deadline timer; the answer ends the wait, and the next tick stops it.
    w->Core().QueueForDelivery("MIRLO", "TEJO", "MIRLO", "hola");
    QVERIFY(ui.Timer->isActive());
    QCOMPARE(ui.Timer->interval(), 200);
    w->Core().MSUtilsMessageAvail("17&MIRLO&ANS_WINPOPUP&YES");
    QCOMPARE(w.transport.messenger.size(), std::size_t{1});
    QTRY_VERIFY_WITH_TIMEOUT(!ui.Timer->isActive(), 1000);

    // Shown, the clock is right at once and keeps running; hidden again, it stops.
    w.clock.now += 5.0 / 86400.0;  // 10:20:35
    ShowAndActivate(w);
    QCOMPARE(w->StatusText(2), QStringLiteral("10:20:35"));
    QVERIFY(ui.StatusBar->ClockRunning());
    w.clock.now += 1.0 / 86400.0;
    QTRY_COMPARE_WITH_TIMEOUT(w->StatusText(2), QStringLiteral("10:20:36"), 2000);
    QVERIFY(!ui.Timer->isActive());

    // A silent target: the timer runs until the deadline sends the message anyway.
    ui.Destination->BTexto->click();
    QTest::keyClicks(ui.Destination->MTexto, QStringLiteral("hola"));
    Key(w.window.get(), Qt::Key_Return);
    QVERIFY(ui.Timer->isActive());
    Key(w.window.get(), Qt::Key_Escape);  // to the tray
    QVERIFY(!w->isVisible());
    QVERIFY(!ui.StatusBar->ClockRunning());
    QVERIFY(ui.Timer->isActive());
    w.clock.now += 1.5 / 86400.0;
    QTRY_VERIFY_WITH_TIMEOUT(!ui.Timer->isActive(), 1000);
    QCOMPARE(w.transport.messenger.size(), std::size_t{2});
  }

  // A send's answers go before the window's repaint: the repaint waits while they are on their
  // way and comes once they are in, or after a moment when they are slow.
  void repaintWaitsForTheAnswersOfASend() {
    QWidget plain;
    plain.resize(40, 40);
    int paints = 0;
    struct Counter : QObject {
      int& n;
      explicit Counter(int& count) : n(count) {}
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++n;
        return false;
      }
    } counter(paints);
    plain.installEventFilter(&counter);
    plain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plain));
    RepaintHold hold(&plain, 60000);
    hold.Hold();
    paints = 0;
    plain.update();
    QTest::qWait(50);
    QCOMPARE(paints, 0);
    hold.Release();
    QTRY_VERIFY(paints > 0);

    TestWindow w(AddressBook);
    ShowAndActivate(w);
    const auto& ui = w.ui();
    const auto send = [&] {
      ui.Destination->BTexto->click();
      QTest::keyClicks(ui.Destination->MTexto, QStringLiteral("hola"));
      Key(w.window.get(), Qt::Key_Return);
    };
    send();
    QVERIFY(w->RepaintHeld());
    w->Core().MSUtilsMessageAvail("21&ALAMO&ANS_WINPOPUP&YES");
    QCOMPARE(w.transport.messenger.size(), std::size_t{1});
    QVERIFY(!w->RepaintHeld());
    send();  // nobody answers: the window is drawn all the same, long before the deadline
    QVERIFY(w->RepaintHeld());
    QTRY_VERIFY_WITH_TIMEOUT(!w->RepaintHeld(), 1000);
    QVERIFY(ui.Timer->isActive());
  }

  // The release of an Esc that sends the window away goes to another window, and Qt builds the
  // next press at the same address: each press must still act, every time.
  void everyEscActsWhenTheReleasesNeverArrive() {
    TestWindow w(AddressBook);
    ShowAndActivate(w);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    for (int round = 0; round < 3; ++round) {
      QApplication::sendEvent(w.ui().Destination->BTexto, &esc);
      QVERIFY2(!w->isVisible(), qPrintable(QStringLiteral("round %1").arg(round)));
      w->TrayIconClick();
      QVERIFY(w->isVisible());
      QCOMPARE(w->focusWidget(), static_cast<QWidget*>(w.ui().Destination->BTexto));
    }
    // A press passed on to a control that takes Esc itself, its release lost too: the next press
    // on the window, at the same address, is a new one once the event loop has turned.
    QApplication::sendEvent(w.ui().ECambioNombre, &esc);
    QVERIFY(w->isVisible());
    QCoreApplication::processEvents();
    QApplication::sendEvent(w.ui().PGeneral, &esc);
    QVERIFY(!w->isVisible());
  }

  // Whether the window is in front is the window manager's answer, not Qt's cached one, which
  // lags a switch to another window.
  void anArrivalBringsTheWindowForwardWhenTheDesktopSaysItIsBehind() {
    TestWindow w(AddressBook);
    w->TrayIconClick();
    ShowAndActivate(w);
    const int before = w.desktop.broughtForward;
    w.desktop.activeAnswer = false;  // Qt still believes the window is active
    std::string sender = "MIRLO";
    w->NotifyArrival(sender, "TEJO", "hola", kPaletteReceived);
    QCOMPARE(w.desktop.broughtForward, before + 1);
    QCOMPARE(w.notifier.shown.size(), std::size_t{1});
    w.desktop.activeAnswer = true;
    w->NotifyArrival(sender, "TEJO", "otra", kPaletteReceived);
    QCOMPARE(w.desktop.broughtForward, before + 1);
    QCOMPARE(w.notifier.shown.size(), std::size_t{1});
  }
};

QTEST_MAIN(ComposeTest)
#include "ComposeTest.moc"
