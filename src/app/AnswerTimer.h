#pragma once
// The main window's 200 ms timer of the channel-answer deadlines. It runs only while a message
// waits for an answer: armed when the messaging core sets a deadline, stopped at the first tick
// that finds none left. A program with nothing queued has no timer at all.

#include <QObject>
#include <functional>

class QTimer;

namespace pelmora {

class AnswerTimer : public QObject {
  Q_OBJECT
 public:
  static constexpr int kIntervalMs = 200;

  // `check` runs at every tick (the core's deadline check); `pending` says whether any deadline
  // is left afterwards.
  AnswerTimer(std::function<void()> check, std::function<bool()> pending,
              QObject* parent = nullptr);

  // A deadline was set. A running timer keeps its phase: restarting it at every queued message
  // would hold the check back for as long as messages keep coming.
  void Arm();
  QTimer& Timer() const { return *timer_; }

 private:
  void Tick();

  std::function<void()> check_;
  std::function<bool()> pending_;
  QTimer* timer_;
};

}  // namespace pelmora
