// TScrollRichEdit on the offscreen platform: the line store, the window of shown lines, wrapping
// as the pane displays, colours, plain-text safety.

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QWheelEvent>
#include <QtTest/QtTest>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>

#include "PaneProbe.h"
#include "text/CodePage.h"
#include "widgets/Fonts.h"
#include "widgets/Screenshot.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;
using namespace pelmora::pane_probe;

class ScrollRichEditTest : public QObject {
  Q_OBJECT

 private slots:
  void visibleLinesOfTheDesignedPane();
  void newestLinesAreShownAndTopLineMoves();
  void emptyTextsAndLineBreaks();
  void wrapsAtTheDisplayWidthWithoutLosingText();
  void wrapDoesNotDependOnThePaneBeingShown();
  void markupIsShownLiterally();
  void paletteDefaultsResetAndRecolouring();
  void clearAndRange();
  void resizeChangesVisibleLinesButNotTheShownLines();
  void keysAndWheelGoToTheOwner();
  void screenshotOfAColouredConversation();
  void splitBreaksWhereTheDisplayBreaks();
  void appendTouchesOnlyWhatChanges();
  void batchedChangesRedrawOnceAtTheEnd();
  void incrementalRedrawMatchesRefill();
  void badInputStaysWithinTheWindow();
};

void ScrollRichEditTest::visibleLinesOfTheDesignedPane() {
  auto pane = TextColumn();
  QCOMPARE(pane->logicalDpiY(), 96);
  QCOMPARE(pane->LineHeightPixels(), 15);
  QCOMPARE(pane->VisibleLines(), 12);
  // The interface font has the same pixel height.
  QCOMPARE(QFontInfo(PelmoraInterfaceFont()).pixelSize(), kDesignFontPixelHeight);
  QVERIFY(QFontInfo(PelmoraFixedFont()).fixedPitch());

  // The shown lines sit at exactly that pitch: 12 whole lines fit, the 13th is cut.
  for (int i = 0; i < 20; ++i) pane->AddText("line " + std::to_string(i), 2, true);
  QCOMPARE(pane->DisplayedLineCount(), 13);
  const QTextBlock last = pane->document()->lastBlock();
  const QRectF lastRect = pane->document()->documentLayout()->blockBoundingRect(last);
  QVERIFY2(lastRect.top() < 193 && lastRect.bottom() > 193, "13th line is not the cut one");
  const QRectF twelfth = pane->document()->documentLayout()->blockBoundingRect(last.previous());
  QVERIFY(twelfth.bottom() <= 193);
}

void ScrollRichEditTest::newestLinesAreShownAndTopLineMoves() {
  auto pane = TextColumn();
  for (int i = 0; i < 30; ++i)
    pane->AddText("Linea " + std::to_string(i), static_cast<std::uint8_t>(i % 6), true);
  QCOMPARE(pane->LineCount(), 30);
  QCOMPARE(pane->TopLine(), 17);
  QStringList expected;
  for (int i = 17; i <= 29; ++i) expected << QStringLiteral("Linea %1").arg(i);
  QCOMPARE(pane->DisplayedLines(), expected);

  pane->SetTopLine(18);
  expected.removeFirst();
  QCOMPARE(pane->DisplayedLines(), expected);

  // The top line stays as given; past the end the pane is empty.
  pane->SetTopLine(40);
  QCOMPARE(pane->TopLine(), 40);
  QCOMPARE(pane->DisplayedLineCount(), 0);

  // Without scrolling to the end the top line stays where the owner put it.
  pane->SetTopLine(3);
  pane->AddText("Linea 30", 1, false);
  QCOMPARE(pane->TopLine(), 3);
  QCOMPARE(pane->DisplayedLines().first(), QStringLiteral("Linea 3"));
  QCOMPARE(pane->DisplayedLineCount(), 13);

  // However many lines are stored, the display holds one window of them.
  for (int i = 0; i < 500; ++i) pane->AddText(kLongText, 3, true);
  QVERIFY(pane->LineCount() > 1000);
  QCOMPARE(pane->DisplayedLineCount(), pane->VisibleLines() + 1);
  QCOMPARE(pane->document()->blockCount(), pane->VisibleLines() + 1);
  QCOMPARE(pane->StoredLines().size(), pane->LineColorIndexes().size());
}

