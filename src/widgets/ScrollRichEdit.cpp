#include "widgets/ScrollRichEdit.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "widgets/AnsiText.h"
#include "widgets/Fonts.h"

namespace pelmora {

namespace pane {

int LineHeight(int fontPixelHeight, int pixelsPerInch) {
  if (pixelsPerInch <= 0) pixelsPerInch = 96;
  const long long scaled = std::llabs(static_cast<long long>(fontPixelHeight)) * pixelsPerInch / 96;
  return static_cast<int>(std::min<long long>(scaled + 4, 1 << 20));
}

int VisibleLines(int paneHeight, int lineHeight) {
  if (paneHeight <= 0) return 0;
  return paneHeight / std::max(lineHeight, 1);
}

int ScrollToEndTopLine(int lineCount, int visibleLines) {
  return std::max(0, lineCount - visibleLines - 1);
}

LineWindow ShownLines(int topLine, int lineCount, int visibleLines) {
  LineWindow window;
  window.first = std::max(topLine, 0);
  const long long last =
      std::min<long long>(static_cast<long long>(lineCount) - 1,
                          static_cast<long long>(topLine) + std::max(visibleLines, 0));
  window.last =
      static_cast<int>(std::max<long long>(last, static_cast<long long>(window.first) - 1));
  return window;
}

}  // namespace pane

namespace {

// Room between the frame and the text, on every side, as the platform rich edit leaves it.
constexpr qreal kDocumentMargin = 1;

}  // namespace

TScrollRichEdit::TScrollRichEdit(QWidget* parent) : QTextEdit(parent) {
  palette_[0] = clSilver;
  palette_[1] = clAqua;
  palette_[2] = clLime;
  palette_[3] = clYellow;
  palette_[4] = clWhite;
  // Entry 5 stays black until ResetColors: the settings always set it before the first line.

  // The pane only shows; its content comes in through AddText. Keyboard selection stays on so
  // a part of a line can be picked for copying.
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setAcceptRichText(false);
  setUndoRedoEnabled(false);
  setTabChangesFocus(true);
  setFrameStyle(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // The wrap width is set from the pane's own geometry rather than from the viewport, which is
  // only laid out once the pane is shown: lines may be added while the window sits in the tray.
  setLineWrapMode(QTextEdit::FixedPixelWidth);
  document()->setDocumentMargin(kDocumentMargin);
  setFont(PelmoraFixedFont());

  // The pane never scrolls; the last, partly visible line stays cut by the bottom edge even when
  // the caret or a mouse selection reaches it.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (value != 0) verticalScrollBar()->setValue(0);
  });

  ApplyWrapWidth();
  UpdateVisibleLines();
}

TScrollRichEdit::~TScrollRichEdit() = default;

int TScrollRichEdit::FontPixelHeight() const {
  const QFont f = document()->defaultFont();
  if (f.pixelSize() > 0) return f.pixelSize();
  return QFontInfo(f).pixelSize();
}

void TScrollRichEdit::UpdateVisibleLines() {
  lineHeight_ = pane::LineHeight(FontPixelHeight(), logicalDpiY());
  visibleLines_ = pane::VisibleLines(height(), lineHeight_);
}

int TScrollRichEdit::WrapWidth() const { return std::max(contentsRect().width(), 1); }

void TScrollRichEdit::ApplyWrapWidth() {
  if (lineWrapColumnOrWidth() != WrapWidth()) setLineWrapColumnOrWidth(WrapWidth());
}

void TScrollRichEdit::SetColor(TColor color) {
  color_ = color;
  QPalette p = palette();
  const QColor c = ToQColor(color, QApplication::palette(this));
  p.setColor(QPalette::Base, c.isValid() ? c : QApplication::palette(this).color(QPalette::Base));
  setPalette(p);
}

void TScrollRichEdit::SetPaletteColor(std::uint8_t index, TColor color) {
  if (palette_[index] == color) return;
  palette_[index] = color;
  InvalidateDisplay();
}

void TScrollRichEdit::ResetColors() {
  InvalidateDisplay();
  SetColor(clBlack);
  palette_[0] = clSilver;
  palette_[1] = clAqua;
  palette_[2] = clLime;
  palette_[3] = clYellow;
  palette_[4] = clWhite;
  palette_[5] = clRed;
}

const std::string& TScrollRichEdit::GetLine(int index) const {
  if (index < 0) throw std::out_of_range("TScrollRichEdit::GetLine: line index out of bounds");
  return storedLines_.at(static_cast<std::size_t>(index));
}

