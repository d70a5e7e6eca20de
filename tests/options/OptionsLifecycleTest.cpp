// The options dialog's life cycle as the window runs it: the snapshot taken in memory when it
// opens, OK handing over to the window, Cancel (button, close box, program ending) putting
// everything back, and the requests that arrive while it is open.

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "OptionsTestSupport.h"
#include "options/OptionsLauncher.h"
#include "options/OptionsWidgets.h"
#include "options/PageColores.h"
#include "options/PageGeneral.h"
#include "options/PageGrupos.h"
#include "options/PageNombres.h"
#include "options/VOpciones.h"
#include "widgets/ColorCombo.h"

using namespace pelmora;
using pelmora::testing::FakeOptionsHost;

namespace {

void Pick(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

// Runs `act` on the dialog once it is shown modally, inside its own event loop.
void WhenOpen(OptionsLauncher& launcher, std::function<void(TVOpciones&)> act) {
  auto conn = std::make_shared<QMetaObject::Connection>();
  *conn = QObject::connect(&launcher, &OptionsLauncher::Opened, &launcher,
                           [conn, act](TVOpciones* dlg) {
                             QObject::disconnect(*conn);
                             QTimer::singleShot(0, dlg, [dlg, act] { act(*dlg); });
                           });
}

void Seed(FakeOptionsHost& host) {
  host.vars.OptBeep = true;
  host.vars.NameList = {"TEJO", "MIRLO"};
  host.vars.GroupList.SetGroup("AMIGOS", std::vector<std::string>{"TEJO"});
  host.vars.QuickDestinations[2] = {"MIRLO", qdName};
}

// Changes something on every page, as a user would.
void ChangeEverything(TVOpciones& dlg) {
  dlg.General().Ui().ChBBeep->click();
  dlg.General().Ui().ChBNotificar->click();
  dlg.General().Ui().ChBHardway->click();
  Pick(dlg.General().Ui().CBTecla, 'Q' - 'A');
  Pick(dlg.General().Ui().CBIdiomas, kLanguageEnglish);
  dlg.Nombres().Ui().BBorrar_nombres->click();
  Pick(dlg.Nombres().Ui().CBNumeros, 2);
  Pick(dlg.Nombres().Ui().CBTipoDestino, qdNone);
  dlg.Grupos().Ui().BNuevo_grupo->click();
  QTest::keyClicks(dlg.Grupos().Ui().ENuevo_grupo, QStringLiteral("otro"));
  QTest::keyClick(dlg.Grupos().Ui().ENuevo_grupo, Qt::Key_Return);
  dlg.Colores().SelectClass(kPaletteSent);
  Pick(dlg.Colores().Ui().ColorCombo1, 12);  // clBlue
  Pick(dlg.Colores().Ui().ColorCombo2, 17);  // clWhite
}

}  // namespace

class OptionsLifecycleTest : public QObject {
  Q_OBJECT