void ScrollRichEditTest::emptyTextsAndLineBreaks() {
  auto pane = TextColumn();
  pane->AddText("", 4, true);
  QCOMPARE(pane->LineCount(), 1);
  QCOMPARE(pane->GetLine(0), std::string());
  QCOMPARE(pane->GetLineColorIndex(0), std::uint8_t{4});

  pane->ClearLines();
  // CR LF, LF and CR each break once; an empty paragraph stays an empty line.
  pane->AddText("uno\r\ndos\ntres\rcuatro\n\ncinco", 2, true);
  const std::vector<std::string> expected{"uno", "dos", "tres", "cuatro", "", "cinco"};
  QCOMPARE(pane->StoredLines(), expected);

  pane->ClearLines();
  pane->AddText("fin\r\n", 2, true);
  QCOMPARE(pane->LineCount(), 2);
  QCOMPARE(pane->GetLine(1), std::string());

  // Every stored line holds no break of its own, so a redraw shows one line per stored line.
  pane->ClearLines();
  pane->AddText("a\r\n\r\nb", 1, true);
  QCOMPARE(pane->LineCount(), 3);
  QCOMPARE(pane->DisplayedLineCount(), 3);
  QCOMPARE(pane->document()->blockCount(), 3);
}

void ScrollRichEditTest::wrapsAtTheDisplayWidthWithoutLosingText() {
  auto pane = TextColumn();
  const std::string ansi = text::Utf8ToAnsi(kLongText);
  pane->AddText(ansi, 3, true);
  QVERIFY2(pane->LineCount() >= 3, "a long text in the narrow column wraps");
  for (std::uint8_t index : pane->LineColorIndexes()) QCOMPARE(index, std::uint8_t{3});
  // Nothing is lost or doubled at the wrap points, accented letters included.
  QCOMPARE(Joined(*pane), ansi);

  const QFontMetricsF metrics(pane->document()->defaultFont());
  const qreal room = pane->WrapWidth() - 2 * pane->document()->documentMargin();
  for (int i = 0; i < pane->LineCount(); ++i) {
    const QString line = QString::fromStdString(text::AnsiToUtf8(pane->GetLine(i))).trimmed();
    QVERIFY2(metrics.horizontalAdvance(line) <= room, pane->GetLine(i).c_str());
    // Words are kept whole: every line but the last ends at a blank.
    if (i + 1 < pane->LineCount()) QVERIFY(pane->GetLine(i).back() == ' ');
  }
  // The display lays every stored line out in exactly one row, at the width the text was split
  // for: the wrap is the display's own.
  QCOMPARE(pane->DisplayedRowCount(), pane->DisplayedLineCount());
  QCOMPARE(pane->document()->textWidth(), qreal(pane->WrapWidth()));
  QCOMPARE(pane->viewport()->width(), pane->WrapWidth());

  // A word wider than the pane is broken anywhere rather than running past the edge.
  pane->ClearLines();
  const std::string word(200, 'x');
  pane->AddText(word, 2, true);
  QVERIFY(pane->LineCount() >= 4);
  QCOMPARE(Joined(*pane), word);
  QCOMPARE(pane->DisplayedRowCount(), pane->DisplayedLineCount());

  // Two breaks inside a long text: at least three lines, more with the wrap.
  pane->ClearLines();
  pane->AddText(ansi + "\r\n" + ansi + "\n" + ansi, 2, true);
  QVERIFY(pane->LineCount() >= 3 * 3);
}

