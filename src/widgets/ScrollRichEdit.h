#pragma once
// TScrollRichEdit: a text pane that keeps every line it was given in a store of its own and shows
// only a window of them.
//
// Each stored line carries a one-byte index into a 256-entry palette. The pane never scrolls by
// itself: its owner sets the first line shown (SetTopLine), typically from a scroll bar shared by
// several panes that must stay in step. The display control only ever holds VisibleLines + 1
// lines, so a conversation of any length costs the same to show.
//
// Texts are Windows-1252 strings, as everywhere in the program; they are converted only when they
// go into the display control, and always as plain text (markup is shown literally).

#include <QTextEdit>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "widgets/TColor.h"

class QTextDocument;

namespace pelmora {

// The arithmetic of the pane, kept apart so it can be checked without a screen.
namespace pane {

// Line height in pixels: |font pixel height| scaled from 96 dpi to the screen, plus 4. An
// 11-pixel font at 96 dpi gives 15. Never below 4.
int LineHeight(int fontPixelHeight, int pixelsPerInch);

// Whole lines that fit in a pane `paneHeight` pixels high (0 for a height below one line).
int VisibleLines(int paneHeight, int lineHeight);

// First line shown after adding with "scroll to end": the last VisibleLines + 1 lines.
int ScrollToEndTopLine(int lineCount, int visibleLines);

// Stored lines shown for a top line: first..last inclusive; empty (last < first) when the top
// line is at or past the end.
struct LineWindow {
  int first = 0;
  int last = -1;
  int size() const { return last >= first ? last - first + 1 : 0; }
};
LineWindow ShownLines(int topLine, int lineCount, int visibleLines);

}  // namespace pane

class TScrollRichEdit : public QTextEdit {
  Q_OBJECT

 public:
  using Palette = std::array<TColor, 256>;

  explicit TScrollRichEdit(QWidget* parent = nullptr);
  ~TScrollRichEdit() override;

  // Appends `text` as the lines the pane wraps it into at its current width and font (at every
  // line break — CR LF, CR or LF — and at every word-wrap point; a word wider than the pane is
  // broken anywhere), all with `colorIndex`; an empty text adds one empty line. With
  // `scrollToEnd`, TopLine moves so the newest lines are shown. Redraws.
  void AddText(const std::string& text, std::uint8_t colorIndex, bool scrollToEnd);

  // Drops every stored line, empties the display, TopLine := 0.
  void ClearLines();

  // Recomputes VisibleLines from the current height and font; does not redraw.
  void UpdateVisibleLines();

  TColor GetPaletteColor(std::uint8_t index) const { return palette_[index]; }
  // Takes effect at the next redraw (SetTopLine or AddText), not before.
  void SetPaletteColor(std::uint8_t index, TColor color) { palette_[index] = color; }
  const Palette& GetPalette() const { return palette_; }

  // Text of stored line `index`; throws std::out_of_range outside 0..LineCount()-1.
  const std::string& GetLine(int index) const;
  // Palette index of stored line `index`; throws std::out_of_range like GetLine.
  std::uint8_t GetLineColorIndex(int index) const;
  int LineCount() const { return static_cast<int>(storedLines_.size()); }
  const std::vector<std::string>& StoredLines() const { return storedLines_; }
  const std::vector<std::uint8_t>& LineColorIndexes() const { return lineColorIndexes_; }

  // Background := black, palette entries 0..5 := the defaults; does not redraw.
  void ResetColors();

  // Shows stored lines `index` .. `index` + VisibleLines. The index is kept as given (no
  // clamping): near or past the end fewer lines or none are shown; below 0 the window simply
  // starts above the first line and shows the lines of it that exist.
  void SetTopLine(int index);
  int TopLine() const { return topLine_; }

  // Whole lines that fit in the pane's height.
  int VisibleLines() const { return visibleLines_; }
  // Pixel height of one shown line (the pane lays its lines out at exactly this pitch).
  int LineHeightPixels() const { return lineHeight_; }

  // Background colour of the pane (default clWindow, the theme's base colour).
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  // Width in pixels of the text area (inside the frame) that texts are wrapped for; the document
  // margin comes off it on both sides, as in the display.
  int WrapWidth() const;

  // Lines the display control holds right now (at most VisibleLines + 1), and their texts as
  // shown; for the owner's tests and for debugging.
  int DisplayedLineCount() const { return displayedLines_; }
  QStringList DisplayedLines() const;
  // Rows the display control lays its lines out in; equal to DisplayedLineCount() as long as the
  // pane has not been made narrower since the lines were stored (no shown line wraps again).
  int DisplayedRowCount() const;

 signals:
  // A key was released in the pane. The pane ignores every key release itself; the owner acts on
  // it (Page Up/Down and the arrows scroll, Alt+C / Alt+Insert copy).
  void KeyReleased(int key, Qt::KeyboardModifiers modifiers);
  // A key was pressed in the pane, before the pane's own handling (typed characters, Delete and
  // the vertical navigation keys are then dropped; the other keys move the caret or select).
  void KeyPressed(int key, Qt::KeyboardModifiers modifiers);
  // The mouse wheel turned over the pane: `lines` whole lines, positive towards newer lines. The
  // pane itself does not move; the owner scrolls all its panes.
  void WheelScrolled(int lines);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Redraw();
  void SplitIntoLines(const std::string& text);
  int FontPixelHeight() const;
  void ApplyWrapWidth();

  std::vector<std::string> storedLines_;
  int topLine_ = 0;
  std::vector<std::uint8_t> lineColorIndexes_;
  Palette palette_{};
  int visibleLines_ = 0;
  int lineHeight_ = 15;
  TColor color_ = clWindow;
  int wheelRemainder_ = 0;
  int displayedLines_ = 0;
  QTextDocument* wrapDocument_ = nullptr;  // lays texts out to find the wrap points
};

}  // namespace pelmora