std::uint8_t TScrollRichEdit::GetLineColorIndex(int index) const {
  if (index < 0) throw std::out_of_range("TScrollRichEdit::GetLineColorIndex: index out of bounds");
  return lineColorIndexes_.at(static_cast<std::size_t>(index));
}

void TScrollRichEdit::SetLineColorIndex(int index, std::uint8_t colorIndex) {
  if (index < 0 || index >= LineCount()) return;
  std::uint8_t& stored = lineColorIndexes_[static_cast<std::size_t>(index)];
  if (stored == colorIndex) return;
  stored = colorIndex;
  // A line on show is drawn again with the window; one out of sight takes the colour when it
  // comes into view.
  if (index >= shown_.first && index < shown_.first + shown_.count) {
    InvalidateDisplay();
    Redraw();
  }
}

void TScrollRichEdit::SplitIntoLines(const std::string& text) {
  // The room a line of the display has: the wrap width less the document margin on both sides.
  const qreal width = WrapWidth() - 2 * document()->documentMargin();

  // Line breaks are split here, not by the layout, so that "\r\n" counts as one break.
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find_first_of("\r\n", start);
    SplitParagraph(text.substr(start, end == std::string::npos ? end : end - start), width);
    if (end == std::string::npos) break;
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

void TScrollRichEdit::SplitParagraph(const std::string& paragraph, qreal width) {
  if (paragraph.empty()) {
    storedLines_.emplace_back();
    return;
  }
  const QFont font = document()->defaultFont();
  // Most lines are short: one of printable ASCII that would fit even if each of its characters
  // were as wide as the widest the font has is one row, without laying it out to learn so.
  const bool plain = std::all_of(paragraph.begin(), paragraph.end(),
                                 [](char c) { return c >= 0x20 && c <= 0x7e; });
  if (plain && static_cast<qreal>(paragraph.size() + 1) * QFontMetricsF(font).maxWidth() <= width) {
    storedLines_.push_back(paragraph);
    return;
  }
  QTextOption option = document()->defaultTextOption();
  LastSplit& last = lastSplit_;
  if (last.paragraph != paragraph || last.width != width || last.wrapMode != option.wrapMode() ||
      last.tabStop != option.tabStopDistance() || last.flags != option.flags() ||
      last.font != font) {
    last.paragraph = paragraph;
    last.width = width;
    last.wrapMode = option.wrapMode();
    last.tabStop = option.tabStopDistance();
    last.flags = option.flags();
    last.font = font;
    last.rows.clear();

    // The paragraph is laid out the way the display lays out one of its blocks (same font,
    // same text option, same line width, and the same retreat to breaking anywhere and then at
    // words when a row still comes out wider than the room), so it breaks exactly where the
    // display would: each row then shows as one line of its own. Every Windows-1252 byte is one
    // UTF-16 unit, so the positions of the layout are byte offsets of the paragraph.
    option.setTextDirection(Qt::LeftToRight);
    option.setTabs({});
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    const bool wordOrAnywhere = option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere;
    QTextLayout layout(ToQ(paragraph), font);
    layout.setCacheEnabled(false);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
      QTextLine row = layout.createLine();
      if (!row.isValid()) break;
      row.setLeadingIncluded(true);
      row.setLineWidth(width);
      if (row.naturalTextWidth() > width) {
        if (wordOrAnywhere) {
          option.setWrapMode(QTextOption::WrapAnywhere);
          layout.setTextOption(option);
        }
        row.setLineWidth(std::max(row.naturalTextWidth(), width));
        if (wordOrAnywhere) {
          option.setWrapMode(QTextOption::WordWrap);
          layout.setTextOption(option);
        }
      }
      last.rows.emplace_back(row.textStart(), row.textLength());
    }
    layout.endLayout();
  }
  for (const auto& [start, length] : last.rows) {
    storedLines_.push_back(
        paragraph.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length)));
  }
}

void TScrollRichEdit::AddText(const std::string& text, std::uint8_t colorIndex, bool scrollToEnd) {
  UpdateVisibleLines();
  SplitIntoLines(text);
  lineColorIndexes_.resize(storedLines_.size(), colorIndex);
  if (scrollToEnd) topLine_ = pane::ScrollToEndTopLine(LineCount(), visibleLines_);
  Redraw();
}

void TScrollRichEdit::ClearLines() {
  std::vector<std::string>().swap(storedLines_);
  std::vector<std::uint8_t>().swap(lineColorIndexes_);
  topLine_ = 0;
  InvalidateDisplay();
  Redraw();
}

