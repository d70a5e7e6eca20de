#pragma once
// What the options dialog takes from the program around it. The dialog has no copy of the
// options: every control writes straight into the shared state or the window's part of the
// settings through this interface the moment the user changes it. The main window implements it;
// the tests give a fake.

#include <QString>
#include <QUrl>
#include <string>

#include "messaging/Settings.h"
#include "messaging/Variables.h"

class QWidget;

namespace pelmora {

class TScrollRichEdit;

class OptionsHost {
 public:
  virtual ~OptionsHost() = default;

  virtual Variables& Vars() = 0;

  // The window's part of the settings: the conversation's background and palette and the
  // letter of the hot key. Setting it puts the colours into the panes at once and registers a
  // new letter system-wide at once.
  virtual const WindowSettings& WindowPart() = 0;
  virtual void SetWindowPart(const WindowSettings& settings) = 0;
  // Redraws the conversation view, so that palette changes show on the lines already there.
  virtual void RedrawConversation() = 0;
  // The three panes of the conversation view (0 time, 1 headings, 2 texts), read to save the
  // conversation into a file.
  virtual const TScrollRichEdit& Pane(int which) = 0;

  // One silent identification request to the own workgroup (the names page's ping).
  virtual void SendSilentWorkgroupPing() = 0;

  // A file save dialog; an empty string when the user cancelled. No extension is added to a
  // typed name and an existing file is replaced without asking.
  virtual QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& proposed) = 0;
  // Opens a web or mailto link with the desktop's default handler; failures are ignored.
  virtual void OpenLink(QWidget* parent, const QUrl& url) = 0;
  // A modal error box over `parent`.
  virtual void ShowError(QWidget* parent, const QString& text) = 0;
  // The open `dialog` to the front with the keyboard focus.
  virtual void BringForward(QWidget* dialog) = 0;
};

}  // namespace pelmora
