// TALScrollingText on the offscreen platform: what the frames hold (fade, text colours, edges),
// when the timer runs, and how the properties act on the motion.
#include <QFontMetrics>
#include <QtTest/QtTest>

#include "widgets/ALScrollingText.h"
#include "widgets/AnsiText.h"
#include "widgets/Screenshot.h"

using namespace pelmora;

namespace {

QColor Rgb(TColor c) { return ToQColor(c, QPalette()); }

// The program's own banner.
void ConfigureLikeTheWindow(TALScrollingText& s) {
  s.resize(73, 17);
  s.SetSpeed(1);
  s.SetBackgroundColor(clBlack);
  s.SetTextDirection(TTextDirection::tdRightToLeft);
  s.SetPixelJump(2);
  s.SetEnabled(false);
  QFont f = s.font();
  f.setPixelSize(11);
  s.setFont(f);
  s.SetFontColor(clAqua);
  s.Loaded();
}

// Steps through one whole loop and reports whether any pixel of column `x` had exactly `colour`.
bool ColumnEverShows(TALScrollingText& s, int x, const QColor& colour) {
  const int steps = s.StripWidth() / std::max(1, s.PixelJump()) + 2;
  s.SetEnabled(true);
  bool seen = false;
  for (int i = 0; i < steps && !seen; ++i) {
    s.ScrollStep();
    const QImage frame = s.ComposeFrame();
    for (int y = 0; y < frame.height(); ++y) {
      if (frame.pixelColor(x, y).rgb() == colour.rgb()) seen = true;
    }
  }
  return seen;
}

}  // namespace

class ScrollingTextTest : public QObject {
  Q_OBJECT

 private slots:
  // What a step redraws: the text's columns before and after, within the control, and nothing
  // while the text is outside it (the wrap from one blank end of the strip to the other).
  void movedAreaIsTheTextBeforeAndAfter() {
    using scrolling::MovedArea;
    // A text 100 pixels wide at strip column 73 of a 73-pixel control, in rows 3..13.
    QCOMPARE(MovedArea(0, -2, 73, 73, 100, 3, 11), QRect(71, 3, 2, 11));
    QCOMPARE(MovedArea(-80, -82, 73, 73, 100, 3, 11), QRect(0, 3, 73, 11));
    QCOMPARE(MovedArea(-146, -148, 73, 73, 100, 3, 11), QRect(0, 3, 27, 11));
    QCOMPARE(MovedArea(-10, -8, 73, 73, 100, 3, 11), QRect(63, 3, 10, 11));  // left to right
    QVERIFY(MovedArea(-174, 0, 73, 73, 100, 3, 11).isEmpty());
    QVERIFY(MovedArea(0, -2, 73, 73, 0, 3, 11).isEmpty());  // no text
  }
  void DefaultsAfterConstruction() {
    TALScrollingText s;
    QCOMPARE(s.Text(), std::string("Text"));
    QCOMPARE(s.Speed(), 50);
    QCOMPARE(s.EdgeFadeWidth(), 15);
    QCOMPARE(s.PixelJump(), 1);
    QCOMPARE(s.size(), QSize(50, 18));
    QVERIFY(s.Layout() == TTextLayout::tlCenter);
    QVERIFY(s.TextDirection() == TTextDirection::tdLeftToRight);
    QCOMPARE(s.TextOffset(), -50);
    QVERIFY(s.Visible());
    QVERIFY(s.Enabled());
  }

  void ProgramsBannerFadesToBlackAtBothEdges() {
    TALScrollingText s;
    ConfigureLikeTheWindow(s);
    s.SetText("1 mensaje nuevo   ");
    QCOMPARE(s.TextOffset(), 0);
    // Offset 0: the strip's blank covers the banner, so the frame is the background everywhere.
    QImage frame = s.ComposeFrame();
    QCOMPARE(frame.size(), QSize(73, 17));
    for (int x = 0; x < 73; ++x) QCOMPARE(frame.pixelColor(x, 8).rgb(), QColor(Qt::black).rgb());
    // Halfway through the loop the text is in the middle, in aqua, and the outermost columns are
    // still black: the fade's first column is the background.
    s.SetEnabled(true);
    // The text starts one banner width into the strip: at offset -80 it has entered by 7 pixels
    // more than the banner is wide.
    while (s.TextOffset() > -80) s.ScrollStep();
    frame = s.ComposeFrame();
    frame.save(QDir(qEnvironmentVariable("PELMORA_SCREENSHOTS", QStringLiteral(".")))
                   .filePath(QStringLiteral("scrolling-banner-frame.png")));
    int aqua = 0;
    for (int y = 0; y < 17; ++y) {
      QCOMPARE(frame.pixelColor(0, y).rgb(), QColor(Qt::black).rgb());
      QCOMPARE(frame.pixelColor(72, y).rgb(), QColor(Qt::black).rgb());
      for (int x = 15; x < 58; ++x) {
        // Anti-aliased glyphs: strong aqua, not only the exact colour.
        const QColor c = frame.pixelColor(x, y);
        aqua += c.red() == 0 && c.green() == c.blue() && c.green() >= 192;
      }
    }
    QVERIFY2(aqua > 10, "the text shows in the font colour between the fades");
  }

