// The options dialog on the offscreen platform, around a stand-in for the main window: its
// shape, the pages' handlers on the shared state, the ping, the log and the about page.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "OptionsTestSupport.h"
#include "options/OptionsWidgets.h"
#include "options/PageAcerca.h"
#include "options/PageColores.h"
#include "options/PageGeneral.h"
#include "options/PageGrupos.h"
#include "options/PageNombres.h"
#include "options/VOpciones.h"
#include "widgets/AnsiItems.h"
#include "widgets/ColorCombo.h"
#include "widgets/Screenshot.h"

using namespace pelmora;
using pelmora::testing::FakeOptionsHost;

namespace {

QStringList Names(std::initializer_list<const char*> names) {
  QStringList out;
  for (const char* n : names) out << QString::fromUtf8(n);
  return out;
}

QStringList Texts(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

QStringList Checked(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->checkState() == Qt::Checked) out << list->item(i)->text();
  }
  return out;
}

// What a user's pick in a drop-down list does: select, then the list reports the choice.
void Pick(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

void Type(QWidget* w, const QString& text, Qt::Key end = Qt::Key_Return) {
  QTest::keyClicks(w, text);
  QTest::keyClick(w, end);
}

// A click on a check mark, as the user changes it.
void ToggleCheck(QListWidget* list, const QString& text) {
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    if (item->text() == text) {
      item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
      return;
    }
  }
  QFAIL("no such entry");
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void ShapeAndKeysThatDoNotClose();
  void GeneralPageWritesFlagsHotKeyAndLanguage();
  void NamesPageAddsAndDeletesInBothLists();
  void PingSendsThreeBroadcastsPerPress();
  void QuickDestinationRewrittenOnlyByTheUser();
  void GroupsPageCaseMembersAndSections();
  void ColoursActOnTheWindowsSettings();
  void LogSavingAndItsFailures();
  void AboutPageOpensItsLinks();
  void OpensQuicklyWithALargeAddressBook();
  void PicturesOfThePages();
};

