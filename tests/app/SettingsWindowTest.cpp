// The window's start-up with its settings: the language applied to every caption of the table,
// the colours of the panes, the lost messages shown again, the new-sender write at arrival, and
// the own-name gesture on the status bar.

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextDocumentFragment>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "AppTestSupport.h"
#include "app/ComposeMemo.h"
#include "app/LanguageTable.h"
#include "app/SettingsIO.h"
#include "app/StatusPanels.h"
#include "messaging/Settings.h"
#include "messaging/TextTable.h"
#include "model/MessageFile.h"
#include "model/SettingsStore.h"
#include "widgets/CoolTrayIcon.h"
#include "widgets/Screenshot.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;
using namespace pelmora::testing;

namespace {

namespace fs = std::filesystem;

QString Row(int row, int language) { return ToQ(LocalText(row, language)); }

std::function<void(WindowServices&)> WithStore(SettingsStore* store) {
  return [store](WindowServices& env) { env.settingsStore = store; };
}

std::string ReadRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

class SettingsWindowTest : public QObject {
  Q_OBJECT

  fs::path dir_;

 private slots:
  void init() {
    std::string tmpl = (fs::temp_directory_path() / "pelmora-winset-XXXXXX").string();
    QVERIFY(mkdtemp(tmpl.data()) != nullptr);
    dir_ = tmpl;
  }
  void cleanup() { fs::remove_all(dir_); }

  // Every caption and hint of the language table, in each of the three languages, taken from
  // the store at start.
  void languageTableAtStart() {
    const char* stored[] = {"ESPA\xD1OL", "DEUTSCH", "english"};
    for (int lang = 0; lang < 3; ++lang) {
      MemorySettingsStore store;
      store.WriteString("OPCIONES", "IDIOMA", stored[lang]);
      TestWindow w(nullptr, {"tejo", "oficina"}, WithStore(&store));
      const auto& ui = w.ui();
      QCOMPARE(int(w->Vars().LanguageIndex), lang);
      QCOMPARE(ui.BOpciones->text(), Row(3, lang));
      QCOMPARE(ui.BBorrar->text(), Row(4, lang));
      QCOMPARE(ui.Destination->BReceptor->text(), Row(5, lang));
      QCOMPARE(ui.Destination->ChBGrupos->text(), Row(6, lang));
      QCOMPARE(ui.Destination->BTexto->text(), Row(7, lang));
      QCOMPARE(ui.Destination->BReceptor_hardway->text(), Row(5, lang));
      // Hints are plain text: compare what a reader of the tip sees.
      auto tip = [](QWidget* wid) {
        return QTextDocumentFragment::fromHtml(wid->toolTip()).toPlainText();
      };
      QCOMPARE(tip(ui.BOpciones), Row(10, lang));
      QCOMPARE(tip(ui.BBorrar), Row(11, lang));
      QCOMPARE(tip(ui.Destination->BReceptor), Row(12, lang));
      QCOMPARE(tip(ui.Destination->BReceptor_hardway), Row(12, lang));
      QCOMPARE(tip(ui.Destination->CBNombres), Row(13, lang));
      QCOMPARE(tip(ui.Destination->ChBGrupos), Row(14, lang));
      QCOMPARE(tip(ui.Destination->BTexto), Row(15, lang));
      QCOMPARE(tip(ui.Destination->MTexto), Row(15, lang));
      QCOMPARE(tip(ui.Destination->MTexto_hardway), Row(15, lang));
      QCOMPARE(ui.SRTime->accessibleDescription(), Row(16, lang));
      QCOMPARE(ui.SRCab->accessibleDescription(), Row(16, lang));
      QCOMPARE(ui.SRChat->accessibleDescription(), Row(16, lang));
      QCOMPARE(w->StatusText(0), Row(17, lang) + QStringLiteral("TEJO"));
      QCOMPARE(w->StatusText(1), Row(18, lang));
      QCOMPARE(ui.Restaurar1->text(), Row(28, lang));  // the window starts in the tray
      QCOMPARE(ui.Cerrar1->text(), Row(8, lang));
      // Every control the table names is there (a renamed one would silently keep its text).
      QCOMPARE(ApplyLanguageTable(w.window.get(), lang), 0);
      // And no caption is cut by its control.
      w->TrayIconClick();
      for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        if (b->isVisible() && !b->text().isEmpty()) QVERIFY2(CaptionFits(b), qPrintable(b->text()));
      }
      SaveScreenshot(w.window.get(), QStringLiteral("window-lang%1").arg(lang));
    }
    // The figures of the English edge case, spelled out.
    MemorySettingsStore english;
    english.WriteString("OPCIONES", "IDIOMA", "ENGLISH");
    TestWindow w(nullptr, {"tejo", "oficina"}, WithStore(&english));
    QCOMPARE(w.ui().BBorrar->text(), QStringLiteral("&Clear All"));
    QCOMPARE(w->StatusText(0), QStringLiteral("Source: TEJO"));
    QCOMPARE(w.ui().Restaurar1->text(), QStringLiteral("&Restore"));
    MemorySettingsStore german;
    german.WriteString("OPCIONES", "IDIOMA", "DEUTSCH");
    TestWindow g(nullptr, {"tejo", "oficina"}, WithStore(&german));
    QCOMPARE(g->StatusText(0), QStringLiteral("Absender:TEJO"));
  }

