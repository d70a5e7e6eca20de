#pragma once
// Holds the main window's repaint back for a moment after a send, while the channel answers are
// on their way. Drawing the sent line and the closed compose box takes longer on a busy machine
// than the answer takes to come, and the answer, with the message that follows it, would wait
// behind it: the delivery goes first, the screen right after. The window is drawn as soon as the
// answers are in, and never later than kLongestMs after the send, well within one screen frame.

#include <QObject>

class QTimer;
class QWidget;

namespace pelmora {

class RepaintHold : public QObject {
 public:
  static constexpr int kLongestMs = 10;

  explicit RepaintHold(QWidget* window, int longestMs = kLongestMs);

  // A send has asked for its answers. A hold already running keeps its end: a stream of sends
  // never keeps the window from being drawn for longer than kLongestMs.
  void Hold();
  // The answers are in: the window is drawn now if it asked to be.
  void Release();
  bool Holding() const { return holding_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  QTimer* limit_;
  int longestMs_;
  bool holding_ = false;
  bool repaintAsked_ = false;
};

}  // namespace pelmora
