#pragma once
// What the windows take from the desktop around them, as small interfaces: the main window and the
// options dialog call these rather than the desktop directly, so tests give them fakes that record
// and answer, and another platform gives them its own implementation (QtDesktop.h has Qt's).

#include <QString>
#include <cstdint>
#include <optional>

class QUrl;
class QWidget;

namespace pelmora {

// The desktop session the program runs in.
class DesktopServices {
 public:
  enum class MessageKind { Information, Warning, Error };

  virtual ~DesktopServices() = default;

  // Whether a notification area exists to hold the tray icon.
  virtual bool TrayAvailable() = 0;
  // The default system sound.
  virtual void Beep() = 0;
  // A modal box with one OK button; the text is shown as plain text, never as markup.
  virtual void ShowMessage(QWidget* parent, MessageKind kind, const QString& title,
                           const QString& text) = 0;
  // A modal yes/no question, also plain text; true for yes.
  virtual bool AskYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
  // Restores `window` if it is minimised and brings it to the front with the keyboard focus.
  // Returns whether it is the active window afterwards; the desktop may refuse.
  virtual bool BringForward(QWidget* window) = 0;
  // Whether the window manager holds `window` as the active window now. Asked of the window
  // manager itself where it can be: Qt learns of a focus change a moment later.
  virtual bool IsActiveWindow(QWidget* window) = 0;

  // The window manager's name for a top-level window of any program; 0 names none.
  using WindowId = std::uint64_t;
  // The window the window manager holds as active now, whichever program shows it; 0 when it
  // cannot be known (no window manager to ask).
  virtual WindowId ActiveWindow() = 0;
  // Asks the window manager to activate window `id`, as a task bar would; false when not asked.
  virtual bool ActivateWindow(WindowId id) = 0;
  // Keeps the shown `window` out of the task bar and the pager; false when not done (not mapped
  // yet, or no window manager to ask).
  virtual bool KeepOutOfTaskBar(QWidget* window) = 0;
};

// A save-file dialog.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // `filter` in Qt's form ("Text (*.txt)"); `proposedName` is the name offered first. Nothing
  // when the user cancelled.
  virtual std::optional<QString> ChooseSaveFile(QWidget* parent, const QString& title,
                                                const QString& filter,
                                                const QString& proposedName) = 0;
};

// Opens a link (a web address, a mail address) in the desktop's program for it.
class LinkOpener {
 public:
  virtual ~LinkOpener() = default;
  // False when the desktop had nothing to open it with.
  virtual bool OpenLink(const QUrl& url) = 0;
};

}  // namespace pelmora
