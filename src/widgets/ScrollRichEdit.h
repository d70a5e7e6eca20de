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
//
// A redraw touches only what changed where it can: when the window moves towards newer lines (an
// append, or scrolling down within reach), the lines that leave it are taken off the top and the
// new ones added at the bottom, and the lines that stay are neither rebuilt nor laid out again.
// Anything else (scrolling back, a jump, a resize, a font or colour change, clearing) empties the
// display and fills it again. Both ways give the same document, so the same pixels. A pane that
// is not visible (its window in the tray) redraws when it is shown, painted or its display read.

#include <QFont>
#include <QTextEdit>
#include <QTextOption>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "widgets/TColor.h"

class QTextCursor;

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

  // Between BeginUpdate and the matching EndUpdate, AddText, SetTopLine and ClearLines change the
  // store and TopLine at once but the display only once, at the outermost EndUpdate: an owner
  // that adds a text and its fillers and then moves the window pays for one redraw. Calls nest.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return updateDepth_ > 0; }

  // With `on`, every redraw empties the display and fills it again, right away even inside
  // BeginUpdate/EndUpdate. The result on screen is the same; it is the reference that tests
  // and benchmarks hold the normal redraw against.
  void SetAlwaysRefill(bool on);
  bool AlwaysRefill() const { return alwaysRefill_; }
  // Times the display was emptied and filled again since construction; for tests.
  long RefillCount() const { return refills_; }

  // Recomputes VisibleLines from the current height and font; does not redraw.
  void UpdateVisibleLines();

  TColor GetPaletteColor(std::uint8_t index) const { return palette_[index]; }
  // Takes effect at the next redraw (SetTopLine or AddText), not before.
  void SetPaletteColor(std::uint8_t index, TColor color);
  const Palette& GetPalette() const { return palette_; }

  // Text of stored line `index`; throws std::out_of_range outside 0..LineCount()-1.
  const std::string& GetLine(int index) const;
  // Palette index of stored line `index`; throws std::out_of_range like GetLine.
  std::uint8_t GetLineColorIndex(int index) const;
  // Gives stored line `index` another palette index; shown at once when the line is on show.
  // An index outside the lines does nothing.
  void SetLineColorIndex(int index, std::uint8_t colorIndex);
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
  int DisplayedLineCount() const;
  QStringList DisplayedLines() const;
  // The stored line shown at `pos` (in the viewport), or -1 where no line is shown.
  int StoredLineAt(QPoint pos) const;
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
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // What the display shows: a run of stored lines, laid out with one line height.
  struct Shown {
    int first = 0;
    int count = 0;
    int lineHeight = 0;
    bool valid = false;  // false: the display must be filled again before it can be shifted
  };

  void Redraw();
  void SyncDisplay();
  void SyncPendingDisplay() const;
  void Refill(const pane::LineWindow& window);
  bool Shift(const pane::LineWindow& window);
  void AppendShownLines(QTextCursor& cursor, int from, int to, bool firstInDocument);
  void InvalidateDisplay() { shown_.valid = false; }
  void SplitIntoLines(const std::string& text);
  void SplitParagraph(const std::string& paragraph, qreal width);
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
  Shown shown_;
  // The last paragraph split, and where it broke: the time and heading columns get the same
  // text entry after entry, and laying it out again would only find the same breaks.
  struct LastSplit {
    std::string paragraph;
    qreal width = -1;
    QFont font;
    QTextOption::WrapMode wrapMode = QTextOption::NoWrap;
    qreal tabStop = -1;
    QTextOption::Flags flags;
    std::vector<std::pair<int, int>> rows;  // start and length of each row
  };
  LastSplit lastSplit_;
  int updateDepth_ = 0;
  bool redrawPending_ = false;
  bool alwaysRefill_ = false;
  long refills_ = 0;
};

// Holds BeginUpdate on a few panes for its own lifetime, so panes kept in step redraw once each
// at the end of a change that touches all of them.
class PaneUpdate {
 public:
  explicit PaneUpdate(std::initializer_list<TScrollRichEdit*> panes) : panes_(panes) {
    for (TScrollRichEdit* pane : panes_) pane->BeginUpdate();
  }
  ~PaneUpdate() {
    for (TScrollRichEdit* pane : panes_) pane->EndUpdate();
  }
  PaneUpdate(const PaneUpdate&) = delete;
  PaneUpdate& operator=(const PaneUpdate&) = delete;

 private:
  std::vector<TScrollRichEdit*> panes_;
};

}  // namespace pelmora
