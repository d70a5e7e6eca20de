#pragma once
// Small pieces the window and the options dialog share when they lay out their controls: the
// builders that place a control by its design name and geometry, and the button that turns into
// an edit field while a name is typed ("Destino", "Nuevo nombre", "Nuevo grupo").

#include <QLatin1String>
#include <QRect>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace pelmora {

// A control of type W, child of `parent`, with its object name (ASCII) and place.
template <class W>
W* MakeControl(QWidget* parent, const char* name, QRect r) {
  auto* w = new W(parent);
  w->setObjectName(QLatin1String(name));
  w->setGeometry(r);
  return w;
}

// A push button that never becomes the default button: Enter belongs to the fields beside it.
// The caption is UTF-8.
QPushButton* MakeButton(QWidget* parent, const char* name, QRect r, const char* caption = "");
QCheckBox* MakeCheck(QWidget* parent, const char* name, QRect r, const char* caption);

// The button gives its place to the edit, which lies over it, and the edit takes the focus.
void OpenButtonEdit(QWidget* button, QLineEdit* edit);
// The edit emptied and hidden, the button back in its place. With `focusButton` the button takes
// the focus before the edit hides, so the focus never passes through another control.
void CloseButtonEdit(QWidget* button, QLineEdit* edit, bool focusButton);
// A typed text that cannot be taken: a beep, and the edit stays open with the text selected, so
// the user sees what was refused and can mend it. When the focus went elsewhere the text cannot
// stay: the edit closes as with Esc.
void RefuseButtonEdit(QWidget* button, QLineEdit* edit);

// Insert and Delete on `list` act as the "new ..." and "delete ..." buttons beside it (on the
// key's release, as the original lists did).
void ActOnInsertAndDelete(QWidget* list, std::function<void()> onInsert,
                          std::function<void()> onDelete);

}  // namespace pelmora