void ScrollRichEditTest::wrapDoesNotDependOnThePaneBeingShown() {
  // The main window starts hidden in the tray and may get lines before it is ever shown.
  auto hidden = TextColumn(false);
  auto shown = TextColumn(true);
  const std::string ansi = text::Utf8ToAnsi(kLongText);
  hidden->AddText(ansi, 2, true);
  shown->AddText(ansi, 2, true);
  QCOMPARE(hidden->StoredLines(), shown->StoredLines());
  QCOMPARE(hidden->VisibleLines(), 12);

  // The time column, 57 pixels wide, holds a long time format on one line.
  auto timeColumn = std::make_unique<TScrollRichEdit>();
  timeColumn->setGeometry(0, 0, 57, 193);
  timeColumn->AddText("23:59:59", 0, true);
  timeColumn->AddText("------", 0, true);
  QCOMPARE(timeColumn->LineCount(), 2);

  // A narrower pane wraps into more lines.
  auto narrow = std::make_unique<TScrollRichEdit>();
  narrow->setGeometry(0, 0, 120, 193);
  narrow->AddText(ansi, 2, true);
  QVERIFY(narrow->LineCount() > shown->LineCount());
  narrow->show();
  QVERIFY(QTest::qWaitForWindowExposed(narrow.get()));
  QCOMPARE(narrow->DisplayedRowCount(), narrow->DisplayedLineCount());
}

void ScrollRichEditTest::markupIsShownLiterally() {
  auto pane = TextColumn();
  const std::vector<std::string> texts{"<b>x</b>", "<img src=a>", "&amp; &lt;",
                                       "<a href=\"x\">y</a>", "<!-- c -->"};
  for (const std::string& t : texts) pane->AddText(t, 3, true);
  QCOMPARE(pane->StoredLines(), texts);
  QStringList expected;
  for (const std::string& t : texts) expected << QString::fromStdString(t);
  QCOMPARE(pane->DisplayedLines(), expected);
  QCOMPARE(pane->toPlainText(), expected.join(QLatin1Char('\n')));
  // No image, anchor or bold made it into the document.
  const QString html = pane->document()->toHtml();
  QVERIFY(!html.contains(QStringLiteral("<img")));
  QVERIFY(!html.contains(QStringLiteral("<a href")));
  QVERIFY(!html.contains(QStringLiteral("font-weight:700")));
}

void ScrollRichEditTest::paletteDefaultsResetAndRecolouring() {
  auto pane = TextColumn();
  QCOMPARE(pane->GetPaletteColor(0), clSilver);
  QCOMPARE(pane->GetPaletteColor(1), clAqua);
  QCOMPARE(pane->GetPaletteColor(2), clLime);
  QCOMPARE(pane->GetPaletteColor(3), clYellow);
  QCOMPARE(pane->GetPaletteColor(4), clWhite);
  QCOMPARE(pane->GetPaletteColor(5), clBlack);
  for (int i = 6; i < 256; ++i)
    QCOMPARE(pane->GetPaletteColor(static_cast<std::uint8_t>(i)), clBlack);

  pane->SetPaletteColor(0, clTeal);
  pane->SetPaletteColor(5, clNavy);
  pane->SetPaletteColor(200, clFuchsia);
  pane->ResetColors();
  QCOMPARE(pane->GetPaletteColor(0), clSilver);
  QCOMPARE(pane->GetPaletteColor(5), clRed);
  QCOMPARE(pane->GetPaletteColor(200), clFuchsia);  // beyond the six kinds: untouched
  QCOMPARE(pane->Color(), clBlack);
  QCOMPARE(pane->palette().color(QPalette::Base), QColor(Qt::black));

  // Each line shows in its own palette entry; a palette change shows at the next redraw only.
  pane->AddText("enviado", 2, true);
  pane->AddText("recibido", 3, true);
  pane->AddText("sistema", 5, true);
  QCOMPARE(DisplayedColours(*pane),
           (QList<QColor>{QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 0, 0)}));
  pane->SetPaletteColor(3, 0x336699);  // 0x00BBGGRR
  QCOMPARE(DisplayedColours(*pane)[1], QColor(255, 255, 0));
  pane->SetTopLine(pane->TopLine());
  QCOMPARE(DisplayedColours(*pane)[1], QColor(0x99, 0x66, 0x33));
}