  // The options dialog's OK applies the chosen language to a window that is shown: the first
  // tray entry then reads "Minimise", and lines already in the view keep their language.
  void languageChangedWhileRunning() {
    TestWindow w([](Variables& v) { v.NameList.Add("MIRLO"); });
    w->AppendLine("MIRLO", "TEJO", "hola", kPaletteReceived);
    w->TrayIconClick();
    QCOMPARE(w->Vars().ViewMode, vmNormal);
    w->ApplyLanguage(2);
    QCOMPARE(w.ui().Destination->BTexto->text(), QStringLiteral("&New message"));
    QCOMPARE(w.ui().Restaurar1->text(), QStringLiteral("&Minimize"));
    QCOMPARE(w->StatusText(1), QStringLiteral("Target name: MIRLO"));
    QCOMPARE(w.ui().SRCab->GetLine(0), std::string("MIRLO a TEJO"));
    w->AppendLine("MIRLO", "TEJO", "hello", kPaletteReceived);
    QCOMPARE(w.ui().SRCab->GetLine(1), std::string("MIRLO to TEJO"));
  }

  void coloursAndOptionsComeFromTheStoreAndGoBack() {
    MemorySettingsStore store;
    store.WriteString("OPCIONES", "COLOR FONDO", "clNavy");
    store.WriteString("OPCIONES", "COLOR RECEPCION", "$00123456");
    store.WriteString("OPCIONES", "HOTKEY", "k");
    store.WriteString("OPCIONES", "HARDWAY", "YES");
    store.WriteString("NOMBRES", "ZORRO", "S");
    TestWindow w(nullptr, {"tejo", "oficina"}, WithStore(&store));
    for (TScrollRichEdit* pane : {w.ui().SRTime, w.ui().SRCab, w.ui().SRChat}) {
      QCOMPARE(pane->Color(), clNavy);
      QCOMPARE(pane->GetPaletteColor(kPaletteReceived), TColor{0x123456});
      QCOMPARE(pane->GetPaletteColor(kPaletteTime), clSilver);
    }
    QCOMPARE(w->Settings().HotKeyLetter(), 'K');
    QVERIFY(w->Vars().OptHardway);
    QVERIFY(!w.ui().Destination->PHardway->isHidden());

    // A colour changed in the settings shows in every pane and is what a save writes.
    WindowSettings colours = w->Settings().Window();
    colours.Palette[kPaletteSent] = clFuchsia;
    w->Settings().SetWindow(colours);
    QCOMPARE(w.ui().SRCab->GetPaletteColor(kPaletteSent), clFuchsia);
    QVERIFY(w->Settings().Save());
    QCOMPARE(store.ReadString("OPCIONES", "COLOR ENVIO", ""), std::string("clFuchsia"));
    QCOMPARE(store.ReadString("NOMBRES", "ZORRO", ""), std::string("S"));
    // Loaded again: the saved colours come back into every pane.
    colours.Palette[kPaletteSent] = clRed;
    w->Settings().SetWindow(colours);
    w->Settings().Load();
    QCOMPARE(w.ui().SRChat->GetPaletteColor(kPaletteSent), clFuchsia);
  }

