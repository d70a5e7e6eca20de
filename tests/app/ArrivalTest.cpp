// Arrivals in every view mode on the offscreen platform: what the window, the banner, the tray
// tip, the counter and the lost-messages file do, and how the banner, Esc, the tray and the
// restore hot key move between the modes.
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest/QtTest>
#include <fstream>
#include <iterator>

#include "AppTestSupport.h"
#include "app/ArrivalNotification.h"
#include "app/PreviewBanner.h"
#include "messaging/TextTable.h"
#include "model/MessageFile.h"
#include "widgets/ALScrollingText.h"
#include "widgets/HotKeyMgr.h"

using namespace pelmora;
using namespace pelmora::testing;

namespace {

const std::string kOne = "1 mensaje nuevo   ";
const std::string kTwo = "2 mensajes nuevos   ";

struct Options {
  bool restore = true;
  bool preview = true;
  bool recover = true;
  bool beep = true;
};

// A window whose tray tips are recorded, with the options given.
struct ArrivalWindow {
  explicit ArrivalWindow(Options o)
      : w(
            [o](Variables& v) {
              v.OptRestore = o.restore;
              v.OptPreview = o.preview;
              v.OptRecoverLost = o.recover;
              v.OptBeep = o.beep;
            },
            {"tejo", "oficina"},
            [](WindowServices& s) { s.lostMessagesPath = LostMessagesPath(); }) {
    auto forward = w->Arrival().setTrayTip;
    w->Arrival().setTrayTip = [this, forward](const std::string& tip) {
      tips.push_back(tip);
      if (forward) forward(tip);
    };
  }
  void Arrive(std::string sender, const std::string& text = "hola",
              int palette = kPaletteReceived) {
    w->AppendLine(sender, "TEJO", text, palette);
    w->NotifyArrival(sender, "TEJO", text, palette);
  }
  TViewMode Mode() { return w->Vars().ViewMode; }
  PreviewBanner& Banner() { return w->Arrival().Banner(); }
  const std::string& Path() { return w->Arrival().LostMessagesPath(); }
  std::vector<LostMessage> Records() {
    std::vector<LostMessage> out;
    if (!MessageFileExists(Path())) return out;
    TReadMessageFile r(Path());
    while (auto m = r.ReadNext()) out.push_back(*m);
    return out;
  }
  TestWindow w;
  std::vector<std::string> tips;
};

}  // namespace

class ArrivalTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir state_;

 private slots:
  void init() {
    // Every test gets its own lost-messages folder.
    QVERIFY(state_.isValid());
    qputenv("XDG_STATE_HOME", QDir(state_.path()).filePath(QStringLiteral("state")).toUtf8());
    QDir(state_.path()).removeRecursively();
    QDir().mkpath(state_.path());
  }

  void RestoreWithoutPreviewBringsTheWindow() {
    ArrivalWindow a({.restore = true, .preview = false, .recover = true});
    QVERIFY(!a.w->isVisible());
    QCOMPARE(a.Mode(), vmMinimized);
    a.Arrive("mirlo");
    QCOMPARE(a.Mode(), vmNormal);
    QVERIFY(a.w->isVisible());
    QVERIFY(!a.Banner().isVisible());
    QVERIFY(a.w.desktop.broughtForward >= 1);
    QCOMPARE(a.w->Vars().NewMessageCount, 1);
    QCOMPARE(a.tips.back(), "Pelmora (" + kOne + ")");
    QCOMPARE(a.w.desktop.beeps, 1);
    // The record written while minimised is gone once the window shows the message.
    QVERIFY(!MessageFileExists(a.Path()));
    // Shown: the next arrival starts the count again and only brings the window forward.
    const int forward = a.w.desktop.broughtForward;
    a.Arrive("mirlo", "otra");
    QCOMPARE(a.w->Vars().NewMessageCount, 0);
    QCOMPARE(a.tips.back(), std::string());
    QVERIFY(a.w.desktop.broughtForward >= forward);
  }

  void BannerCountsKeepsRecordsAndDoubleClickBringsTheWindowBack() {
    ArrivalWindow a({});
    // The window was shown once, somewhere; that place comes back.
    a.w->TrayIconClick();
    a.w->move(123, 77);
    a.w->MinimizeApplication();
    QVERIFY(!a.w->isVisible());

    a.Arrive("mirlo", "uno");
    QCOMPARE(a.Mode(), vmPreview);
    QVERIFY(a.Banner().isVisible());
    QVERIFY(!a.w->isVisible());  // never both
    QCOMPARE(a.Banner().size(), QSize(73, 17));
    QCOMPARE(a.Banner().Text(), kOne);
    QVERIFY(a.Banner().ScrollingText()->TimerRunning());
    QCOMPARE(a.tips.back(), "Pelmora (" + kOne + ")");
    a.Arrive("sauce", "dos", kPaletteSecure);
    QCOMPARE(a.Banner().Text(), kTwo);
    QCOMPARE(a.tips.back(), "Pelmora (" + kTwo + ")");
    QCOMPARE(a.Records(), (std::vector<LostMessage>{{kPaletteReceived, "MIRLO", "TEJO", "uno"},
                                                    {kPaletteSecure, "SAUCE", "TEJO", "dos"}}));
    QCOMPARE(a.w->Vars().SavedLeft, 123);
    QCOMPARE(a.w->Vars().SavedTop, 77);
    QCOMPARE(a.w->Vars().SavedClientWidth, a.w->width());

    QTest::mouseDClick(a.Banner().LForro(), Qt::LeftButton, {}, QPoint(20, 8));
    QCOMPARE(a.Mode(), vmNormal);
    QVERIFY(a.w->isVisible());
    QVERIFY(!a.Banner().isVisible());
    QVERIFY(!a.Banner().ScrollingText()->TimerRunning());
    QCOMPARE(a.w->pos(), QPoint(123, 77));
    QCOMPARE(a.tips.back(), std::string());
    QVERIFY(!MessageFileExists(a.Path()));
    // The counter is not reset by coming back; the next minimise resets it.
    QCOMPARE(a.w->Vars().NewMessageCount, 2);
    a.w->MinimizeApplication();
    QCOMPARE(a.w->Vars().NewMessageCount, 0);
    QCOMPARE(a.Banner().Text(), std::string());
  }

  // The banner never keeps the keyboard from the window the user works in: should showing it take
  // the keyboard all the same, it goes back to that window; an unknown one is left alone.
  void TheBannerLeavesTheKeyboardWithTheUsersWindow() {
    using Ids = std::vector<DesktopServices::WindowId>;
    struct Case {
      Ids activeBeforeAndAfter;
      Ids handedBack;
    };
    for (const Case& c : {Case{{42, 7}, {42}}, Case{{42, 42}, {}}, Case{{0, 7}, {}}}) {
      ArrivalWindow a({});
      a.w.desktop.activeWindows.assign(c.activeBeforeAndAfter.begin(),
                                       c.activeBeforeAndAfter.end());
      a.Arrive("mirlo");
      QCOMPARE(a.Mode(), vmPreview);
      QVERIFY(a.Banner().isVisible());
      QCOMPARE(a.w.desktop.activated, c.handedBack);
    }
  }

  void EscKeepsTheFileAndTheBannerAgainAddsToIt() {
    ArrivalWindow a({});
    a.Arrive("mirlo", "uno");
    QCOMPARE(a.Mode(), vmPreview);
    QTest::keyClick(&a.Banner(), Qt::Key_Escape);
    QCOMPARE(a.Mode(), vmHidden);
    QVERIFY(!a.Banner().isVisible());
    QVERIFY(!a.w->isVisible());
    QVERIFY(!a.Banner().ScrollingText()->TimerRunning());
    // Hidden: counted, no banner, no window, and kept in the file should the program end now.
    a.Arrive("mirlo", "dos");
    QCOMPARE(a.Mode(), vmHidden);
    QVERIFY(!a.Banner().isVisible());
    QCOMPARE(a.tips.back(), "Pelmora (" + kTwo + ")");
    QCOMPARE(a.Records().size(), std::size_t{2});
    QCOMPARE(a.Records().back().Text, std::string("dos"));
    // Minimised from there, the next message starts the banner: the open file is added to,
    // never emptied, so nothing is lost.
    a.w->MinimizeApplication();
    QCOMPARE(a.Mode(), vmMinimized);
    a.Arrive("sauce", "tres");
    QCOMPARE(a.Mode(), vmPreview);
    QCOMPARE(a.Records().size(), std::size_t{3});
    QCOMPARE(a.Records().front().Text, std::string("uno"));
    QCOMPARE(a.Records().back().Text, std::string("tres"));
    // The restore hot key: straight to the normal window, the file gone.
    QVERIFY(a.w.hotKeys.Press(kHotKeyModAlt | kHotKeyModControl, 0x4E));
    QCOMPARE(a.Mode(), vmNormal);
    QVERIFY(a.w->isVisible());
    QVERIFY(!a.Banner().isVisible());
    QVERIFY(!MessageFileExists(a.Path()));
  }

  void HiddenModeBackToNormalDeletesTheFile() {
    // Esc in the banner, then the tray or the hot key: the messages are on screen, the file goes.
    for (int way = 0; way < 2; ++way) {
      ArrivalWindow a({});
      a.Arrive("mirlo");
      QTest::keyClick(&a.Banner(), Qt::Key_Escape);
      QVERIFY(MessageFileExists(a.Path()));
      if (way == 0) {
        a.w->TrayIconClick();
      } else {
        QVERIFY(a.w.hotKeys.Press(3, 0x4E));
      }
      QCOMPARE(a.Mode(), vmNormal);
      QVERIFY(!MessageFileExists(a.Path()));
    }
  }

  void MinimisedWithoutRestoreOpensTheFileAtTheFirstRecord() {
    ArrivalWindow a({.restore = false, .preview = false, .recover = true});
    a.Arrive("mirlo", "uno");
    a.Arrive("mirlo", "dos");
    QCOMPARE(a.Mode(), vmMinimized);
    QVERIFY(!a.w->isVisible());
    QVERIFY(!a.Banner().isVisible());
    QCOMPARE(a.Records().size(), std::size_t{2});
    QCOMPARE(a.tips.back(), "Pelmora (" + kTwo + ")");
    a.w->TrayIconClick();
    QVERIFY(!MessageFileExists(a.Path()));
    // RECUPERAR_MENSAJES off: nothing is ever written.
    ArrivalWindow off({.restore = true, .preview = true, .recover = false});
    off.Arrive("mirlo");
    QCOMPARE(off.Mode(), vmPreview);
    QVERIFY(!MessageFileExists(off.Path()));
  }

  void AFileThatCannotBeOpenedCostsOnlyTheRecords() {
    // The state folder is a plain file: nothing can be created under it.
    std::ofstream(QDir(state_.path()).filePath(QStringLiteral("state")).toStdString()) << "x";
    ArrivalWindow a({});
    a.Arrive("mirlo", "uno");
    QCOMPARE(a.Mode(), vmPreview);
    QVERIFY(a.Banner().isVisible());
    QCOMPARE(a.Banner().Text(), kOne);
    QVERIFY(a.w->Vars().SavedClientWidth > 0);
    QVERIFY(a.w->Vars().SavedClientHeight > 0);
    a.Arrive("mirlo", "dos");
    QCOMPARE(a.Banner().Text(), kTwo);
    QVERIFY(!a.w->Arrival().LostMessagesOpen());
    a.w->LForroDblClick();
    QCOMPARE(a.Mode(), vmNormal);
    QVERIFY(a.w->isVisible());
  }

  void SendersAreUpperCasedAndAnEmptyOneIsNotKept() {
    ArrivalWindow a({.restore = false});
    std::string sender = "brezo";
    a.w->NotifyArrival(sender, "TEJO", "x", kPaletteReceived);
    QCOMPARE(sender, std::string("BREZO"));  // the caller sees the change
    QVERIFY(a.w->Vars().NameList.Contains("BREZO"));
    const int names = a.w->Vars().NameList.Count();
    a.w->Vars().OptAutoDestination = true;
    a.w->NotifyArrival(sender, "TEJO", "y", kPaletteReceived);
    QCOMPARE(a.w->Vars().Destination, std::string("BREZO"));
    std::string empty;
    a.w->NotifyArrival(empty, "TEJO", "sin remitente", kPaletteSecure);
    QCOMPARE(a.w->Vars().NameList.Count(), names);
    QVERIFY(!a.w->Vars().NameList.Contains(""));
    // Nor does it become the destination.
    QCOMPARE(a.w->Vars().Destination, std::string("BREZO"));
    // Still counted like any other message.
    QCOMPARE(a.w->Vars().NewMessageCount, 3);
  }

  void BeepFollowsTheOption() {
    ArrivalWindow on({.restore = false, .beep = true});
    on.Arrive("mirlo");
    QCOMPARE(on.w.desktop.beeps, 1);
    ArrivalWindow off({.restore = false, .beep = false});
    off.Arrive("mirlo");
    QCOMPARE(off.w.desktop.beeps, 0);
    // Counted with the first window's message, which that window left unseen in the file.
    QCOMPARE(off.tips.back(), "Pelmora (" + kTwo + ")");
  }

  void RestoreHotKeyIsCtrlAltLetterAndFollowsTheSetting() {
    ArrivalWindow a({});
    QCOMPARE(a.w.hotKeys.held.size(), std::size_t{1});
    QCOMPARE(a.w.hotKeys.held.begin()->first, 0xA000u);
    QCOMPARE(a.w.hotKeys.held.begin()->second.modifiers, 3u);
    QCOMPARE(a.w.hotKeys.held.begin()->second.key, 0x4Eu);
    QCOMPARE(a.w->Arrival().RestoreItem()->NamePath(),
             std::string("HotKeyManager.HotKeys[Restaurar]"));
    a.w->SetRestoreHotKeyLetter('K');
    QCOMPARE(a.w.hotKeys.held.begin()->second.key, 0x4Bu);
    QVERIFY(!a.w.hotKeys.Press(3, 0x4E));
    // Minimised: the hot key brings the window; shown, it brings it forward again.
    QVERIFY(a.w.hotKeys.Press(3, 0x4B));
    QCOMPARE(a.Mode(), vmNormal);
    QVERIFY(a.w->isVisible());
    const int forward = a.w.desktop.broughtForward;
    QVERIFY(a.w.hotKeys.Press(3, 0x4B));
    QCOMPARE(a.w.desktop.broughtForward, forward + 1);
  }

  void WhileTheOptionsAreOpenArrivalsAreOnlyCounted() {
    ArrivalWindow a({});
    bool ran = false;
    WhenOpen(*a.w, [&](TVOpciones& dlg) {
      ran = true;
      a.Arrive("mirlo");
      QCOMPARE(a.Mode(), vmMinimized);
      QVERIFY(!a.Banner().isVisible());
      QCOMPARE(a.w->Vars().NewMessageCount, 1);
      // The hot key and the tray bring the dialog forward, not the window behind it.
      const int forward = a.w.desktop.broughtForward;
      QVERIFY(a.w.hotKeys.Press(3, 0x4E));
      a.w->TrayIconClick();
      QCOMPARE(a.Mode(), vmMinimized);
      QVERIFY(!a.w->isVisible());
      QCOMPARE(a.w.desktop.broughtForward, forward + 2);
      dlg.reject();
    });
    a.w->BOpcionesClick();
    QVERIFY(ran);
  }

  void CounterTextAndTipInEveryLanguage() {
    Variables v;
    QCOMPARE(ArrivalNotification::CounterText(v, 1), kOne);
    QCOMPARE(ArrivalNotification::CounterText(v, 2), kTwo);
    QCOMPARE(ArrivalNotification::CounterText(v, 0), std::string("0 mensajes nuevos   "));
    v.LanguageIndex = 2;
    QCOMPARE(ArrivalNotification::CounterText(v, 1), std::string("1 new message   "));
    QCOMPARE(ArrivalNotification::CounterText(v, 12), std::string("12 new messages   "));
    v.LanguageIndex = 1;
    QCOMPARE(ArrivalNotification::CounterText(v, 3), std::string("3 neue Nachrichten   "));
    QCOMPARE(ArrivalNotification::TrayTip("3 neue Nachrichten   "),
             std::string("Pelmora (3 neue Nachrichten   )"));
    QCOMPARE(ArrivalNotification::TrayTip(std::string()), std::string());
  }

  void MarkupStaysText() {
    ArrivalWindow a({});
    a.Arrive("<b>x</b>", "<i>hola</i>");
    QCOMPARE(a.Banner().Text(), kOne);
    QCOMPARE(a.Records().front().Sender, std::string("<B>X</B>"));
    QCOMPARE(a.Records().front().Text, std::string("<i>hola</i>"));
  }

  void AFloodInEveryModeNeverStacksWindowsOrLosesARecord() {
    ArrivalWindow a({});
    const int topLevels = QApplication::topLevelWidgets().size();
    int kept = 0;
    for (int round = 0; round < 4; ++round) {
      for (int i = 0; i < 60; ++i) {
        const bool keeps = a.Mode() != vmNormal;
        a.Arrive("mirlo", "m" + std::to_string(round) + "-" + std::to_string(i));
        if (keeps) ++kept;
      }
      QCOMPARE(QApplication::topLevelWidgets().size(), topLevels);
      QVERIFY(!(a.Banner().isVisible() && a.w->isVisible()));
      // Move on to the next mode: hidden (Esc), minimised, normal.
      if (round == 0) QTest::keyClick(&a.Banner(), Qt::Key_Escape);
      if (round == 1) a.w->MinimizeApplication();
      if (round == 2) {
        QCOMPARE(static_cast<int>(a.Records().size()), kept);
        a.w->LForroDblClick();
        QVERIFY(!MessageFileExists(a.Path()));
      }
    }
    QCOMPARE(a.Mode(), vmNormal);
    QVERIFY(!a.Banner().ScrollingText()->TimerRunning());
  }
};

QTEST_MAIN(ArrivalTest)
#include "ArrivalTest.moc"