void OptionsDialogTest::ShapeAndKeysThatDoNotClose() {
  FakeOptionsHost host;
  host.vars.LanguageIndex = kLanguageEnglish;
  TVOpciones dlg(host);
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  QCOMPARE(dlg.size(), QSize(337, 377));
  QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
  QVERIFY(dlg.isModal());
  QTabWidget* pages = dlg.PageControl();
  QCOMPARE(pages->count(), 5);
  QCOMPARE(pages->currentIndex(), 0);
  QCOMPARE(pages->tabText(4), QStringLiteral("Acerca de"));
  QCOMPARE(pages->tabText(1), ToQ(LocalText(37, kLanguageEnglish)));
  QCOMPARE(dlg.windowTitle(), ToQ(LocalText(23, kLanguageEnglish)));
  // Not localised.
  QCOMPARE(dlg.BOK()->text(), QStringLiteral("&OK"));
  QCOMPARE(dlg.BCancel()->text(), QStringLiteral("&Cancel"));
  QCOMPARE(dlg.BOK()->geometry(), QRect(176, 336, 75, 30));

  for (Qt::Key k : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    QTest::keyClick(&dlg, k);
    QVERIFY(dlg.isVisible());
  }
  // The focused OK button takes Space, not Enter.
  dlg.BOK()->setFocus();
  QTest::keyClick(dlg.BOK(), Qt::Key_Return);
  QVERIFY(dlg.isVisible());
  // The close box is Cancel.
  dlg.close();
  QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void OptionsDialogTest::GeneralPageWritesFlagsHotKeyAndLanguage() {
  FakeOptionsHost host;
  host.vars.OptRestore = true;
  host.vars.OptPreview = true;
  host.vars.OptHardway = true;
  host.window.HotKeyLetter = '5';  // not a letter: nothing selected, the key left alone
  TVOpciones dlg(host);
  const auto& ui = dlg.General().Ui();
  QCOMPARE(ui.CBTecla->count(), 26);
  QCOMPARE(ui.CBTecla->currentIndex(), -1);
  QVERIFY(ui.ChBPreview->isEnabled());
  QVERIFY(ui.ChBHardway->isChecked());
  QVERIFY(!ui.ChBBeep->isChecked());
  QVERIFY(ui.ChBNotificar->isChecked());  // desktop notifications are on by default
  QCOMPARE(host.window.HotKeyLetter, '5');

  ui.ChBRestaurar->click();  // off: preview off and greyed
  QVERIFY(!host.vars.OptRestore);
  QVERIFY(!host.vars.OptPreview);
  QVERIFY(!ui.ChBPreview->isChecked());
  QVERIFY(!ui.ChBPreview->isEnabled());
  ui.ChBRestaurar->click();  // on again: enabled, but still off
  QVERIFY(host.vars.OptRestore);
  QVERIFY(ui.ChBPreview->isEnabled());
  QVERIFY(!host.vars.OptPreview);
  ui.ChBBeep->click();
  ui.ChBCambio->click();
  ui.ChBRecuperar->click();
  QVERIFY(host.vars.OptBeep && host.vars.OptAutoDestination && host.vars.OptRecoverLost);
  ui.ChBNotificar->click();
  QVERIFY(!host.vars.OptNotify);

  Pick(ui.CBTecla, 'Q' - 'A');
  QCOMPARE(host.window.HotKeyLetter, 'Q');

  QCOMPARE(ui.CBIdiomas->count(), 3);
  QCOMPARE(ui.CBIdiomas->itemText(0), QStringLiteral("Español"));
  Pick(ui.CBIdiomas, kLanguageGerman);
  QCOMPARE(host.vars.LanguageIndex, kLanguageGerman);
  QCOMPARE(dlg.windowTitle(), ToQ(LocalText(23, kLanguageGerman)));
  QCOMPARE(ui.ChBHardway->text(), ToQ(LocalText(33, kLanguageGerman)));
  QCOMPARE(ui.ChBNotificar->text(), QStringLiteral("Desktop-Benachrichtigungen"));
  QCOMPARE(dlg.Nombres().Ui().BPing_All->text(), ToQ(LocalText(42, kLanguageGerman)));
  QCOMPARE(dlg.Colores().Ui().Classes[5]->text(), ToQ(LocalText(52, kLanguageGerman)));
  QCOMPARE(dlg.Nombres().Ui().CBTipoDestino->itemText(0), QStringLiteral("- - - - -"));

  // Opening again shows what the first dialog left.
  TVOpciones again(host);
  QCOMPARE(again.General().Ui().CBTecla->currentText(), QStringLiteral("Q"));
  QCOMPARE(again.General().Ui().CBIdiomas->currentIndex(), int(kLanguageGerman));
  QVERIFY(again.General().Ui().ChBBeep->isChecked());
}

void OptionsDialogTest::NamesPageAddsAndDeletesInBothLists() {
  FakeOptionsHost host;
  host.vars.NameList = {"TEJO", "SAUCE"};
  host.vars.GroupList.SetGroup("AMIGOS", std::vector<std::string>{"TEJO", "SAUCE"});
  TVOpciones dlg(host);
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  dlg.PageControl()->setCurrentIndex(1);
  const auto& ui = dlg.Nombres().Ui();
  QListWidget* checkList = dlg.Grupos().Ui().CLNombres;

  ui.BNuevo_nombre->click();
  QVERIFY(ui.ENuevo_nombre->isVisible());
  QVERIFY(!ui.BNuevo_nombre->isVisible());
  Type(ui.ENuevo_nombre, QStringLiteral("mirlo"));
  QVERIFY(!ui.ENuevo_nombre->isVisible());
  QVERIFY(ui.BNuevo_nombre->isVisible());
  QVERIFY(host.vars.NameList.Contains("MIRLO"));
  QCOMPARE(Texts(ui.LNombres), Names({"MIRLO", "SAUCE", "TEJO"}));
  QCOMPARE(Texts(checkList), Names({"MIRLO", "SAUCE", "TEJO"}));

  // Again in another case: nothing new. Through the Insert key of the list.
  ui.LNombres->setFocus();
  QTest::keyClick(ui.LNombres, Qt::Key_Insert);
  QVERIFY(ui.ENuevo_nombre->isVisible());
  Type(ui.ENuevo_nombre, QStringLiteral("Mirlo"));
  QCOMPARE(ui.LNombres->count(), 3);
  QCOMPARE(host.vars.NameList.Count(), 3);

  // "&" and characters the code page lacks never get into the edit; Esc adds nothing.
  ui.BNuevo_nombre->click();
  QTest::keyClicks(ui.ENuevo_nombre, QStringLiteral("a&b"));
  ui.ENuevo_nombre->insert(QStringLiteral("\u4E2D"));  // as a paste would
  QCOMPARE(ui.ENuevo_nombre->text(), QStringLiteral("AB"));
  QTest::keyClick(ui.ENuevo_nombre, Qt::Key_Escape);
  QVERIFY(!ui.ENuevo_nombre->isVisible());
  QCOMPARE(host.vars.NameList.Count(), 3);
  // A text set past the edit's rule (a paste into an older field, say) is still refused at the
  // commit: the edit stays open with it.
  ui.BNuevo_nombre->click();
  ui.ENuevo_nombre->setValidator(nullptr);
  ui.ENuevo_nombre->setText(QStringLiteral("a&b"));
  QTest::keyClick(ui.ENuevo_nombre, Qt::Key_Return);
  QVERIFY(ui.ENuevo_nombre->isVisible());
  QCOMPARE(host.vars.NameList.Count(), 3);
  QTest::keyClick(ui.ENuevo_nombre, Qt::Key_Escape);
  QVERIFY(!ui.ENuevo_nombre->isVisible());
  // Enter on an empty edit is Esc.
  ui.BNuevo_nombre->click();
  QTest::keyClick(ui.ENuevo_nombre, Qt::Key_Return);
  QVERIFY(!ui.ENuevo_nombre->isVisible());
  QCOMPARE(host.vars.NameList.Count(), 3);

  // Delete with nothing selected does nothing; with TEJO selected it leaves the group too.
  ui.BBorrar_nombre->click();
  QCOMPARE(ui.LNombres->count(), 3);
  ui.LNombres->setCurrentRow(2);
  QTest::keyClick(ui.LNombres, Qt::Key_Delete);
  QCOMPARE(Texts(ui.LNombres), Names({"MIRLO", "SAUCE"}));
  QCOMPARE(Texts(checkList), Names({"MIRLO", "SAUCE"}));
  QCOMPARE(host.vars.GroupList.Item(0).Members().Items(), std::vector<std::string>{"SAUCE"});

  // Leaving the edit for another control commits; another window taking the keyboard does not.
  ui.BNuevo_nombre->click();
  QTest::keyClicks(ui.ENuevo_nombre, QStringLiteral("haya"));
  QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(ui.ENuevo_nombre, &away);
  QVERIFY(ui.ENuevo_nombre->isVisible());
  QFocusEvent left(QEvent::FocusOut, Qt::MouseFocusReason);
  QApplication::sendEvent(ui.ENuevo_nombre, &left);
  QVERIFY(!ui.ENuevo_nombre->isVisible());
  QVERIFY(host.vars.NameList.Contains("HAYA"));
  ui.LNombres->setCurrentRow(FindSortedRow(ui.LNombres, "HAYA"));
  ui.BBorrar_nombre->click();
  QVERIFY(!host.vars.NameList.Contains("HAYA"));

  // A ping answer while open shows in both lists at once.
  host.vars.NameList.Add("Pino");
  dlg.AddToNameLists("Pino");
  QCOMPARE(Texts(ui.LNombres), Names({"MIRLO", "Pino", "SAUCE"}));
  QCOMPARE(Texts(checkList), Names({"MIRLO", "Pino", "SAUCE"}));
  dlg.AddToNameLists("PINO");
  QCOMPARE(ui.LNombres->count(), 3);

  ui.BBorrar_nombres->click();
  QCOMPARE(ui.LNombres->count(), 0);
  QCOMPARE(checkList->count(), 0);
  QVERIFY(host.vars.NameList.Empty());
  QCOMPARE(host.vars.GroupList.Count(), 1);
  QVERIFY(host.vars.GroupList.Item(0).Members().Empty());
}

void OptionsDialogTest::PingSendsThreeBroadcastsPerPress() {
  FakeOptionsHost host;
  TVOpciones dlg(host);
  QPushButton* ping = dlg.Nombres().Ui().BPing_All;
  ping->click();
  QCOMPARE(host.pings, 0);  // the first goes 100 ms after the press
  QTRY_COMPARE_WITH_TIMEOUT(host.pings, 3, 2000);
  QTest::qWait(350);
  QCOMPARE(host.pings, 3);
  QVERIFY(!dlg.Nombres().Ui().TimerPing->isActive());

  // A second press while the timer runs restarts the count: four in all.
  host.pings = 0;
  ping->click();
  QTRY_COMPARE_WITH_TIMEOUT(host.pings, 1, 2000);
  ping->click();
  QTRY_COMPARE_WITH_TIMEOUT(host.pings, 4, 2000);
  QTest::qWait(350);
  QCOMPARE(host.pings, 4);
}

void OptionsDialogTest::QuickDestinationRewrittenOnlyByTheUser() {
  FakeOptionsHost host;
  host.vars.NameList = {"MIRLO", "SAUCE"};
  host.vars.GroupList.SetGroup("AMIGOS", std::vector<std::string>{});
  host.vars.QuickDestinations[0] = {"GONE", qdName};  // deleted from the list some time ago
  host.vars.QuickDestinations[5] = {"AMIGOS", qdGroup};
  {
    TVOpciones dlg(host);
    const auto& ui = dlg.Nombres().Ui();
    QCOMPARE(ui.CBNumeros->currentIndex(), 0);
    QCOMPARE(ui.CBTipoDestino->currentIndex(), int(qdName));
    QVERIFY(!ui.CBNombresGrupos->isHidden());
    QCOMPARE(ui.CBNombresGrupos->count(), 2);
    QCOMPARE(ui.CBNombresGrupos->currentIndex(), -1);
    QCOMPARE(host.vars.QuickDestinations[0].Name, std::string("GONE"));

    Pick(ui.CBNumeros, 5);
    QCOMPARE(ui.CBTipoDestino->currentIndex(), int(qdGroup));
    QCOMPARE(ui.CBNombresGrupos->currentText(), QStringLiteral("AMIGOS"));
    // The user switches 5 from groups to names: the first name replaces the group.
    Pick(ui.CBTipoDestino, qdName);
    QCOMPARE(host.vars.QuickDestinations[5].Name, std::string("MIRLO"));
    QCOMPARE(host.vars.QuickDestinations[5].Kind, qdName);
    Pick(ui.CBNombresGrupos, 1);
    QCOMPARE(host.vars.QuickDestinations[5].Name, std::string("SAUCE"));
    Pick(ui.CBTipoDestino, qdNone);
    QVERIFY(ui.CBNombresGrupos->isHidden());
    QCOMPARE(host.vars.QuickDestinations[5].Kind, qdNone);
    QCOMPARE(host.vars.QuickDestinations[5].Name, std::string("SAUCE"));
  }
  QCOMPARE(host.vars.QuickDestinations[0].Name, std::string("GONE"));
}

void OptionsDialogTest::GroupsPageCaseMembersAndSections() {
  FakeOptionsHost host;
  host.vars.NameList = {"MIRLO", "SAUCE", "TEJO"};
  host.vars.GroupList.SetGroup("Amigos", std::vector<std::string>{"TEJO", "FANTASMA"});
  host.vars.GroupList.SetGroup("OFICINA", std::vector<std::string>{"SAUCE"});
  TVOpciones dlg(host);
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  dlg.PageControl()->setCurrentIndex(2);
  const auto& ui = dlg.Grupos().Ui();
  QCOMPARE(Texts(ui.LGrupos), Names({"Amigos", "OFICINA"}));
  QCOMPARE(ui.LGrupos->currentRow(), -1);
  QVERIFY(Checked(ui.CLNombres).isEmpty());

  // No group selected: a check mark does not stay and no group changes.
  ToggleCheck(ui.CLNombres, QStringLiteral("MIRLO"));
  QVERIFY(Checked(ui.CLNombres).isEmpty());
  QCOMPARE(host.vars.GroupList.Item(1).Members().Count(), 1);

  // "amigos" is the group already there, differing only in case: it is selected, not added.
  ui.BNuevo_grupo->click();
  Type(ui.ENuevo_grupo, QStringLiteral("amigos"));
  QCOMPARE(host.vars.GroupList.Count(), 2);
  QCOMPARE(ui.LGrupos->count(), 2);
  QCOMPARE(ui.LGrupos->currentRow(), 0);
  QCOMPARE(Checked(ui.CLNombres), Names({"TEJO"}));

  // Checking MIRLO keeps FANTASMA, which the list does not show.
  ToggleCheck(ui.CLNombres, QStringLiteral("MIRLO"));
  QCOMPARE(host.vars.GroupList.Item(0).Members().Items(),
           (std::vector<std::string>{"FANTASMA", "MIRLO", "TEJO"}));
  ToggleCheck(ui.CLNombres, QStringLiteral("TEJO"));
  QCOMPARE(host.vars.GroupList.Item(0).Members().Items(),
           (std::vector<std::string>{"FANTASMA", "MIRLO"}));
  QCOMPARE(host.vars.GroupList.Item(1).Members().Items(), std::vector<std::string>{"SAUCE"});

  // A store section's name is refused; a new name is appended and selected, unchecked.
  ui.BNuevo_grupo->click();
  Type(ui.ENuevo_grupo, QStringLiteral("nombres"));
  QVERIFY(ui.ENuevo_grupo->isVisible());
  QCOMPARE(host.vars.GroupList.Count(), 2);
  QTest::keyClick(ui.ENuevo_grupo, Qt::Key_Escape);
  ui.BNuevo_grupo->click();
  Type(ui.ENuevo_grupo, QStringLiteral("casa"));
  QCOMPARE(Texts(ui.LGrupos), Names({"Amigos", "OFICINA", "CASA"}));
  QCOMPARE(ui.LGrupos->currentRow(), 2);
  QVERIFY(Checked(ui.CLNombres).isEmpty());

  // A name deleted on the names page leaves the check list and every group.
  dlg.Nombres().Ui().LNombres->setCurrentRow(0);  // MIRLO
  dlg.Nombres().Ui().BBorrar_nombre->click();
  QCOMPARE(Texts(ui.CLNombres), Names({"SAUCE", "TEJO"}));
  QCOMPARE(host.vars.GroupList.Item(0).Members().Items(), std::vector<std::string>{"FANTASMA"});

  // Deleting selects the first remaining group.
  ui.LGrupos->setCurrentRow(1);
  QCOMPARE(Checked(ui.CLNombres), Names({"SAUCE"}));
  ui.LGrupos->setFocus();
  QTest::keyClick(ui.LGrupos, Qt::Key_Delete);
  QCOMPARE(Texts(ui.LGrupos), Names({"Amigos", "CASA"}));
  QCOMPARE(host.vars.GroupList.Count(), 2);
  QCOMPARE(ui.LGrupos->currentRow(), 0);
  QVERIFY(Checked(ui.CLNombres).isEmpty());  // Amigos now holds only FANTASMA
}

void OptionsDialogTest::ColoursActOnTheWindowsSettings() {
  FakeOptionsHost host;
  host.window.Palette[0] = 0x123456;  // a custom time colour
  host.window.HotKeyLetter = 'K';
  TVOpciones dlg(host);
  auto& page = dlg.Colores();
  const auto& ui = page.Ui();
  QCOMPARE(page.SelectedClass(), 0);
  QCOMPARE(ui.ColorCombo1->count(), 19);
  QCOMPARE(ui.ColorCombo1->currentIndex(), -1);  // not among the names
  QCOMPARE(ui.LPrueba->palette().color(QPalette::WindowText), QColor(Qt::black));
  QCOMPARE(ui.ColorCombo2->currentText(), QStringLiteral("clBlack"));

  page.SelectClass(kPaletteReceived);
  QCOMPARE(ui.ColorCombo1->currentText(), QStringLiteral("clYellow"));
  Pick(ui.ColorCombo1, 9);  // clRed
  QCOMPARE(host.window.Palette[kPaletteReceived], clRed);
  QCOMPARE(host.redraws, 1);
  QCOMPARE(ui.LPrueba->palette().color(QPalette::WindowText), QColor(Qt::red));

  Pick(ui.ColorCombo2, 17);  // clWhite
  QCOMPARE(host.window.Background, clWhite);

  ui.BDefault->click();  // the colours of a fresh start, the hot key left alone
  QCOMPARE(host.window.Background, clBlack);
  QCOMPARE(host.window.Palette[0], clSilver);
  QCOMPARE(host.window.Palette[kPaletteReceived], clYellow);
  QCOMPARE(host.window.HotKeyLetter, 'K');
  QCOMPARE(ui.ColorCombo1->currentText(), QStringLiteral("clYellow"));
  QCOMPARE(ui.ColorCombo2->currentIndex(), 0);
  page.SelectClass(0);
  QCOMPARE(ui.ColorCombo1->currentIndex(), 15);  // the second clSilver
}

void OptionsDialogTest::LogSavingAndItsFailures() {
  FakeOptionsHost host;
  host.AddEntry("10:20:30", "TEJO a UNA CABECERA MUY LARGA DE VERDAD", "hola");
  host.AddEntry("9:05", "MIRLO a TEJO", "<b>adi\xF3s</b>");
  QTemporaryDir dir;
  TVOpciones dlg(host);

  // Cancelled: nothing written, nothing said.
  dlg.BGrabarClick();
  QCOMPARE(host.saveProposed, QStringLiteral("vespra.log"));
  QCOMPARE(host.saveTitle, QStringLiteral("Grabar fichero log"));
  QVERIFY(host.saveFilter.startsWith(QStringLiteral("Log files (*.LOG")));
  QVERIFY(host.errors.empty());

  host.saveAnswer = dir.filePath(QStringLiteral("chat.txt"));
  dlg.General().Ui().BGrabar->click();
  QVERIFY(host.errors.empty());
  QFile f(host.saveAnswer);
  QVERIFY(f.open(QIODevice::ReadOnly));
  // A conversation is as private as the settings.
  QCOMPARE(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                              QFileDevice::WriteGroup | QFileDevice::WriteOther),
           QFileDevice::Permissions());
  const QByteArray want =
      "10:20:30 TEJO a UNA CABECERA MUY  hola\r\n"
      "9:05     MIRLO a TEJO             <b>adi\xC3\xB3s</b>\r\n";
  QCOMPARE(f.readAll(), want);
  // The name chosen is proposed again while the dialog is open.
  host.saveAnswer.clear();
  dlg.BGrabarClick();
  QCOMPARE(host.saveProposed, dir.filePath(QStringLiteral("chat.txt")));

  dlg.show();
  for (const QString& bad : {dir.filePath(QStringLiteral("no/such/folder/vespra.log")), dir.path(),
                             QStringLiteral("/dev/full")}) {
    host.errors.clear();
    host.saveAnswer = bad;
    dlg.BGrabarClick();
    QCOMPARE(host.errors.size(), std::size_t(1));
    QCOMPARE(host.errors[0], QStringLiteral("No se pudo grabar el fichero"));
    QVERIFY(dlg.isVisible());  // the dialog stays open
  }
}