  void oldIniIsMigratedAtStart() {
    const std::string legacy = (dir_ / "vespra2.ini").string();
    std::ofstream(legacy, std::ios::binary)
        << "[OPCIONES]\r\nIDIOMA = ENGLISH\r\n[NOMBRES]\r\nzorro=S\r\n";
    const std::string path = (dir_ / "pelmora" / "pelmora.ini").string();
    auto services = [&](FileSettingsStore& store) {
      return [&](WindowServices& env) {
        env.settingsStore = &store;
        env.legacySettingsPath = legacy;
      };
    };
    // A second copy that stops because another one runs neither writes the store nor takes the
    // old file away.
    {
      FileSettingsStore store(path);
      TestWindow second(nullptr, {"tejo", "oficina"}, services(store), false);
      QVERIFY(second->TerminateRequested());
      QVERIFY(fs::exists(legacy));
      QVERIFY(!fs::exists(path));
    }
    FileSettingsStore store(path);
    TestWindow w(nullptr, {"tejo", "oficina"}, services(store));
    QCOMPARE(w.ui().BOpciones->text(), QStringLiteral("&Options"));
    QVERIFY(!fs::exists(legacy));
    QVERIFY(ReadRaw(path).find("IDIOMA=ENGLISH\n") != std::string::npos);
    QCOMPARE(w.ui().Destination->CBNombres->currentText(), QStringLiteral("zorro"));
  }

  void lostMessagesComeBackAsTheFirstLines() {
    const std::string lost = (dir_ / "lastmsgs.vsp").string();
    std::string bytes = EncodeMessageRecord(kPaletteReceived, "ZORRO", "TEJO", "uno");
    bytes += EncodeMessageRecord(kPaletteSecure, "ALCE", "TEJO", "dos");
    bytes += EncodeMessageRecord(9, "PINO", "TEJO", "tres");
    std::ofstream(lost, std::ios::binary) << bytes;

    const auto withFile = [&](WindowServices& env) {
      env.lostMessagesPath = lost;
      env.trayIcon = true;
    };
    // A second copy that stops with "already running" leaves the running copy's file alone, and
    // takes neither its hot key nor a place in the tray.
    {
      TestWindow second(nullptr, {"tejo", "oficina"}, withFile, false);
      QVERIFY(second->TerminateRequested());
      QCOMPARE(second.boxes.size(), size_t{1});
      QCOMPARE(second.ui().SRChat->LineCount(), 0);
      QCOMPARE(ReadRaw(lost), bytes);
      QVERIFY(second.hotKeys.held.empty());
      QVERIFY(!second.ui().TrayIcon->SystemTrayIcon()->isVisible());
    }

    // A run that ends before its window was shown keeps them for the next: the file stays, and
    // the tip counts them as it counts arrivals.
    for (int run = 0; run < 2; ++run) {
      TestWindow tray(nullptr, {"tejo", "oficina"}, withFile);
      QVERIFY(!tray.hotKeys.held.empty());
      QVERIFY(tray.ui().TrayIcon->SystemTrayIcon()->isVisible());
      QCOMPARE(tray.ui().SRChat->LineCount(), 3);
      QCOMPARE(tray->Vars().NewMessageCount, 3);
      QCOMPARE(tray.ui().TrayIcon->Hint(), std::string("Pelmora (3 mensajes nuevos   )"));
      QCOMPARE(tray.ui().Restaurar1->text(), QStringLiteral("&Restaurar"));
      QCOMPARE(ReadRaw(lost), bytes);
    }

    TestWindow w(nullptr, {"tejo", "oficina"}, withFile);
    const auto& ui = w.ui();
    QCOMPARE(ui.SRTime->LineCount(), 3);
    QCOMPARE(ui.SRTime->GetLine(0), std::string("------"));
    QCOMPARE(ui.SRTime->GetLine(2), std::string("------"));
    QCOMPARE(ui.SRCab->GetLine(0), std::string("ZORRO a TEJO"));
    QCOMPARE(ui.SRChat->GetLine(0), std::string("uno"));
    QCOMPARE(ui.SRChat->GetLine(1), std::string("dos"));
    QCOMPARE(int(ui.SRChat->GetLineColorIndex(1)), kPaletteSecure);
    // A kind that is no colour of the view is drawn in the received one.
    QCOMPARE(int(ui.SRChat->GetLineColorIndex(2)), kPaletteReceived);
    // A message arriving meanwhile joins them; the window shown, they are on screen and go.
    w->Vars().OptRecoverLost = true;
    std::string sender = "ZORRO";
    w->NotifyArrival(sender, "TEJO", "cuatro", kPaletteReceived);
    QVERIFY(ReadRaw(lost).size() > bytes.size());
    w->TrayIconClick();
    QVERIFY(!fs::exists(lost));
    QCOMPARE(w.ui().Restaurar1->text(), QStringLiteral("&Minimizar"));
  }

