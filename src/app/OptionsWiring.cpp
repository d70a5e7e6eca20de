#include "app/OptionsWiring.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>

#include "app/ConversationView.h"
#include "app/SettingsIO.h"
#include "messaging/MessagingCore.h"
#include "options/OptionsLauncher.h"
#include "options/VOpciones.h"
#include "widgets/QtDesktop.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora {

WindowOptions::WindowOptions(Variables& vars, SettingsIO& settings, ConversationView& view,
                             MessagingCore& core, DesktopServices& desktop, FileChooser* files,
                             LinkOpener* links, std::function<void()> applyOk,
                             std::function<void(char letter)> hotKeyChanged)
    : vars_(vars),
      settings_(settings),
      view_(view),
      core_(core),
      desktop_(desktop),
      files_(files),
      links_(links),
      applyOk_(std::move(applyOk)),
      hotKeyChanged_(std::move(hotKeyChanged)) {
  if (files_ == nullptr) {
    ownFiles_ = std::make_unique<QtFileChooser>();
    files_ = ownFiles_.get();
  }
  if (links_ == nullptr) {
    ownLinks_ = std::make_unique<QtLinkOpener>();
    links_ = ownLinks_.get();
  }
  launcher_ = std::make_unique<OptionsLauncher>(*this, [this] {
    settings_.Save();
    if (applyOk_) applyOk_();
  });
}

WindowOptions::~WindowOptions() = default;

int WindowOptions::Open(QWidget* parent) {
  const int result = launcher_->BOpcionesClick(parent);
  // Senders that wrote while the dialog was open were kept out of the file until now; OK has
  // saved them with everything else.
  if (result != QDialog::Accepted && !launcher_->ArrivedSenders().empty()) settings_.Save();
  return result;
}

bool WindowOptions::DialogOpen() const { return launcher_->IsOpen(); }

bool WindowOptions::BringDialogForward() { return launcher_->BringForward(); }

void WindowOptions::CloseDialogThen(std::function<void()> next) {
  launcher_->CloseThen(std::move(next));
}

void WindowOptions::AddToNameLists(const std::string& name) { launcher_->AddToNameLists(name); }

void WindowOptions::NewSender(const std::string& name) {
  if (!DialogOpen()) {
    settings_.RememberSender(name);
    return;
  }
  vars_.NameList.Add(name);
  launcher_->AddToNameLists(name);
  launcher_->SenderArrived(name);
}

const WindowSettings& WindowOptions::WindowPart() { return settings_.Window(); }

void WindowOptions::SetWindowPart(const WindowSettings& settings) {
  const char before = settings_.HotKeyLetter();
  settings_.SetWindow(settings);
  if (settings.HotKeyLetter != before && hotKeyChanged_) hotKeyChanged_(settings.HotKeyLetter);
}

void WindowOptions::RedrawConversation() { view_.Actualizar_memos(nullptr); }

const TScrollRichEdit& WindowOptions::Pane(int which) {
  switch (which) {
    case 0:
      return *view_.TimePane();
    case 1:
      return *view_.HeadingPane();
    default:
      return *view_.TextPane();
  }
}

void WindowOptions::SendSilentWorkgroupPing() { core_.SendSilentWorkgroupPing(); }

QString WindowOptions::ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                                      const QString& proposed) {
  // A bare proposed name is offered in the home folder: the program's working folder is
  // wherever the desktop started it, often one the user cannot write to.
  const QString offered =
      QFileInfo(proposed).isRelative() ? QDir::home().filePath(proposed) : proposed;
  return files_->ChooseSaveFile(parent, title, filter, offered).value_or(QString());
}

void WindowOptions::OpenLink(QWidget*, const QUrl& url) {
  links_->OpenLink(url);  // a desktop without a handler for it: nothing happens, as intended
}

void WindowOptions::ShowError(QWidget* parent, const QString& text) {
  // No title of its own: the desktop shows the program's name there.
  desktop_.ShowMessage(parent, DesktopServices::MessageKind::Error, QString(), text);
}

void WindowOptions::BringForward(QWidget* dialog) { desktop_.BringForward(dialog); }

}  // namespace pelmora
