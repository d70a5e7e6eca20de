#pragma once
// What the pane tests look at in a TScrollRichEdit: its shown lines, their colours and layout,
// and random texts to feed it.

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QtTest/QtTest>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "text/CodePage.h"
#include "widgets/Fonts.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora::pane_probe {

// A pane of the conversation view's text column: 273 x 193 with the fixed-pitch font.
inline std::unique_ptr<TScrollRichEdit> TextColumn(bool show = true) {
  auto pane = std::make_unique<TScrollRichEdit>();
  pane->setGeometry(100, 100, 273, 193);
  if (show) {
    pane->show();
    if (!QTest::qWaitForWindowExposed(pane.get())) qWarning("pane not exposed");
  }
  return pane;
}

inline std::string Joined(const TScrollRichEdit& pane, int from = 0) {
  std::string all;
  for (int i = from; i < pane.LineCount(); ++i) all += pane.GetLine(i);
  return all;
}

// Foreground of the first character of each shown line.
inline QList<QColor> DisplayedColours(const TScrollRichEdit& pane) {
  QList<QColor> colours;
  if (pane.DisplayedLineCount() == 0) return colours;
  for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next()) {
    QTextCursor c(b);
    c.movePosition(QTextCursor::NextCharacter);
    colours.push_back(c.charFormat().foreground().color());
  }
  return colours;
}

// Everything of a pane that reaches the screen, as far as the document decides it: each shown
// line with its block format, and each run of text with its colour; the caret and selection;
// the rows the lines are laid out in.
struct PaneState {
  QStringList lines;
  QStringList runs;  // "block:text:#rrggbb" per fragment
  QList<qreal> lineHeights;
  int cursorPosition = 0;
  int cursorAnchor = 0;
  int rows = 0;
  int topLine = 0;
  int displayed = 0;
  bool operator==(const PaneState&) const = default;
};

inline PaneState StateOf(const TScrollRichEdit& pane) {
  PaneState s;
  s.lines = pane.DisplayedLines();
  int n = 0;
  for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next(), ++n) {
    s.lineHeights.push_back(b.blockFormat().lineHeight() * 100 + b.blockFormat().lineHeightType());
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      s.runs.push_back(QStringLiteral("%1:%2:%3")
                           .arg(n)
                           .arg(f.text(), f.charFormat().foreground().color().name()));
    }
  }
  s.cursorPosition = pane.textCursor().position();
  s.cursorAnchor = pane.textCursor().anchor();
  s.rows = pane.DisplayedRowCount();
  s.topLine = pane.TopLine();
  s.displayed = pane.DisplayedLineCount();
  return s;
}

inline QString Describe(const PaneState& s) {
  return QStringLiteral("top %1, %2 lines, cursor %3/%4, rows %5: %6")
      .arg(s.topLine)
      .arg(s.displayed)
      .arg(s.cursorPosition)
      .arg(s.cursorAnchor)
      .arg(s.rows)
      .arg(s.runs.join(QStringLiteral(" | ")));
}

// The rows a paragraph breaks into when a document set up like the pane's display lays it out
// as one block: the reference for the pane's own split.
inline std::vector<std::string> DisplayRows(const TScrollRichEdit& pane, const std::string& ansi) {
  QTextDocument doc;
  doc.setDefaultFont(pane.document()->defaultFont());
  doc.setDocumentMargin(pane.document()->documentMargin());
  doc.setDefaultTextOption(pane.document()->defaultTextOption());
  doc.setTextWidth(pane.WrapWidth());
  doc.setPlainText(QString::fromStdString(text::AnsiToUtf8(ansi)));
  const QTextBlock block = doc.begin();
  doc.documentLayout()->blockBoundingRect(block);
  std::vector<std::string> rows;
  for (int i = 0; i < block.layout()->lineCount(); ++i) {
    const QTextLine line = block.layout()->lineAt(i);
    rows.push_back(ansi.substr(static_cast<std::size_t>(line.textStart()),
                               static_cast<std::size_t>(line.textLength())));
  }
  return rows;
}

// A text of the kinds a conversation brings: short, long and wrapping, words wider than the
// pane, line breaks of every style, empty, accented, markup, control characters.
inline std::string RandomText(std::mt19937& rng) {
  static const std::vector<std::string> words{"hola",
                                              "a",
                                              "reunion",
                                              "trimestral",
                                              "PC-CONTABILIDAD",
                                              "<b>x</b>",
                                              "\xe1rbol",
                                              "\xf1"
                                              "and\xfa",
                                              "\x80",
                                              "ok.",
                                              "12:30",
                                              "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW",
                                              "\t",
                                              "iiiiiiiiiii",
                                              "  ",
                                              "\x81\x8d\x8f\x90\x9d",
                                              "&amp;"};
  std::uniform_int_distribution<int> kind(0, 9);
  switch (kind(rng)) {
    case 0:
      return std::string();
    case 1:
      return std::string(std::uniform_int_distribution<int>(1, 409)(rng), 'x');
    case 2: {
      static const char* breaks[] = {"\r\n", "\n", "\r"};
      std::string t;
      const int n = std::uniform_int_distribution<int>(1, 12)(rng);
      for (int i = 0; i < n; ++i) t += breaks[std::uniform_int_distribution<int>(0, 2)(rng)];
      return t;
    }
    default: {
      std::string t;
      const int n = std::uniform_int_distribution<int>(1, 40)(rng);
      for (int i = 0; i < n; ++i) {
        if (!t.empty()) t += std::uniform_int_distribution<int>(0, 12)(rng) == 0 ? "\r\n" : " ";
        t += words[std::uniform_int_distribution<std::size_t>(0, words.size() - 1)(rng)];
      }
      return t;
    }
  }
}

inline const std::string kLongText =
    "Mañana a las nueve revisamos el informe de ventas del trimestre; trae las cifras de "
    "Valencia y las de Sevilla, que faltan en la hoja.";

}  // namespace pelmora::pane_probe