  // New senders reach the file together, applied to the file as it is then: a burst costs one
  // save, not one per arrival, and what the user wrote into the file meanwhile stays.
  void newSendersAreStoredTogetherKeepingHandEdits() {
    const std::string path = (dir_ / "pelmora" / "pelmora.ini").string();
    fs::create_directories(dir_ / "pelmora");
    std::ofstream(path, std::ios::binary) << "[OPCIONES]\nBEEP=NO\n";
    FileSettingsStore store(path);
    TestWindow w(nullptr, {"tejo", "oficina"}, WithStore(&store));
    std::ofstream(path, std::ios::binary)
        << "[OPCIONES]\nBEEP=NO\nMASTER=YES\nNOTIFICAR=NO\n[NOMBRES]\nA MANO=N\n";
    for (int i = 0; i < 200; ++i) {
      std::string sender = "nuevo" + std::to_string(i);
      w->NotifyArrival(sender, "TEJO", "hola", kPaletteReceived);
      if (i == 0) QCOMPARE(sender, std::string("NUEVO0"));
    }
    QVERIFY(w->Vars().NameList.Contains("NUEVO199"));
    QCOMPARE(store.SavesWritten(), 0);
    QVERIFY(w->Settings().SavePending());
    QTRY_VERIFY_WITH_TIMEOUT(!w->Settings().SavePending(), 20000);
    QCOMPARE(store.SavesWritten(), 1);
    FileSettingsStore back(path);
    QCOMPARE(back.SectionKeys("NOMBRES").size(), size_t{201});
    QCOMPARE(back.ReadString("NOMBRES", "NUEVO199", ""), std::string("N"));
    QCOMPARE(back.ReadString("NOMBRES", "A MANO", ""), std::string("N"));
    QCOMPARE(back.ReadString("OPCIONES", "MASTER", ""), std::string("YES"));
    QCOMPARE(back.ReadString("OPCIONES", "NOTIFICAR", ""), std::string("NO"));
    std::string empty;
    w->NotifyArrival(empty, "TEJO", "x", kPaletteReceived);
    QVERIFY(!w->Vars().NameList.Contains(""));
    QVERIFY(!w->Settings().SavePending());

    // The options dialog's save writes what the user changed there, nothing else.
    {
      FileSettingsStore editor(path);  // the user's editor
      editor.WriteString("OPCIONES", "IDIOMA", "DEUTSCH");
      QVERIFY(editor.Save());
    }
    w->Vars().OptRestore = false;
    QVERIFY(w->Settings().Save());
    FileSettingsStore after(path);
    QCOMPARE(after.ReadString("OPCIONES", "RESTORE", ""), std::string("NO"));
    QCOMPARE(after.ReadString("OPCIONES", "NOTIFICAR", ""), std::string("NO"));
    QCOMPARE(after.ReadString("OPCIONES", "IDIOMA", ""), std::string("DEUTSCH"));
    QCOMPARE(after.ReadString("OPCIONES", "BEEP", ""), std::string("NO"));
  }

  void ownNameGestureOnTheStatusBar() {
    TestWindow w([](Variables& v) { v.NameList.Add("MIRLO"); });
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    QLineEdit* field = w.ui().ECambioNombre;
    QTest::mouseClick(w.ui().StatusBar, Qt::RightButton, Qt::ControlModifier, QPoint(10, 5));
    QVERIFY(field->isHidden());
    QTest::mouseClick(w.ui().StatusBar, Qt::RightButton, Qt::ControlModifier | Qt::AltModifier,
                      QPoint(300, 5));
    QVERIFY(field->isVisible());
    QVERIFY(field->hasFocus());
    QCOMPARE(field->text(), QStringLiteral("TEJO"));
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("caja&2"));
    Key(w.window.get(), Qt::Key_Return);
    QVERIFY(field->isHidden());
    QCOMPARE(w->Vars().OwnName, std::string("CAJA2"));
    QCOMPARE(w->StatusText(0), QStringLiteral("Origen: CAJA2"));
    QVERIFY(w.ui().Destination->BTexto->hasFocus());

    // The next message carries the new name.
    w.ui().Destination->BTexto->click();
    QTest::keyClicks(w.ui().Destination->MTexto, QStringLiteral("hola"));
    Key(w.window.get(), Qt::Key_Return);
    QCOMPARE(w.ui().SRCab->GetLine(0), std::string("CAJA2 a MIRLO"));
    QVERIFY(!w.transport.writes.empty());
    QVERIFY(w.transport.writes.back().bytes.find("&CAJA2&") != std::string::npos);

    // Esc on the window while the field is open closes only the field.
    QTest::mouseClick(w.ui().StatusBar, Qt::RightButton, Qt::ControlModifier | Qt::AltModifier);
    Key(w.window.get(), Qt::Key_Escape);
    QVERIFY(field->isHidden());
    QVERIFY(w->isVisible());
    QCOMPARE(w->Vars().OwnName, std::string("CAJA2"));
  }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