void TScrollRichEdit::SetTopLine(int index) {
  topLine_ = index;
  Redraw();
}

void TScrollRichEdit::BeginUpdate() { ++updateDepth_; }

void TScrollRichEdit::EndUpdate() {
  if (updateDepth_ == 0) return;
  if (--updateDepth_ == 0 && redrawPending_) Redraw();
}

void TScrollRichEdit::SetAlwaysRefill(bool on) {
  alwaysRefill_ = on;
  InvalidateDisplay();
}

void TScrollRichEdit::Redraw() {
  // A pane nobody sees (its window in the tray) leaves its display as it is until it is shown,
  // painted or read: laying lines out costs more than anything else an arrival does.
  if ((updateDepth_ > 0 || !isVisible()) && !alwaysRefill_) {
    redrawPending_ = true;
    return;
  }
  SyncDisplay();
}

void TScrollRichEdit::SyncPendingDisplay() const {
  // The display is what the store looks like on screen; bringing it up to date changes nothing
  // the pane's users can see, so readers may ask for it.
  if (redrawPending_ && updateDepth_ == 0) const_cast<TScrollRichEdit*>(this)->SyncDisplay();
}

void TScrollRichEdit::SyncDisplay() {
  redrawPending_ = false;
  ApplyWrapWidth();
  const pane::LineWindow window = pane::ShownLines(topLine_, LineCount(), visibleLines_);

  const bool wasEnabled = updatesEnabled();
  setUpdatesEnabled(false);
  if (alwaysRefill_ || !Shift(window)) Refill(window);
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  setUpdatesEnabled(wasEnabled);
}

void TScrollRichEdit::AppendShownLines(QTextCursor& cursor, int from, int to,
                                       bool firstInDocument) {
  const QPalette colours = QApplication::palette(this);
  QTextBlockFormat blockFormat;
  // Every line at the pitch VisibleLines is computed with, so the count matches what is seen.
  blockFormat.setLineHeight(lineHeight_, QTextBlockFormat::FixedHeight);
  if (firstInDocument) cursor.setBlockFormat(blockFormat);
  for (int i = from; i <= to; ++i) {
    QTextCharFormat format;
    const QColor colour =
        ToQColor(palette_[lineColorIndexes_[static_cast<std::size_t>(i)]], colours);
    if (colour.isValid()) format.setForeground(colour);
    if (!firstInDocument || i != from) cursor.insertBlock(blockFormat, format);
    cursor.setCharFormat(format);
    // insertText takes the text as it is: no markup is ever interpreted.
    cursor.insertText(ToQ(storedLines_[static_cast<std::size_t>(i)]), format);
    // Keep the shaped glyphs: the line is painted again with every redraw while it stays in
    // the window, and shaping it anew for each paint costs more than the memory of a few lines.
    cursor.block().layout()->setCacheEnabled(true);
  }
}

void TScrollRichEdit::Refill(const pane::LineWindow& window) {
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.select(QTextCursor::Document);
  cursor.removeSelectedText();
  AppendShownLines(cursor, window.first, window.last, true);
  cursor.endEditBlock();
  shown_ = Shown{window.first, window.size(), lineHeight_, true};
  ++refills_;
}

bool TScrollRichEdit::Shift(const pane::LineWindow& window) {
  const int oldLast = shown_.first + shown_.count - 1;
  if (!shown_.valid || shown_.count == 0 || window.size() == 0) return false;
  if (shown_.lineHeight != lineHeight_) return false;
  // Only a window that moved towards newer lines and still shares lines with the shown one.
  if (window.first < shown_.first || window.first > oldLast) return false;
  // Nothing but this class writes into the document; should anything else have, start afresh.
  if (document()->blockCount() != shown_.count) return false;

  const int keepLast = std::min(oldLast, window.last);
  const int dropTop = window.first - shown_.first;
  const int dropBottom = oldLast - keepLast;
  const int add = window.last - keepLast;
  // Filling afresh costs one line per shown line; shifting more than that is no saving.
  if (dropTop + dropBottom + add >= window.size()) return false;

  // The top, the bottom and the additions are separate edits, so the layout only redoes the
  // blocks each one touches, not the whole window. Each is an edit block of its own: inside
  // one, moving a cursor does not lay its line out to find the caret's x.
  if (dropTop > 0) {
    QTextCursor top(document());
    top.beginEditBlock();
    top.setPosition(document()->findBlockByNumber(dropTop).position(), QTextCursor::KeepAnchor);
    top.removeSelectedText();
    top.endEditBlock();
  }
  if (dropBottom > 0) {
    const QTextBlock lastKept = document()->findBlockByNumber(keepLast - window.first);
    QTextCursor bottom(document());
    bottom.beginEditBlock();
    bottom.setPosition(lastKept.position() + lastKept.length() - 1);
    bottom.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    bottom.removeSelectedText();
    bottom.endEditBlock();
  }
  if (add > 0) {
    QTextCursor end(document());
    end.beginEditBlock();
    end.movePosition(QTextCursor::End);
    AppendShownLines(end, keepLast + 1, window.last, false);
    end.endEditBlock();
  }
  shown_.first = window.first;
  shown_.count = window.size();

  // A refill leaves the caret after the last shown line with nothing selected; so does this.
  QTextCursor caret = textCursor();
  if (caret.hasSelection() || !caret.atEnd()) {
    caret.movePosition(QTextCursor::End);
    setTextCursor(caret);
  }
  return true;
}