void ScrollRichEditTest::clearAndRange() {
  auto pane = TextColumn();
  for (int i = 0; i < 40; ++i) pane->AddText(kLongText, 1, true);
  QVERIFY(pane->TopLine() > 0);
  pane->ClearLines();
  QCOMPARE(pane->LineCount(), 0);
  QCOMPARE(pane->TopLine(), 0);
  QCOMPARE(pane->DisplayedLineCount(), 0);
  QCOMPARE(pane->toPlainText(), QString());
  QVERIFY(pane->LineColorIndexes().empty());

  QVERIFY_THROWS_EXCEPTION(std::out_of_range, pane->GetLine(0));
  pane->AddText("otra vez", 2, true);
  QCOMPARE(pane->TopLine(), 0);
  QCOMPARE(pane->DisplayedLines(), QStringList{QStringLiteral("otra vez")});
  QVERIFY_THROWS_EXCEPTION(std::out_of_range, pane->GetLine(1));
  QVERIFY_THROWS_EXCEPTION(std::out_of_range, pane->GetLine(-1));
}

void ScrollRichEditTest::resizeChangesVisibleLinesButNotTheShownLines() {
  auto pane = TextColumn();
  for (int i = 0; i < 30; ++i) pane->AddText("L" + std::to_string(i), 2, true);
  QCOMPARE(pane->DisplayedLineCount(), 13);
  pane->resize(273, 100);
  QCOMPARE(pane->VisibleLines(), 6);
  QCOMPARE(pane->DisplayedLineCount(), 13);
  pane->SetTopLine(pane->TopLine());
  QCOMPARE(pane->DisplayedLineCount(), 7);
  // Stored lines keep the wrap they were added with.
  QCOMPARE(pane->GetLine(29), std::string("L29"));
}

void ScrollRichEditTest::keysAndWheelGoToTheOwner() {
  auto pane = TextColumn();
  pane->AddText("nada se escribe aqui", 2, true);
  QSignalSpy released(pane.get(), &TScrollRichEdit::KeyReleased);
  QSignalSpy wheel(pane.get(), &TScrollRichEdit::WheelScrolled);

  pane->setFocus();
  QTest::keyClicks(pane.get(), QStringLiteral("xyz"));
  QTest::keyClick(pane.get(), Qt::Key_Delete);
  QTest::keyClick(pane.get(), Qt::Key_Backspace);
  QTest::keyClick(pane.get(), Qt::Key_PageDown);
  QCOMPARE(pane->toPlainText(), QStringLiteral("nada se escribe aqui"));
  QCOMPARE(pane->GetLine(0), std::string("nada se escribe aqui"));
  QCOMPARE(released.count(), 6);
  QCOMPARE(released.last().at(0).toInt(), int(Qt::Key_PageDown));

  // The owner's copy shortcut comes as the release of C with Alt held.
  released.clear();
  QTest::keyClick(pane.get(), Qt::Key_C, Qt::AltModifier);
  bool altC = false;
  for (const QList<QVariant>& r : released) {
    altC |= r.at(0).toInt() == int(Qt::Key_C) &&
            (r.at(1).value<Qt::KeyboardModifiers>() & Qt::AltModifier);
  }
  QVERIFY(altC);

  // One notch towards the user is three lines back; the pane itself stays where it is.
  const QPointF at(10, 10);
  QWheelEvent up(at, pane->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                 Qt::NoScrollPhase, false);
  QApplication::sendEvent(pane->viewport(), &up);
  QCOMPARE(wheel.count(), 1);
  QCOMPARE(wheel.last().at(0).toInt(), -QApplication::wheelScrollLines());
  QCOMPARE(pane->verticalScrollBar()->value(), 0);
}

void ScrollRichEditTest::screenshotOfAColouredConversation() {
  auto pane = TextColumn();
  pane->ResetColors();
  pane->AddText(text::Utf8ToAnsi("Hola, ¿vienes a comer?"), 2, true);
  pane->AddText(text::Utf8ToAnsi(kLongText), 3, true);
  pane->AddText("<b>esto no va en negrita</b>", 4, true);
  pane->AddText("Ping a PC-CONTABILIDAD: 3 ms", 5, true);
  pane->AddText(text::Utf8ToAnsi("Señal de prueba con acentos: áéíóú ñ € ü"), 0, true);
  pane->AddText(
      "Un texto largo que se parte en varias lineas porque no cabe en la columna de texto", 1,
      true);
  QCOMPARE(pane->DisplayedRowCount(), pane->DisplayedLineCount());
  const QString path = SaveScreenshot(pane.get(), QStringLiteral("widgets-pane"));
  if (!qEnvironmentVariableIsEmpty("PELMORA_SCREENSHOTS")) QVERIFY(!path.isEmpty());
}

