// The preview banner window on the offscreen platform: its size and place, the scrolling it
// starts and stops, and the two things the user does to it (double click, Esc).
#include <QScreen>
#include <QSignalSpy>
#include <QtTest/QtTest>
#include <map>

#include "AppTestSupport.h"
#include "app/PreviewBanner.h"
#include "widgets/DesktopPlatform.h"
#include "widgets/QtDesktop.h"

using namespace pelmora;

namespace {

// Counts the paint events of the widgets it watches, and the area each asked for.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints[watched];
      areas[watched] = areas[watched].united(static_cast<QPaintEvent*>(event)->rect());
    }
    return false;
  }
  std::map<QObject*, int> paints;
  std::map<QObject*, QRect> areas;
};

}  // namespace

class PreviewBannerTest : public QObject {
  Q_OBJECT

 private:
  testing::FakeDesktop desktop_;

 private slots:
  void SizePlaceAndLook() {
    PreviewBanner banner(desktop_);
    QCOMPARE(banner.size(), QSize(73, 17));
    QCOMPARE(PreviewBanner::PlaceOnScreen(1280), QPoint(1153, 0));
    QCOMPARE(PreviewBanner::PlaceOnScreen(1024), QPoint(897, 0));
    QVERIFY(banner.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(banner.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY((banner.windowFlags() & Qt::Tool) == Qt::Tool);  // no task-bar entry
    QVERIFY(banner.testAttribute(Qt::WA_ShowWithoutActivating));
    // The label that takes the double click covers the banner from 8 pixels to the right edge.
    QCOMPARE(banner.LForro()->geometry(), QRect(8, 0, 65, 17));
    QCOMPARE(banner.LForro()->textFormat(), Qt::PlainText);
    TALScrollingText* s = banner.ScrollingText();
    QCOMPARE(s->BackgroundColor(), clBlack);
    QCOMPARE(s->FontColor(), clAqua);
    QCOMPARE(s->PixelJump(), 2);
    QVERIFY(s->TextDirection() == TTextDirection::tdRightToLeft);
    QCOMPARE(s->EdgeFadeWidth(), 15);
  }

  void ScrollsOnlyWhileShown() {
    PreviewBanner banner(desktop_);
    QVERIFY(!banner.ScrollingText()->TimerRunning());
    banner.SetText("1 mensaje nuevo   ");
    banner.ShowBanner();
    QVERIFY(QTest::qWaitForWindowExposed(&banner));
    QCOMPARE(banner.pos(), PreviewBanner::Corner());
    // Once the window manager has it, the banner asks to stay out of the task bar.
    QTRY_VERIFY(desktop_.keptOutOfTaskBar > 0);
    QVERIFY(banner.Scrolling());
    QVERIFY(banner.ScrollingText()->TimerRunning());
    QCOMPARE(banner.ScrollingText()->TimerIntervalMs(), 16);
    banner.HideBanner();
    QVERIFY(!banner.isVisible());
    QVERIFY(!banner.ScrollingText()->TimerRunning());
    // Shown again, hidden by something else (the window going away): no timer left behind.
    banner.ShowBanner();
    QVERIFY(banner.ScrollingText()->TimerRunning());
    banner.hide();
    QVERIFY(!banner.ScrollingText()->TimerRunning());
  }

  // A step redraws the text's band of the scrolling text and nothing else: not the label over it,
  // not the window. What reaches the window is the whole frame all the same.
  void AStepRedrawsOnlyWhatMoved() {
    PreviewBanner banner(desktop_);
    banner.SetText("2 mensajes nuevos");
    banner.ShowBanner();
    QVERIFY(QTest::qWaitForWindowExposed(&banner));
    TALScrollingText* s = banner.ScrollingText();
    s->SetEnabled(false);  // the test steps it
    QCoreApplication::processEvents();
    PaintCounter counter;
    for (QObject* o : {static_cast<QObject*>(&banner), static_cast<QObject*>(banner.LForro()),
                       static_cast<QObject*>(s)}) {
      o->installEventFilter(&counter);
    }
    s->SetEnabled(true);
    s->SetSpeed(0);  // no timer: only the test's steps count
    // From the start of a loop the text enters from the right: the first steps touch only the
    // columns at the right edge.
    while (s->TextOffset() != 0) s->ScrollStep();
    QCoreApplication::processEvents();
    counter.paints.clear();
    counter.areas.clear();
    s->ScrollStep();
    s->ScrollStep();
    QCOMPARE(counter.paints[s], 2);
    QVERIFY(counter.areas[s].left() >= 73 - 8);
    QVERIFY(counter.areas[s].height() < 17);
    int steps = 0;
    while (s->TextOffset() > -40) {
      s->ScrollStep();
      ++steps;
    }
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints[s], 2 + steps);
    QCOMPARE(counter.paints[banner.LForro()], 0);
    QCOMPARE(counter.paints[&banner], 0);
    // The window holds what a whole frame composed at once holds.
    const QImage shown =
        banner.screen()->grabWindow(banner.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage full = s->ComposeFrame().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.copy(0, 0, 73, 17), full);
  }

  void DesktopServicesAnswerNotDoneOffX11() {
    // The offscreen platform hands out an X11 interface with no connection behind it.
    const std::unique_ptr<HotKeyBackend> backend = desktop::MakeHotKeyBackend();
    QVERIFY(!backend->Available());
    QVERIFY(!backend->Register(0xA000, 3, 0x4E));
    backend->Unregister(0xA000);
    QtDesktopServices qt;
    PreviewBanner banner(qt);
    banner.ShowBanner();
    QVERIFY(!qt.ActivateWindow(static_cast<DesktopServices::WindowId>(banner.winId())));
    QVERIFY(!qt.KeepOutOfTaskBar(&banner));
    QCOMPARE(qt.ActiveWindow(), DesktopServices::WindowId{0});
  }

  void DoubleClickAndEscape() {
    PreviewBanner banner(desktop_);
    banner.ShowBanner();
    QVERIFY(QTest::qWaitForWindowExposed(&banner));
    QSignalSpy dbl(&banner, &PreviewBanner::doubleClicked);
    QSignalSpy esc(&banner, &PreviewBanner::escapePressed);
    QTest::mouseDClick(banner.LForro(), Qt::LeftButton, {}, QPoint(20, 8));
    QCOMPARE(dbl.count(), 1);
    // The 8 pixels left of the label belong to the scrolling text: a double click there counts.
    QTest::mouseDClick(banner.ScrollingText(), Qt::LeftButton, {}, QPoint(3, 8));
    QCOMPARE(dbl.count(), 2);
    QTest::mouseDClick(banner.LForro(), Qt::RightButton, {}, QPoint(20, 8));
    QCOMPARE(dbl.count(), 2);
    QTest::keyClick(&banner, Qt::Key_Escape);
    QCOMPARE(esc.count(), 1);
    QTest::keyClick(&banner, Qt::Key_A);
    QCOMPARE(esc.count(), 1);
  }
};

QTEST_MAIN(PreviewBannerTest)
#include "PreviewBannerTest.moc"
