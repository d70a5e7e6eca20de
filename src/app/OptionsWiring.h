#pragma once
// The main window's side of the options dialog: what the dialog edits (the shared state and the
// window's part of the settings: colours and hot key) and the desktop services it uses, behind
// the dialog's OptionsHost, and the dialog's life cycle (OptionsLauncher) that "&Opciones" runs.

#include <functional>
#include <memory>
#include <string>

#include "options/OptionsHost.h"

namespace pelmora {

class ConversationView;
class DesktopServices;
class FileChooser;
class LinkOpener;
class MessagingCore;
class OptionsLauncher;
class SettingsIO;

class WindowOptions : public OptionsHost {
 public:
  // `files` and `links` may be null: the Qt implementations are used then. `applyOk` is the
  // window's part of OK (run after the settings were saved); `hotKeyChanged` registers the
  // restore hot key with a new letter the dialog chose, at once.
  WindowOptions(Variables& vars, SettingsIO& settings, ConversationView& view, MessagingCore& core,
                DesktopServices& desktop, FileChooser* files, LinkOpener* links,
                std::function<void()> applyOk, std::function<void(char letter)> hotKeyChanged);
  ~WindowOptions() override;

  // The dialog's life cycle, for the tests; the window's parts use what follows.
  OptionsLauncher& Launcher() { return *launcher_; }

  // Whether the dialog is open: the launcher's answer, the only one.
  bool DialogOpen() const;
  // The open dialog to the front with the keyboard; false when none is open.
  bool BringDialogForward();
  // Closes an open dialog as Cancel and runs `next` once it has gone; at once without one.
  void CloseDialogThen(std::function<void()> next);
  // An identification answer while the dialog is open: its two name lists show the name.
  void AddToNameLists(const std::string& name);

  // "&Opciones": the dialog, modal over `parent`; OK saves the settings. Returns the dialog's
  // result (QDialog::Accepted or Rejected).
  int Open(QWidget* parent);
  // A message's sender the address book does not hold yet: stored at once, or, while the
  // dialog is open, shown in it and stored when it closes (storing it then would write the
  // dialog's unconfirmed changes with it; its Cancel keeps the name).
  void NewSender(const std::string& name);

  // --- OptionsHost -------------------------------------------------------------------------
  Variables& Vars() override { return vars_; }
  const WindowSettings& WindowPart() override;
  void SetWindowPart(const WindowSettings& settings) override;
  void RedrawConversation() override;
  const TScrollRichEdit& Pane(int which) override;
  void SendSilentWorkgroupPing() override;
  QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                         const QString& proposed) override;
  void OpenLink(QWidget* parent, const QUrl& url) override;
  void ShowError(QWidget* parent, const QString& text) override;
  void BringForward(QWidget* dialog) override;

 private:
  Variables& vars_;
  SettingsIO& settings_;
  ConversationView& view_;
  MessagingCore& core_;
  DesktopServices& desktop_;
  std::unique_ptr<FileChooser> ownFiles_;
  std::unique_ptr<LinkOpener> ownLinks_;
  FileChooser* files_;
  LinkOpener* links_;
  std::function<void()> applyOk_;
  std::function<void(char letter)> hotKeyChanged_;
  std::unique_ptr<OptionsLauncher> launcher_;
};

}  // namespace pelmora