void ScrollRichEditTest::splitBreaksWhereTheDisplayBreaks() {
  // Random paragraphs at the widths of the view's three columns and a few others: the stored
  // lines are the rows the display itself lays the paragraph out in.
  std::mt19937 rng(15);
  for (int width : {57, 120, 193, 273, 400}) {
    auto pane = std::make_unique<TScrollRichEdit>();
    pane->setGeometry(0, 0, width, 193);
    for (int i = 0; i < 150; ++i) {
      std::string paragraph = RandomText(rng);
      std::erase_if(paragraph, [](char c) { return c == '\r' || c == '\n'; });
      if (paragraph.empty()) continue;
      pane->ClearLines();
      pane->AddText(paragraph, 2, true);
      QCOMPARE(pane->StoredLines(), DisplayRows(*pane, paragraph));
    }
  }

  // The same paragraph again after the pane got narrower, or its font larger, breaks anew.
  auto pane = TextColumn();
  const std::string ansi = text::Utf8ToAnsi(kLongText);
  auto addedLines = [&] {
    const int before = pane->LineCount();
    pane->AddText(ansi, 2, true);
    return std::vector<std::string>(pane->StoredLines().begin() + before,
                                    pane->StoredLines().end());
  };
  const std::vector<std::string> wide = addedLines();
  QCOMPARE(addedLines(), wide);
  pane->resize(150, 193);
  const std::vector<std::string> narrow = addedLines();
  QVERIFY(narrow.size() > wide.size());
  QCOMPARE(narrow, DisplayRows(*pane, ansi));
  QFont bigger = pane->font();
  bigger.setPixelSize(16);
  pane->setFont(bigger);
  const std::vector<std::string> big = addedLines();
  QVERIFY(big.size() > narrow.size());
  QCOMPARE(big, DisplayRows(*pane, ansi));
}

void ScrollRichEditTest::appendTouchesOnlyWhatChanges() {
  auto pane = TextColumn();
  for (int i = 0; i < 20; ++i) pane->AddText("L" + std::to_string(i), 2, true);
  const long refills = pane->RefillCount();
  const QTextBlock kept = pane->document()->findBlockByNumber(10);
  const QTextLayout* keptLayout = kept.layout();
  const QString keptText = kept.text();

  // Appending, and moving the window on by a line or two, add and drop lines at the edges.
  pane->AddText("L20", 3, true);
  pane->AddText(kLongText, 4, true);
  QCOMPARE(pane->DisplayedLineCount(), pane->VisibleLines() + 1);
  pane->SetTopLine(pane->TopLine() + 1);
  QCOMPARE(pane->RefillCount(), refills);
  QCOMPARE(pane->DisplayedLineCount(), pane->VisibleLines());
  QCOMPARE(pane->document()->blockCount(), pane->VisibleLines());
  // A line that stayed in the window is the same block, laid out once.
  bool stillThere = false;
  for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
    if (b.text() == keptText) stillThere = b.layout() == keptLayout;
  }
  QVERIFY(stillThere);

  // Scrolling back, a jump, a resize, a recolouring and clearing fill the display afresh.
  auto expectRefill = [&](const char* what, const std::function<void()>& change) {
    const long before = pane->RefillCount();
    change();
    QVERIFY2(pane->RefillCount() == before + 1, what);
  };
  expectRefill("scrolled back", [&] { pane->SetTopLine(pane->TopLine() - 1); });
  expectRefill("jumped", [&] { pane->SetTopLine(pane->TopLine() + 2 * pane->VisibleLines()); });
  expectRefill("jumped back", [&] { pane->SetTopLine(3); });
  expectRefill("resized", [&] {
    pane->resize(273, 150);
    pane->SetTopLine(4);
  });
  expectRefill("recoloured", [&] {
    pane->SetPaletteColor(2, clRed);
    pane->SetTopLine(5);
  });
  expectRefill("colours reset", [&] {
    pane->ResetColors();
    pane->SetTopLine(6);
  });
  expectRefill("cleared", [&] { pane->ClearLines(); });
  // The same colour again is no change.
  pane->AddText("x", 2, true);
  const long before = pane->RefillCount();
  pane->SetPaletteColor(2, pane->GetPaletteColor(2));
  pane->AddText("y", 2, true);
  QCOMPARE(pane->RefillCount(), before);
}