void OptionsDialogTest::AboutPageOpensItsLinks() {
  FakeOptionsHost host;
  TVOpciones dlg(host);
  auto& about = dlg.Acerca();
  QVERIFY(about.findChild<QLabel*>(QStringLiteral("Label4"))->text() == QStringLiteral("Quendal"));
  QTest::mouseClick(about.Label5(), Qt::LeftButton);
  QTest::mouseClick(about.Label6(), Qt::LeftButton);
  QCOMPARE(host.links.size(), std::size_t(2));
  QCOMPARE(host.links[0].host(), QStringLiteral("www.example.org"));
  QCOMPARE(host.links[1].scheme(), QStringLiteral("mailto"));
  QVERIFY(host.links[1].toString().endsWith(QStringLiteral("@example.org")));
}

void OptionsDialogTest::OpensQuicklyWithALargeAddressBook() {
  FakeOptionsHost host;
  for (int i = 0; i < 10000; ++i) host.vars.NameList.Add("MAQUINA" + std::to_string(i));
  for (int g = 0; g < 1000; ++g) {
    std::vector<std::string> members;
    for (int m = 0; m < 10; ++m) members.push_back("MAQUINA" + std::to_string(g * 10 + m));
    host.vars.GroupList.SetGroup("GRUPO" + std::to_string(g), members);
  }
  host.vars.QuickDestinations[0] = {"MAQUINA5000", qdName};
  // How long opening takes is bench/options' figure (options_open_bench).
  auto dlg = std::make_unique<TVOpciones>(host);
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  QCOMPARE(dlg->Nombres().Ui().CBNombresGrupos->currentText(), QStringLiteral("MAQUINA5000"));
  // Selecting a group sets its ten check marks among the 10,000 names.
  dlg->Grupos().Ui().LGrupos->setCurrentRow(999);
  QCOMPARE(Checked(dlg->Grupos().Ui().CLNombres).size(), 10);
}