int TScrollRichEdit::DisplayedLineCount() const {
  SyncPendingDisplay();
  return shown_.count;
}

QStringList TScrollRichEdit::DisplayedLines() const {
  SyncPendingDisplay();
  QStringList lines;
  if (shown_.count == 0) return lines;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) lines.push_back(b.text());
  return lines;
}

int TScrollRichEdit::StoredLineAt(QPoint pos) const {
  SyncPendingDisplay();
  if (shown_.count == 0) return -1;
  const QTextBlock block = cursorForPosition(pos).block();
  if (!block.isValid()) return -1;
  // The nearest line is not enough: below the last one there is no line.
  const QRectF box = document()->documentLayout()->blockBoundingRect(block);
  if (pos.y() < box.top() || pos.y() >= box.bottom()) return -1;
  const int line = shown_.first + block.blockNumber();
  return line < LineCount() ? line : -1;
}

int TScrollRichEdit::DisplayedRowCount() const {
  SyncPendingDisplay();
  if (shown_.count == 0) return 0;
  int rows = 0;
  QAbstractTextDocumentLayout* layout = document()->documentLayout();
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
    layout->blockBoundingRect(b);
    rows += b.layout() != nullptr ? b.layout()->lineCount() : 0;
  }
  return rows;
}

void TScrollRichEdit::showEvent(QShowEvent* event) {
  QTextEdit::showEvent(event);
  SyncPendingDisplay();
}

void TScrollRichEdit::paintEvent(QPaintEvent* event) {
  SyncPendingDisplay();  // a grab of a window that was never shown
  QTextEdit::paintEvent(event);
}

void TScrollRichEdit::resizeEvent(QResizeEvent* event) {
  QTextEdit::resizeEvent(event);
  InvalidateDisplay();
  ApplyWrapWidth();
  UpdateVisibleLines();
}

void TScrollRichEdit::changeEvent(QEvent* event) {
  QTextEdit::changeEvent(event);
  switch (event->type()) {
    case QEvent::FontChange:
      UpdateVisibleLines();
      InvalidateDisplay();
      break;
    // System colours are resolved against the palette when the lines go in.
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::StyleChange:
      InvalidateDisplay();
      break;
    default:
      break;
  }
}

void TScrollRichEdit::keyPressEvent(QKeyEvent* event) {
  emit KeyPressed(event->key(), event->modifiers());
  switch (event->key()) {
    // The owner scrolls all its panes on the release of these; moving the caret here would
    // only scroll this one.
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Delete:
      event->accept();
      return;
    default:
      break;
  }
  const bool typed = !event->text().isEmpty() && event->text().at(0).isPrint() &&
                     !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (typed) {
    event->accept();  // nothing is typed into the pane
    return;
  }
  QTextEdit::keyPressEvent(event);
}

void TScrollRichEdit::keyReleaseEvent(QKeyEvent* event) {
  emit KeyReleased(event->key(), event->modifiers());
  event->accept();
}

void TScrollRichEdit::wheelEvent(QWheelEvent* event) {
  // 120 units are one notch of a wheel; finer wheels add up until they reach a whole line.
  wheelRemainder_ += event->angleDelta().y() * QApplication::wheelScrollLines();
  const int lines = wheelRemainder_ / 120;
  wheelRemainder_ -= lines * 120;
  if (lines != 0) emit WheelScrolled(-lines);
  event->accept();
}

}  // namespace pelmora