 private slots:
  void CancelPutsEverythingBack();
  void CloseBoxIsCancel();
  void OkKeepsTheChangesAndHandsOverToTheWindow();
  void EndingTheProgramFirstCancelsTheDialog();
  void WhileOpen();
};

void OptionsLifecycleTest::CancelPutsEverythingBack() {
  FakeOptionsHost host;
  Seed(host);
  int oks = 0;
  OptionsLauncher launcher(host, [&] { ++oks; });
  bool openSeen = false;
  int redrawsBeforeCancel = -1;
  WhenOpen(launcher, [&](TVOpciones& dlg) {
    openSeen = host.vars.OptionsOpen;
    ChangeEverything(dlg);
    // Live while open.
    QVERIFY(!host.vars.OptBeep);
    QVERIFY(!host.vars.OptNotify);
    QCOMPARE(host.window.HotKeyLetter, 'Q');
    QCOMPARE(host.window.Palette[kPaletteSent], clBlue);
    redrawsBeforeCancel = host.redraws;
    dlg.BCancel()->click();
  });
  QCOMPARE(launcher.BOpcionesClick(nullptr), int(QDialog::Rejected));
  QVERIFY(openSeen);
  QVERIFY(!host.vars.OptionsOpen);
  QVERIFY(!launcher.IsOpen());
  QCOMPARE(oks, 0);
  // The lines already shown take the restored colours at once.
  QVERIFY(host.redraws > redrawsBeforeCancel);
  QVERIFY(host.vars.OptBeep);
  QVERIFY(host.vars.OptNotify);
  QVERIFY(!host.vars.OptHardway);
  QCOMPARE(host.vars.LanguageIndex, kLanguageSpanish);
  QCOMPARE(host.window.HotKeyLetter, 'N');
  QCOMPARE(host.vars.NameList.Items(), (std::vector<std::string>{"MIRLO", "TEJO"}));
  QCOMPARE(host.vars.GroupList.Count(), 1);
  QCOMPARE(host.vars.GroupList.Item(0).Members().Items(), std::vector<std::string>{"TEJO"});
  QCOMPARE(host.vars.QuickDestinations[2].Kind, qdName);
  QCOMPARE(host.window, WindowSettings{});
}

void OptionsLifecycleTest::CloseBoxIsCancel() {
  FakeOptionsHost host;
  Seed(host);
  OptionsLauncher launcher(host, nullptr);
  WhenOpen(launcher, [&](TVOpciones& dlg) {
    dlg.General().Ui().ChBBeep->click();
    QTest::keyClick(&dlg, Qt::Key_Escape);  // ignored
    QVERIFY(dlg.isVisible());
    dlg.close();
  });
  QCOMPARE(launcher.BOpcionesClick(nullptr), int(QDialog::Rejected));
  QVERIFY(host.vars.OptBeep);
}

void OptionsLifecycleTest::OkKeepsTheChangesAndHandsOverToTheWindow() {
  FakeOptionsHost host;
  Seed(host);
  int oks = 0;
  bool openDuringOk = false;
  OptionsLauncher launcher(host, [&] {
    ++oks;
    openDuringOk = host.vars.OptionsOpen;
  });
  WhenOpen(launcher, [&](TVOpciones& dlg) {
    ChangeEverything(dlg);
    dlg.BOK()->click();
  });
  QCOMPARE(launcher.BOpcionesClick(nullptr), int(QDialog::Accepted));
  QCOMPARE(oks, 1);
  QVERIFY(openDuringOk);
  QVERIFY(!host.vars.OptionsOpen);
  QVERIFY(!host.vars.OptBeep);
  QVERIFY(host.vars.OptHardway);
  QCOMPARE(host.window.HotKeyLetter, 'Q');
  QVERIFY(host.vars.NameList.Empty());
  QCOMPARE(host.vars.GroupList.Count(), 2);
  QCOMPARE(host.vars.QuickDestinations[2].Kind, qdNone);
  QCOMPARE(host.window.Palette[kPaletteSent], clBlue);

  // The next opening starts afresh on page 0 and shows what OK kept.
  WhenOpen(launcher, [&](TVOpciones& dlg) {
    QCOMPARE(dlg.General().Ui().CBTecla->currentText(), QStringLiteral("Q"));
    QVERIFY(dlg.General().Ui().ChBHardway->isChecked());
    QCOMPARE(dlg.windowTitle(), ToQ(LocalText(23, kLanguageEnglish)));
    QCOMPARE(dlg.Colores().SelectedClass(), 0);
    dlg.reject();
  });
  launcher.BOpcionesClick(nullptr);
}

void OptionsLifecycleTest::EndingTheProgramFirstCancelsTheDialog() {
  FakeOptionsHost host;
  Seed(host);
  OptionsLauncher launcher(host, nullptr);
  bool ended = false;
  bool endedWhileOpen = false;
  WhenOpen(launcher, [&](TVOpciones& dlg) {
    dlg.General().Ui().ChBBeep->click();
    // The tray's "&Cerrar" (or the session's end) arrives while the dialog is up.
    launcher.CloseThen([&] {
      ended = true;
      endedWhileOpen = launcher.IsOpen() || host.vars.OptionsOpen;
    });
  });
  QCOMPARE(launcher.BOpcionesClick(nullptr), int(QDialog::Rejected));
  QVERIFY(host.vars.OptBeep);  // cancelled first
  QVERIFY(!ended);             // then the end, from the event loop
  QTRY_VERIFY(ended);
  QVERIFY(!endedWhileOpen);

  // With no dialog open the end goes straight on.
  bool direct = false;
  launcher.CloseThen([&] { direct = true; });
  QVERIFY(direct);
}

void OptionsLifecycleTest::WhileOpen() {
  FakeOptionsHost host;
  Seed(host);
  OptionsLauncher launcher(host, nullptr);
  QVERIFY(!launcher.BringForward());
  WhenOpen(launcher, [&](TVOpciones& dlg) {
    // The ping pressed now is cut short when the dialog closes.
    dlg.Nombres().BPing_AllClick();
    QTest::qWait(150);
    // A second "&Opciones" does not open a second dialog.
    QCOMPARE(launcher.BOpcionesClick(nullptr), int(QDialog::Rejected));
    QVERIFY(launcher.BringForward());
    QCOMPARE(host.broughtForward, 1);  // through the desktop, as the main window is
    QVERIFY(dlg.isVisible());
    // A ping answer lands in the lists; a message's sender joins the address book.
    host.vars.NameList.Add("PINO");
    launcher.AddToNameLists("PINO");
    QCOMPARE(dlg.Nombres().Ui().LNombres->count(), 3);
    host.vars.NameList.Add("BREZO");
    launcher.SenderArrived("BREZO");
    dlg.reject();
  });
  launcher.BOpcionesClick(nullptr);
  QTest::qWait(300);
  // Cancel drops what the dialog collected but keeps the sender of a message.
  QVERIFY(host.pings <= 1);
  QCOMPARE(host.vars.NameList.Items(), (std::vector<std::string>{"BREZO", "MIRLO", "TEJO"}));
}

QTEST_MAIN(OptionsLifecycleTest)
#include "OptionsLifecycleTest.moc"
