#pragma once
// The conversation view: three line-store panes side by side (time, "sender a recipient", text)
// moved together by one scroll bar, so an entry always starts on the same line in all three.
// It keeps the columns aligned, scrolls, clears, and copies the text column's selection.
//
// It also shows what became of the messages this machine sent to names. While any target's
// answer is awaited the entry's heading keeps the heading colour; once every target has answered
// or timed out it takes the sent colour when every target's Pelmora took the message, else the
// system colour. A colour, not a mark in the text: the heading may not grow (it would wrap and
// move the columns apart) and the stored text stays what the log file and the clipboard get.
// The heading's tool tip lists each target's fate; the pane's accessible description carries the
// latest result for a screen reader.

#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "messaging/DeliveryOutcome.h"

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

  // The language of the delivery texts, asked when they are shown (0 Spanish by default).
  std::function<int()> languageIndex;
  // The entry appended last is a message sent to `targets` (a group's as `label`), named `id`.
  void BeginDelivery(DeliveryId id, const std::string& label,
                     const std::vector<std::string>& targets);
  // The fate of message `id` at `target`. When this settles the message (or changes a settled
  // one, an answer after the time-out), the heading takes its colour and the result is returned
  // for the status bar; otherwise, or when the entry was cleared away, the result is empty.
  std::string RecordDelivery(DeliveryId id, const std::string& target, DeliveryOutcome outcome);
  // What the heading's tool tip says over stored line `line`: the fates of the sent message
  // whose entry holds the line, one a line; empty for any other line.
  std::string DeliveryDetailsAt(int line) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct SentEntry {
    DeliveryId id = 0;
    int firstLine = 0;    // the same in the three columns
    int rows = 0;         // lines of the whole entry
    int headingRows = 0;  // lines of its heading text
    DeliveryTally tally;
  };
  int Language() const { return languageIndex ? languageIndex() : 0; }

  void PaneKeyReleased(int key, Qt::KeyboardModifiers modifiers);
  void SetTopLine(int top);

  TScrollRichEdit* time_ = nullptr;
  TScrollRichEdit* headings_ = nullptr;
  TScrollRichEdit* text_ = nullptr;
  QScrollBar* bar_ = nullptr;
  // The lines of the entry appended last (firstLine -1: none since the view was cleared).
  SentEntry lastEntry_{0, -1, 0, 0, DeliveryTally({}, {})};
  std::vector<SentEntry> sent_;  // in the order of their lines
};

}  // namespace pelmora
