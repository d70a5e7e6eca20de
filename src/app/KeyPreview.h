#pragma once
// The window's keys, seen before any control: Alt+P and Alt+F1 ping the destination, Alt+digit
// selects a quick destination, Esc sends the window away (except in the fields that take Esc
// themselves). An event filter turns them into signals; the window decides what they do. A window
// key never reaches the focused control. Enter on a focused push button presses it.

#include <QObject>
#include <QPointer>
#include <functional>

class QKeyEvent;
class QWidget;

namespace pelmora {

class KeyPreview : public QObject {
  Q_OBJECT

 public:
  // Watches every key of `window` and its controls; the filter sits on the application, so it
  // sees a key before the focused control does.
  explicit KeyPreview(QWidget* window);
  ~KeyPreview() override;

  // Whether the ping and quick-destination keys are on (they are off in the typed-destination
  // layout). Null: always on.
  std::function<bool()> windowKeysActive;
  // Whether the control `w` takes Esc itself (a compose box, a name field). Null: none does.
  std::function<bool(const QWidget* w)> takesOwnEscape;

 signals:
  void pingKey();
  void quickDestinationKey(int index);
  // Esc pressed on `target`, which does not take it itself.
  void escapeKey();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool WindowKey(const QKeyEvent* e);
  bool EnterOnButton(const QKeyEvent* e, QWidget* target);
  bool EscapeKey(const QKeyEvent* e, const QWidget* target);

  QWidget* window_;
  // The key press being previewed: a key a control ignores travels on to its parents, and the
  // window must act on it only once.
  const QEvent* previewedPress_ = nullptr;
  quint64 previewedTime_ = 0;      // its time stamp: a new press from the keyboard has its own
  QPointer<QWidget> previewedAt_;  // the widget the previewed press was last seen at
};

}  // namespace pelmora