void ScrollRichEditTest::batchedChangesRedrawOnceAtTheEnd() {
  auto pane = TextColumn();
  for (int i = 0; i < 20; ++i) pane->AddText("L" + std::to_string(i), 2, true);
  const QStringList before = pane->DisplayedLines();
  pane->BeginUpdate();
  pane->BeginUpdate();
  pane->AddText("nuevo", 3, true);
  pane->AddText(std::string(), 1, true);
  pane->SetTopLine(10);
  QVERIFY(pane->Updating());
  // The store and the top line change at once; the display waits.
  QCOMPARE(pane->LineCount(), 22);
  QCOMPARE(pane->TopLine(), 10);
  QCOMPARE(pane->DisplayedLines(), before);
  pane->EndUpdate();
  QCOMPARE(pane->DisplayedLines(), before);  // still inside the outer batch
  pane->EndUpdate();
  QVERIFY(!pane->Updating());
  QCOMPARE(pane->DisplayedLines().first(), QStringLiteral("L10"));
  QCOMPARE(pane->DisplayedLines().last(), QString());
  QCOMPARE(pane->DisplayedLines().value(pane->DisplayedLineCount() - 2), QStringLiteral("nuevo"));
  // An unmatched EndUpdate does nothing.
  pane->EndUpdate();
  QVERIFY(!pane->Updating());

  // The guard holds several panes for its scope.
  auto other = TextColumn();
  {
    const PaneUpdate update{pane.get(), other.get()};
    pane->AddText("a", 2, true);
    other->AddText("b", 2, true);
    QVERIFY(pane->Updating() && other->Updating());
    QCOMPARE(other->DisplayedLineCount(), 0);
  }
  QCOMPARE(other->DisplayedLines(), QStringList{QStringLiteral("b")});
  QCOMPARE(pane->DisplayedLines().last(), QStringLiteral("a"));
}

