#pragma once
// The main window's side of the options dialog: what the dialog edits (the shared state, the
// conversation panes, the hot key) and the desktop services it uses, behind the dialog's
// OptionsHost, and the dialog's life cycle (TOptionsLauncher) that "&Opciones" runs.

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

class TWindowOptions : public OptionsHost {
 public:
  // `files` and `links` may be null: the Qt implementations are used then.
  TWindowOptions(Variables& vars, ConversationView& view, MessagingCore& core,
                 DesktopServices& desktop, FileChooser* files, LinkOpener* links);
  ~TWindowOptions() override;

  // The restore hot key's current key name and setting a new letter. Until they are given, the
  // letter is only remembered here.
  std::function<std::string()> hotKeyName;
  std::function<void(const std::string& letter)> setHotKeyLetter;

  TOptionsLauncher& Launcher() { return *launcher_; }
  // The window's part of OK, run by the launcher.
  void SetApplyOk(std::function<void()> applyOk);

  // --- OptionsHost -------------------------------------------------------------------------
  Variables& Vars() override { return vars_; }
  TScrollRichEdit& Pane(int which) override;
  void RedrawConversation() override;
  std::string HotKeyName() override;
  void SetHotKeyLetter(const std::string& letter) override;
  void SendSilentWorkgroupPing() override;
  QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                         const QString& proposed) override;
  void OpenLink(QWidget* parent, const QUrl& url) override;
  void ShowError(QWidget* parent, const QString& text) override;

 private:
  Variables& vars_;
  ConversationView& view_;
  MessagingCore& core_;
  DesktopServices& desktop_;
  std::unique_ptr<FileChooser> ownFiles_;
  std::unique_ptr<LinkOpener> ownLinks_;
  FileChooser* files_;
  LinkOpener* links_;
  std::string letter_ = "N";
  std::function<void()> applyOk_;
  std::unique_ptr<TOptionsLauncher> launcher_;
};

}  // namespace pelmora
