// The options dialog from the main window: "&Opciones" opens it over the window, Cancel leaves
// the settings file as it was and the window's state exactly as before, OK saves and brings the
// window up to date, and what happens to the window while the dialog is open (ping answers, a
// message's sender, the tray, the program's end).

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "AppTestSupport.h"
#include "app/OptionsWiring.h"
#include "app/SettingsIO.h"
#include "messaging/Settings.h"
#include "model/SettingsStore.h"
#include "options/OptionsLauncher.h"
#include "options/OptionsWidgets.h"
#include "options/PageGeneral.h"
#include "options/PageGrupos.h"
#include "options/PageNombres.h"
#include "options/VOpciones.h"
#include "widgets/HotKeyMgr.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;
using namespace pelmora::testing;

namespace {

void Pick(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A window with a settings file in a folder of its own: the address book comes from `seed`,
// saved before the window starts, as a previous run would have left it.
struct StoredWindow {
  explicit StoredWindow(const std::function<void(Variables&)>& seed) {
    path = dir.filePath(QStringLiteral("pelmora.ini"));
    {
      FileSettingsStore first(path.toStdString());
      Variables v;
      seed(v);
      SaveSettings(first, v, WindowSettings{});
    }
    store = std::make_unique<FileSettingsStore>(path.toStdString());
    WindowServices services;
    RecordingTransport* t = &transport;
    services.endpoints = [t](MailSlotDispatcher&) {
      return std::unique_ptr<WindowEndpoints>(new FakeEndpoints({"tejo", "oficina"}, t));
    };
    services.clock = &clock;
    services.desktop = &desktop;
    services.fileChooser = &files;
    services.linkOpener = &links;
    services.settingsStore = store.get();
    services.hotKeys = &hotKeys;
    services.trayIcon = false;
    window = std::make_unique<TDOzuZe>(std::move(services));
    window->show();
  }
  TDOzuZe& operator*() { return *window; }
  TDOzuZe* operator->() { return window.get(); }

  QTemporaryDir dir;
  QString path;
  FakeHotKeys hotKeys;  // before the window, which gives its keys back as it goes
  std::unique_ptr<FileSettingsStore> store;
  RecordingTransport transport;
  FixedClock clock;
  std::vector<QString> boxes;
  FakeDesktop desktop{&boxes};
  FakeFileChooser files;
  FakeLinkOpener links;
  std::unique_ptr<TDOzuZe> window;
};

// The key the restore hot key holds now (one item, Ctrl+Alt+key), or 0.
std::uint32_t HeldKey(const FakeHotKeys& keys) {
  return keys.held.empty() ? 0 : keys.held.begin()->second.key;
}

void Seed(Variables& v) {
  v.OptBeep = true;
  v.NameList = {"MIRLO", "SAUCE", "OFICINA"};
  v.GroupList.SetGroup("AMIGOS", std::vector<std::string>{"MIRLO"});
  v.QuickDestinations[1] = {"SAUCE", qdName};
}

}  // namespace

class OptionsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void CancelLeavesFileAndWindowAsTheyWere();
  void OkSavesAndRefreshesTheWindow();
  void OkWithTypedDestinationAndEmptyNameList();
  void WhileOpenTheWindowStaysLive();
  void ClosingTheProgramCancelsTheDialogFirst();
};

void OptionsWindowTest::CancelLeavesFileAndWindowAsTheyWere() {
  StoredWindow w(Seed);
  const QByteArray before = FileBytes(w.path);
  const QString status = w->StatusText(1);
  const QString names = w->Ui().Destination->CBNombres->currentText();
  const QString button = w->Ui().BOpciones->text();
  bool open = false;
  WhenOpen(*w, [&](TVOpciones& dlg) {
    open = w->Vars().OptionsOpen && dlg.isModal() && dlg.isVisible();
    QCOMPARE(dlg.size(), QSize(337, 377));
    dlg.General().Ui().ChBBeep->click();
    dlg.General().Ui().ChBHardway->click();
    Pick(dlg.General().Ui().CBIdiomas, kLanguageEnglish);
    dlg.Nombres().Ui().BBorrar_nombres->click();
    Pick(dlg.General().Ui().CBTecla, 'Q' - 'A');
    QCOMPARE(HeldKey(w.hotKeys), std::uint32_t('Q'));  // at once, before OK
    // The hot key while the dialog is open brings the dialog, not the window.
    const TViewMode mode = w->Vars().ViewMode;
    QVERIFY(w.hotKeys.Press(HotKeyModifiers(ssCtrl | ssAlt), 'Q'));
    QCOMPARE(w->Vars().ViewMode, mode);
    QVERIFY(dlg.isVisible());
    WindowSettings colours = w->Options().WindowPart();  // as the colours page changes them
    colours.Palette[kPaletteSent] = clBlue;
    w->Options().SetWindowPart(colours);
    QCOMPARE(w->Ui().SRChat->GetPaletteColor(kPaletteSent), clBlue);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());  // Esc is ignored
    dlg.BCancel()->click();
  });
  w->Ui().BOpciones->click();
  QVERIFY(open);
  QVERIFY(!w->Vars().OptionsOpen);
  QCOMPARE(FileBytes(w.path), before);
  QVERIFY(w->Vars().OptBeep);
  QVERIFY(!w->Vars().OptHardway);
  QCOMPARE(w->Vars().LanguageIndex, kLanguageSpanish);
  QCOMPARE(w->Vars().NameList.Count(), 3);
  QCOMPARE(w->Vars().GroupList.Item(0).Members().Items(), std::vector<std::string>{"MIRLO"});
  QCOMPARE(w->Ui().SRChat->GetPaletteColor(kPaletteSent), clLime);
  QCOMPARE(w->Settings().HotKeyLetter(), 'N');
  QCOMPARE(HeldKey(w.hotKeys), std::uint32_t('N'));
  // Nothing else of the window changed.
  QCOMPARE(w->StatusText(1), status);
  QCOMPARE(w->Ui().Destination->CBNombres->currentText(), names);
  QCOMPARE(w->Ui().BOpciones->text(), button);
}