  void GreenOnRedAndGreenOnBlackShowTheirText() {
    // Colours a key colour would have hidden: green text on red (key = red = background) and on
    // black (key turns red).
    for (TColor background : {clRed, clBlack}) {
      TALScrollingText s;
      s.resize(120, 20);
      s.SetEdgeFadeWidth(0);
      s.SetBackgroundColor(background);
      s.SetFontColor(clGreen);
      s.SetText("MMMMMMMMMMMMMMMMMMMM");
      s.Loaded();
      QVERIFY2(ColumnEverShows(s, 60, Rgb(clGreen)), "green text shows");
      QVERIFY(ColumnEverShows(s, 60, Rgb(background)));
    }
  }

  void FadeWidthDecidesWhatTheOuterColumnShows() {
    TALScrollingText s;
    s.resize(80, 20);
    s.SetBackgroundColor(clNavy);
    s.SetFontColor(clYellow);
    s.SetText("MMMMMMMMMMMMMMMMMMMMMMMMMMMM");
    s.Loaded();
    // No fade: the text reaches the edge in its own colour.
    s.SetEdgeFadeWidth(0);
    QVERIFY(ColumnEverShows(s, 0, Rgb(clYellow)));
    // A fade one column wide (no division by zero): that column is the background, the next
    // one already shows the text.
    s.SetEdgeFadeWidth(1);
    QVERIFY(!ColumnEverShows(s, 0, Rgb(clYellow)));
    QVERIFY(!ColumnEverShows(s, 79, Rgb(clYellow)));
    QVERIFY(ColumnEverShows(s, 1, Rgb(clYellow)));
    // A fade wider than the banner is drawn without complaint.
    s.SetEdgeFadeWidth(500);
    QVERIFY(!s.ComposeFrame().isNull());
  }

  void TimerRunsOnlyWhileTheTextCanMove() {
    QWidget window;
    window.resize(200, 50);
    auto* s = new TALScrollingText(&window);
    ConfigureLikeTheWindow(*s);
    // Hidden window, disabled banner: no timer.
    QVERIFY(!s->TimerRunning());
    s->SetEnabled(true);
    QVERIFY(!s->TimerRunning());  // the window is not shown
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(s->TimerRunning());
    QCOMPARE(s->TimerIntervalMs(), 16);  // Speed 1 is raised to 16 ms
    window.hide();
    QVERIFY(!s->TimerRunning());
    window.show();
    QVERIFY(s->TimerRunning());
    s->SetEnabled(false);
    QVERIFY(!s->TimerRunning());
    s->SetEnabled(true);
    s->SetSpeed(0);
    QVERIFY(!s->TimerRunning());
    s->SetSpeed(120);
    QVERIFY(s->TimerRunning());
    QCOMPARE(s->TimerIntervalMs(), 120);
    // Visible switches Enabled with it.
    s->SetVisible(false);
    QVERIFY(!s->Enabled());
    QVERIFY(!s->TimerRunning());
    s->SetVisible(true);
    QVERIFY(s->Enabled());
    QVERIFY(s->TimerRunning());
    // The timer really moves the text.
    s->SetSpeed(16);
    const int before = s->TextOffset();
    QTRY_VERIFY(s->TextOffset() != before);
  }

  void StepsFollowEnabledAndTextChangesKeepTheOffset() {
    TALScrollingText s;
    ConfigureLikeTheWindow(s);
    s.SetText("2 mensajes nuevos   ");
    s.ScrollStep();  // disabled: stays
    QCOMPARE(s.TextOffset(), 0);
    s.SetEnabled(true);
    s.ScrollStep();
    s.ScrollStep();
    QCOMPARE(s.TextOffset(), -4);
    s.SetText("3 mensajes nuevos   ");
    QCOMPARE(s.TextOffset(), -4);
    // Markup is measured and drawn as the characters it is made of.
    const std::string markup = "<b>1</b> &amp;";
    s.SetText(markup);
    const QFontMetrics fm(s.font());
    QCOMPARE(s.StripWidth(), fm.horizontalAdvance(ToQ(markup)) + 2 * 73);
    // Turning the direction puts the strip where the text enters from the left.
    s.SetTextDirection(TTextDirection::tdLeftToRight);
    QCOMPARE(s.TextOffset(), 73 - s.StripWidth());
  }

  void ClickIsReported() {
    TALScrollingText s;
    QSignalSpy clicks(&s, &TALScrollingText::OnClick);
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(clicks.count(), 1);
  }
};

QTEST_MAIN(ScrollingTextTest)
#include "ScrollingTextTest.moc"