// Every page in every language: each control lies inside the dialog, the page tabs fit its
// width, and no caption is cut by its control. Pictures of the pages are kept when asked for.
void OptionsDialogTest::PicturesOfThePages() {
  FakeOptionsHost host;
  host.vars.OptRestore = true;
  host.vars.OptBeep = true;
  host.vars.NameList = {"TEJO", "MIRLO", "SAUCE", "<b>no</b>"};
  host.vars.GroupList.SetGroup("AMIGOS", std::vector<std::string>{"TEJO", "SAUCE"});
  host.vars.QuickDestinations[0] = {"MIRLO", qdName};
  TVOpciones dlg(host);
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  dlg.Grupos().Ui().LGrupos->setCurrentRow(0);
  auto* tabs = dlg.PageControl();
  for (std::uint8_t language : {kLanguageSpanish, kLanguageGerman, kLanguageEnglish}) {
    dlg.ApplyDialogLanguage(language);
    QVERIFY2(tabs->tabBar()->sizeHint().width() <= dlg.width(),
             qPrintable(QStringLiteral("tabs of language %1").arg(language)));
    for (int page = 0; page < tabs->count(); ++page) {
      tabs->setCurrentIndex(page);
      for (QWidget* w : tabs->widget(page)->findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        const QRect at(w->mapTo(&dlg, QPoint(0, 0)), w->size());
        QVERIFY2(dlg.rect().contains(at), qPrintable(w->objectName()));
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (button && !button->text().isEmpty())
          QVERIFY2(CaptionFits(button), qPrintable(button->text()));
      }
      const QString path =
          SaveScreenshot(&dlg, QStringLiteral("options-lang%1-page%2").arg(language).arg(page));
      if (!qEnvironmentVariableIsEmpty("PELMORA_SCREENSHOTS")) QVERIFY(!path.isEmpty());
    }
  }
  // The groups page's check list: rows high enough for their check boxes.
  auto* checks = dlg.Grupos().Ui().CLNombres;
  QVERIFY(checks->count() > 0);
  const int indicator = checks->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, checks);
  QVERIFY2(checks->visualItemRect(checks->item(0)).height() >= indicator + 4,
           qPrintable(QString::number(checks->visualItemRect(checks->item(0)).height())));
}

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
