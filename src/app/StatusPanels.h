#pragma once
// The main window's status bar: sunken panels of fixed widths (own name, destination, clock) and
// no size grip. The last panel also takes what is left of the bar to its right: the widths were
// chosen for a narrower interface font than this platform's, and the clock would be cut.
// Texts are always shown as plain text.
//
// One panel can be a clock: its text is asked for at once when the bar shows and then at every
// change of second while the bar can be seen. A hidden bar (the window in the tray) has no clock
// timer at all, so a program waiting in the tray is not woken for a clock nobody reads.
//
// A message (what became of the last message sent) can lie over the first two panels for a
// while, as a status bar shows a passing message: those two hold short texts, and together they
// are wide enough for a sentence. It goes when its time is up, or at once when either panel
// below it gets a new text, so a change of destination or own name is never hidden.

#include <QWidget>
#include <array>
#include <functional>
#include <initializer_list>

class QLabel;
class QTimer;

namespace pelmora {

class StatusPanels : public QWidget {
  Q_OBJECT
 public:
  StatusPanels(std::initializer_list<int> widths, QWidget* parent = nullptr);

  int PanelCount() const { return count_; }
  void SetPanelText(int panel, const QString& text);
  QString PanelText(int panel) const;
  // The panel's rectangle within the bar.
  QRect PanelRect(int panel) const;

  // Panel `panel` shows `text()` and keeps it current while the bar is visible.
  void SetClock(int panel, std::function<QString()> text);
  bool ClockRunning() const;
  // Shows `text` over the first two panels for kMessageMs.
  void ShowMessage(const QString& text);
  void ClearMessage();
  // The message on show; empty when there is none.
  QString MessageText() const;
  QTimer* MessageTimer() const { return messageTimer_; }
  static constexpr int kMessageMs = 15000;

 signals:
  // A mouse button went down on the bar, at `pos` in the bar's coordinates.
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  static constexpr int kMaxPanels = 3;
  std::array<QLabel*, kMaxPanels> labels_{};
  std::array<int, kMaxPanels> widths_{};
  int count_ = 0;

  void TickClock();
  int clockPanel_ = -1;
  std::function<QString()> clockText_;
  QTimer* clockTimer_ = nullptr;

  QLabel* message_ = nullptr;
  QTimer* messageTimer_ = nullptr;
};

}  // namespace pelmora
