#pragma once
// The conversation view: three line-store panes side by side (time, "sender a recipient", text)
// moved together by one scroll bar, so an entry always starts on the same line in all three.
// It keeps the columns aligned, scrolls, clears, and copies the text column's selection.

#include <QObject>
#include <string>

class QFont;
class QScrollBar;
class QWidget;

namespace pelmora {

class TScrollRichEdit;

class ConversationView : public QObject {
  Q_OBJECT

 public:
  // Creates the panes and the scroll bar as children of `parent`, at their places in it.
  ConversationView(QWidget* parent, const QFont& paneFont);

  TScrollRichEdit* TimePane() const { return time_; }
  TScrollRichEdit* HeadingPane() const { return headings_; }
  TScrollRichEdit* TextPane() const { return text_; }
  QScrollBar* ScrollBar() const { return bar_; }

  // One entry: `time` in the time column, `heading` in the middle, `text` in the text column
  // coloured by `paletteIndex` (clamped to a byte). Every column is then filled up to the
  // tallest one, and the view scrolls to the end unless the user holds the bar elsewhere.
  void Append(const std::string& time, const std::string& heading, const std::string& text,
              int paletteIndex);
  // Keeps the three panes and the scroll bar in step; `sender` is the scroll bar when the user
  // moved it (the position then stays where the user put it).
  void Actualizar_memos(QObject* sender);
  void ScrollBy(int lines);
  // "Borrar todo": every line goes, and the scroll range with them.
  void Clear();
  // The palettes back to their defaults, before the settings put theirs in.
  void ResetColors();

  // Copies the text column's selection; with nothing selected the clipboard is left alone.
  void CopyTextSelection();
  // Removes every CR LF pair from the clipboard's text.
  static void JoinClipboardLines();

 private:
  void PaneKeyReleased(int key, Qt::KeyboardModifiers modifiers);
  void SetTopLine(int top);

  TScrollRichEdit* time_ = nullptr;
  TScrollRichEdit* headings_ = nullptr;
  TScrollRichEdit* text_ = nullptr;
  QScrollBar* bar_ = nullptr;
};

}  // namespace pelmora