void ScrollRichEditTest::incrementalRedrawMatchesRefill() {
  // Two panes get the same long mixed sequence of changes; one fills its display afresh every
  // time. After every change both show the same lines in the same colours, with the caret in
  // the same place, and every so often the same pixels.
  auto fast = TextColumn();
  auto reference = TextColumn();
  reference->SetAlwaysRefill(true);
  for (TScrollRichEdit* p : {fast.get(), reference.get()}) p->ResetColors();

  std::mt19937 rng(2026);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int operations = 0;
  for (int step = 0; step < 700; ++step) {
    const int op = pick(0, 99);
    std::function<void(TScrollRichEdit&)> change;
    QString what;
    if (op < 55) {
      const std::string text = RandomText(rng);
      const auto index = static_cast<std::uint8_t>(pick(0, 6));
      const bool toEnd = pick(0, 9) != 0;
      change = [=](TScrollRichEdit& p) { p.AddText(text, index, toEnd); };
      what = QStringLiteral("AddText %1 bytes").arg(text.size());
    } else if (op < 70) {
      const int delta = pick(-3, 3);
      change = [=](TScrollRichEdit& p) { p.SetTopLine(std::max(0, p.TopLine() + delta)); };
      what = QStringLiteral("scroll by %1").arg(delta);
    } else if (op < 76) {
      const int line = pick(0, std::max(0, fast->LineCount() + 3));
      change = [=](TScrollRichEdit& p) { p.SetTopLine(line); };
      what = QStringLiteral("jump to %1").arg(line);
    } else if (op < 82) {
      // The owner's pattern: a text, its fillers, then the window to the end, in one batch.
      const std::string text = RandomText(rng);
      const int fillers = pick(0, 3);
      change = [=](TScrollRichEdit& p) {
        const PaneUpdate update{&p};
        p.AddText(text, 2, true);
        for (int i = 0; i < fillers; ++i) p.AddText(std::string(), 1, true);
        p.UpdateVisibleLines();
        p.SetTopLine(std::max(0, p.LineCount() - p.VisibleLines()));
      };
      what = QStringLiteral("batch");
    } else if (op < 86) {
      const int width = pick(140, 320), height = pick(60, 260);
      change = [=](TScrollRichEdit& p) {
        p.resize(width, height);
        p.SetTopLine(p.TopLine());
      };
      what = QStringLiteral("resize %1x%2").arg(width).arg(height);
    } else if (op < 91) {
      const auto index = static_cast<std::uint8_t>(pick(0, 6));
      const TColor colour = static_cast<TColor>(rng() & 0xFFFFFF);
      const bool redraw = pick(0, 1) == 1;
      change = [=](TScrollRichEdit& p) {
        p.SetPaletteColor(index, colour);
        if (redraw) p.SetTopLine(p.TopLine());
      };
      what = QStringLiteral("colour %1").arg(index);
    } else if (op < 94) {
      change = [](TScrollRichEdit& p) { p.ResetColors(); };
      what = QStringLiteral("reset colours");
    } else if (op < 97) {
      // The user selects part of the shown text; the next redraw drops the selection.
      change = [](TScrollRichEdit& p) {
        QTextCursor c(p.document());
        c.setPosition(std::min(3, p.document()->characterCount() - 1));
        c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        p.setTextCursor(c);
      };
      what = QStringLiteral("select");
    } else {
      change = [](TScrollRichEdit& p) { p.ClearLines(); };
      what = QStringLiteral("clear");
    }
    change(*fast);
    change(*reference);
    ++operations;

    const PaneState a = StateOf(*fast), b = StateOf(*reference);
    if (!(a == b)) {
      QFAIL(qPrintable(QStringLiteral("step %1 (%2):\n fast      %3\n reference %4")
                           .arg(step)
                           .arg(what, Describe(a), Describe(b))));
    }
    QCOMPARE(fast->StoredLines(), reference->StoredLines());
    QCOMPARE(fast->LineColorIndexes(), reference->LineColorIndexes());
    if (step % 50 == 0) {
      QCOMPARE(fast->grab().toImage(), reference->grab().toImage());
    }
  }
  QCOMPARE(fast->grab().toImage(), reference->grab().toImage());
  // The fast pane filled its display afresh far less often than the reference, which does it
  // for every redraw.
  QVERIFY2(fast->RefillCount() * 3 < reference->RefillCount() * 2,
           qPrintable(QStringLiteral("%1 refills against %2 in %3 changes")
                          .arg(fast->RefillCount())
                          .arg(reference->RefillCount())
                          .arg(operations)));
}

void ScrollRichEditTest::badInputStaysWithinTheWindow() {
  auto pane = TextColumn();
  // 409 characters without a blank: broken anywhere, nothing lost.
  const std::string word(409, 'W');
  pane->AddText(word, 2, true);
  QCOMPARE(Joined(*pane), word);
  QVERIFY(pane->LineCount() >= 8);
  QCOMPARE(pane->DisplayedRowCount(), pane->DisplayedLineCount());

  // A text of only line breaks: one empty line per break and one after the last.
  pane->ClearLines();
  std::string breaks;
  for (int i = 0; i < 409; ++i) breaks += '\n';
  pane->AddText(breaks, 3, true);
  QCOMPARE(pane->LineCount(), 410);
  QCOMPARE(pane->DisplayedLineCount(), pane->VisibleLines() + 1);
  QCOMPARE(pane->document()->blockCount(), pane->VisibleLines() + 1);

  // Thousands of appends in a row: the display never holds more than the window.
  pane->ClearLines();
  for (int i = 0; i < 3000; ++i) pane->AddText("entrada " + std::to_string(i), 3, true);
  QCOMPARE(pane->LineCount(), 3000);
  QCOMPARE(pane->document()->blockCount(), pane->VisibleLines() + 1);
  QCOMPARE(pane->DisplayedLines().last(), QStringLiteral("entrada 2999"));
}

QTEST_MAIN(ScrollRichEditTest)
#include "ScrollRichEditTest.moc"
