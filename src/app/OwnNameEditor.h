#pragma once
// The hidden gesture that changes the name this machine sends under, for the rest of the run:
// a right click with Ctrl and Alt held on the status bar opens a small field over the lower left
// of the window, prefilled with the current name. Enter takes the typed name, Esc leaves; the
// field cannot be left any other way (Tab), and clicks on the window's other controls are
// swallowed while it is open. The name is not stored: the next
// start takes the computer name again.

#include <QObject>
#include <functional>

class QLineEdit;

namespace pelmora {

struct Variables;

class OwnNameEditor : public QObject {
  Q_OBJECT
 public:
  // `field` is the window's ECambioNombre, hidden while idle. `returnFocus` puts the focus back
  // into the compose area of the current layout.
  OwnNameEditor(QLineEdit* field, Variables& vars, std::function<void()> returnFocus,
                QObject* parent = nullptr);
  ~OwnNameEditor() override;

  // A mouse button went down on the status bar.
  void StatusBarMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  bool Editing() const;

 signals:
  // OwnName holds a new name: status panel 0 shows it.
  void OwnNameChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Enter (kKeyEnter) or Esc (kKeyEscape) in the field.
  void ECambioNombreKeyPress(int key);
  // The field lost the focus.
  void ECambioNombreExit();
  // Whether `event` on `watched` is a click or shortcut on another control of the window while
  // the field is open.
  bool SwallowedElsewhere(QObject* watched, const QEvent* event) const;

  QLineEdit* field_;
  Variables& vars_;
  std::function<void()> returnFocus_;
  // Set by Enter or Esc until the field has let the focus go: the only way out of the field.
  bool NameEditPending = false;
};

}  // namespace pelmora
