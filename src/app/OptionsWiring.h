#pragma once
// The main window's side of the options dialog: what the dialog edits (the shared state and the
// window's part of the settings: colours and hot key) and the desktop services it uses, behind
// the dialog's OptionsHost, and the dialog's life cycle (TOptionsLauncher) that "&Opciones" runs.

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
class TOptionsLauncher;
class TSettingsIO;

class TWindowOptions : public OptionsHost {
 public:
  // `files` and `links` may be null: the Qt implementations are used then.
  TWindowOptions(Variables& vars, TSettingsIO& settings, ConversationView& view,
                 MessagingCore& core, DesktopServices& desktop, FileChooser* files,
                 LinkOpener* links);
  ~TWindowOptions() override;

  // Registers the restore hot key with a new letter, when the dialog changed it.
  std::function<void(char letter)> hotKeyChanged;

  TOptionsLauncher& Launcher() { return *launcher_; }
  // The window's part of OK, run by the launcher.
  void SetApplyOk(std::function<void()> applyOk);

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

 private:
  Variables& vars_;
  TSettingsIO& settings_;
  ConversationView& view_;
  MessagingCore& core_;
  DesktopServices& desktop_;
  std::unique_ptr<FileChooser> ownFiles_;
  std::unique_ptr<LinkOpener> ownLinks_;
  FileChooser* files_;
  LinkOpener* links_;
  std::function<void()> applyOk_;
  std::unique_ptr<TOptionsLauncher> launcher_;
};

}  // namespace pelmora