void OptionsWindowTest::OkSavesAndRefreshesTheWindow() {
  StoredWindow w(Seed);
  const QString spanishButton = w->Ui().BOpciones->text();
  // The user had picked SAUCE; it stays selected. MIRLO goes.
  w->Ui().Destination->CBNombres->setCurrentIndex(
      w->Ui().Destination->CBNombres->findText(QStringLiteral("SAUCE")));
  WhenOpen(*w, [&](TVOpciones& dlg) {
    dlg.General().Ui().ChBBeep->click();
    Pick(dlg.General().Ui().CBIdiomas, kLanguageEnglish);
    Pick(dlg.General().Ui().CBTecla, 'Q' - 'A');
    auto& names = dlg.Nombres().Ui();
    names.BNuevo_nombre->click();
    QTest::keyClicks(names.ENuevo_nombre, QStringLiteral("pino"));
    QTest::keyClick(names.ENuevo_nombre, Qt::Key_Return);
    names.LNombres->setCurrentRow(0);  // MIRLO
    names.BBorrar_nombre->click();
    auto& groups = dlg.Grupos().Ui();
    groups.BNuevo_grupo->click();
    QTest::keyClicks(groups.ENuevo_grupo, QStringLiteral("casa"));
    QTest::keyClick(groups.ENuevo_grupo, Qt::Key_Return);
    dlg.BOK()->click();
  });
  w->Ui().BOpciones->click();
  QVERIFY(!w->Vars().OptionsOpen);

  // The window: its language, the selectors, the destination in the status bar.
  QVERIFY(w->Ui().BOpciones->text() != spanishButton);
  QCOMPARE(w->Ui().Destination->CBNombres->count(), 3);
  QCOMPARE(w->Ui().Destination->CBNombres->currentText(), QStringLiteral("SAUCE"));
  QCOMPARE(w->Ui().Destination->CBGrupos->count(), 2);
  QCOMPARE(w->Ui().Destination->CBGrupos->itemText(1), QStringLiteral("CASA"));
  QCOMPARE(w->Vars().Destination, std::string("SAUCE"));
  QVERIFY(w->StatusText(1).endsWith(QStringLiteral("SAUCE")));

  // The file holds what OK saved.
  FileSettingsStore reread(w.path.toStdString());
  Variables v;
  WindowSettings ws;
  LoadSettings(reread, v, ws);
  QVERIFY(!v.OptBeep);
  QCOMPARE(v.LanguageIndex, kLanguageEnglish);
  QCOMPARE(v.NameList.Items(), (std::vector<std::string>{"OFICINA", "PINO", "SAUCE"}));
  QCOMPARE(v.GroupList.Count(), 2);
  QVERIFY(v.GroupList.Item(0).Members().Empty());
  QCOMPARE(v.QuickDestinations[1].Name, std::string("SAUCE"));
  QCOMPARE(ws.HotKeyLetter, 'Q');

  // A selected name that was deleted gives way to the workgroup.
  WhenOpen(*w, [&](TVOpciones& dlg) {
    auto& names = dlg.Nombres().Ui();
    names.LNombres->setCurrentRow(2);  // SAUCE
    names.BBorrar_nombre->click();
    dlg.BOK()->click();
  });
  w->Ui().BOpciones->click();
  QCOMPARE(w->Ui().Destination->CBNombres->currentText(), QStringLiteral("OFICINA"));
}

