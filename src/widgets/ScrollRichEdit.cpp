#include "widgets/ScrollRichEdit.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
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

#include "text/CodePage.h"
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
  window.last = static_cast<int>(std::max<long long>(last, static_cast<long long>(window.first) - 1));
  return window;
}

}  // namespace pane

namespace {

// Room between the frame and the text, on every side, as the platform rich edit leaves it.
constexpr qreal kDocumentMargin = 1;

// Each Windows-1252 byte is one UTF-16 unit once converted, so positions in the converted text
// are byte offsets of the original. The check keeps that true should the conversion ever change.
QString ToQString(const std::string& ansi) { return ToQ(ansi); }

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

  wrapDocument_ = new QTextDocument(this);
  wrapDocument_->setUndoRedoEnabled(false);

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

void TScrollRichEdit::ResetColors() {
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

void TScrollRichEdit::SplitIntoLines(const std::string& text) {
  // The layout document is set up as the display is, so it breaks where the display would.
  wrapDocument_->setDefaultFont(document()->defaultFont());
  wrapDocument_->setDocumentMargin(document()->documentMargin());
  wrapDocument_->setDefaultTextOption(document()->defaultTextOption());
  wrapDocument_->setTextWidth(WrapWidth());

  // Line breaks are split here, not by the document, so that "\r\n" counts as one break and the
  // positions of the layout stay byte offsets of each paragraph.
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find_first_of("\r\n", start);
    const std::string paragraph = text.substr(start, end == std::string::npos ? end : end - start);

    const QString shown = ToQString(paragraph);
    wrapDocument_->setPlainText(shown);
    const QTextBlock block = wrapDocument_->begin();
    wrapDocument_->documentLayout()->blockBoundingRect(block);  // lays the block out
    const QTextLayout* layout = block.layout();
    const int rows = layout != nullptr ? layout->lineCount() : 0;
    if (rows == 0) {
      storedLines_.emplace_back();
    } else {
      const bool sameLength = static_cast<std::size_t>(shown.size()) == paragraph.size();
      for (int i = 0; i < rows; ++i) {
        const QTextLine row = layout->lineAt(i);
        const auto from = static_cast<std::size_t>(row.textStart());
        const auto length = static_cast<std::size_t>(row.textLength());
        if (sameLength) {
          storedLines_.push_back(paragraph.substr(from, length));
        } else {
          storedLines_.push_back(text::Utf8ToAnsi(
              shown.mid(static_cast<qsizetype>(from), static_cast<qsizetype>(length)).toStdString()));
        }
      }
    }

    if (end == std::string::npos) break;
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  wrapDocument_->clear();
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
  Redraw();
}

void TScrollRichEdit::SetTopLine(int index) {
  topLine_ = index;
  Redraw();
}

void TScrollRichEdit::Redraw() {
  ApplyWrapWidth();
  const pane::LineWindow window = pane::ShownLines(topLine_, LineCount(), visibleLines_);
  const QPalette colours = QApplication::palette(this);

  QTextBlockFormat blockFormat;
  // Every line at the pitch VisibleLines is computed with, so the count matches what is seen.
  blockFormat.setLineHeight(lineHeight_, QTextBlockFormat::FixedHeight);

  const bool wasEnabled = updatesEnabled();
  setUpdatesEnabled(false);
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.select(QTextCursor::Document);
  cursor.removeSelectedText();
  cursor.setBlockFormat(blockFormat);
  for (int i = window.first; i <= window.last; ++i) {
    QTextCharFormat format;
    const QColor colour = ToQColor(palette_[lineColorIndexes_[static_cast<std::size_t>(i)]], colours);
    if (colour.isValid()) format.setForeground(colour);
    if (i != window.first) cursor.insertBlock(blockFormat, format);
    cursor.setCharFormat(format);
    // insertText takes the text as it is: no markup is ever interpreted.
    cursor.insertText(ToQString(storedLines_[static_cast<std::size_t>(i)]), format);
  }
  cursor.endEditBlock();
  displayedLines_ = window.size();
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  setUpdatesEnabled(wasEnabled);
}

QStringList TScrollRichEdit::DisplayedLines() const {
  QStringList lines;
  if (displayedLines_ == 0) return lines;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) lines.push_back(b.text());
  return lines;
}

int TScrollRichEdit::DisplayedRowCount() const {
  if (displayedLines_ == 0) return 0;
  int rows = 0;
  QAbstractTextDocumentLayout* layout = document()->documentLayout();
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
    layout->blockBoundingRect(b);
    rows += b.layout() != nullptr ? b.layout()->lineCount() : 0;
  }
  return rows;
}

void TScrollRichEdit::resizeEvent(QResizeEvent* event) {
  QTextEdit::resizeEvent(event);
  ApplyWrapWidth();
  UpdateVisibleLines();
}

void TScrollRichEdit::changeEvent(QEvent* event) {
  QTextEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange) UpdateVisibleLines();
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