void OptionsWindowTest::OkWithTypedDestinationAndEmptyNameList() {
  StoredWindow w(Seed);
  WhenOpen(*w, [&](TVOpciones& dlg) {
    dlg.Nombres().Ui().BBorrar_nombres->click();
    dlg.BOK()->click();
  });
  w->Ui().BOpciones->click();
  QCOMPARE(w->Ui().Destination->CBNombres->currentIndex(), -1);
  QCOMPARE(w->Vars().Destination, LocalText(22, kLanguageSpanish));

  WhenOpen(*w, [&](TVOpciones& dlg) {
    dlg.General().Ui().ChBHardway->click();
    dlg.BOK()->click();
  });
  w->Ui().BOpciones->click();
  QVERIFY(w->Ui().Destination->PHardway->isVisible());
  QVERIFY(!w->Ui().Destination->PNoHardway->isVisible());
  QCOMPARE(w->Vars().Destination, LocalText(22, kLanguageSpanish));
}

void OptionsWindowTest::WhileOpenTheWindowStaysLive() {
  StoredWindow w(Seed);
  const TViewMode mode = w->Vars().ViewMode;
  WhenOpen(*w, [&](TVOpciones& dlg) {
    // The workgroup ping goes out from the names page; another copy answers.
    dlg.Nombres().BPing_AllClick();
    QTRY_COMPARE_WITH_TIMEOUT(w.transport.writes.size(), std::size_t(3), 2000);
    QCOMPARE(w.transport.writes[0].server, std::string("OFICINA"));
    w->Core().IdentifyingReceived("PINO", "0.31b");
    QCOMPARE(
        dlg.Nombres().Ui().LNombres->findItems(QStringLiteral("PINO"), Qt::MatchExactly).size(), 1);
    QCOMPARE(
        dlg.Grupos().Ui().CLNombres->findItems(QStringLiteral("PINO"), Qt::MatchExactly).size(), 1);
    // A message from someone new: the name joins the lists too.
    const QByteArray before = FileBytes(w.path);
    dlg.General().Ui().ChBHardway->click();  // a change the user may still cancel
    std::string sender = "brezo";
    w->NotifyArrival(sender, "TEJO", "hola", kPaletteReceived);
    // Storing the new name now would write the unconfirmed change with it.
    QCOMPARE(FileBytes(w.path), before);
    QCOMPARE(
        dlg.Nombres().Ui().LNombres->findItems(QStringLiteral("BREZO"), Qt::MatchExactly).size(),
        1);
    // The tray's click and first entry bring the dialog forward; the window stays as it was.
    w->TrayIconClick();
    w->Opcion1Click();
    QCOMPARE(w->Vars().ViewMode, mode);
    QVERIFY(dlg.isVisible());
    // A second "&Opciones" (a queued click) opens nothing more.
    w->BOpcionesClick();
    dlg.reject();
  });
  w->Ui().BOpciones->click();
  // Cancel: the ping's answer goes with the dialog, the message's sender stays.
  QVERIFY(!w->Vars().NameList.Contains("PINO"));
  QVERIFY(w->Vars().NameList.Contains("BREZO"));
  // The sender is stored once the dialog is closed, without the cancelled change.
  {
    FileSettingsStore reread(w.path.toStdString());
    Variables v;
    WindowSettings ws;
    LoadSettings(reread, v, ws);
    QVERIFY(v.NameList.Contains("BREZO"));
    QVERIFY(!v.NameList.Contains("PINO"));
    QVERIFY(!v.OptHardway);
  }
  // After the dialog, an answer is a line of the conversation again.
  const int lines = w->Ui().SRChat->LineCount();
  w->Core().IdentifyingReceived("PINO", "0.31b");
  QVERIFY(w->Ui().SRChat->LineCount() > lines);
}

void OptionsWindowTest::ClosingTheProgramCancelsTheDialogFirst() {
  StoredWindow w(Seed);
  const QByteArray before = FileBytes(w.path);
  bool quitWhileOpen = true;
  WhenOpen(*w, [&](TVOpciones& dlg) {
    dlg.General().Ui().ChBBeep->click();
    w->Cerrar1Click();  // the tray's "&Cerrar"
    quitWhileOpen = w->Vars().ReallyQuit;
  });
  w->Ui().BOpciones->click();
  QVERIFY(!quitWhileOpen);
  QVERIFY(w->Vars().OptBeep);  // cancelled
  QTRY_VERIFY(w->Vars().ReallyQuit);
  QVERIFY(!w->isVisible());
  QCOMPARE(FileBytes(w.path), before);
}

QTEST_MAIN(OptionsWindowTest)
#include "OptionsWindowTest.moc"
