#include "app/OptionsWiring.h"

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

TWindowOptions::TWindowOptions(Variables& vars, TSettingsIO& settings, ConversationView& view,
                               MessagingCore& core, DesktopServices& desktop, FileChooser* files,
                               LinkOpener* links)
    : vars_(vars),
      settings_(settings),
      view_(view),
      core_(core),
      desktop_(desktop),
      files_(files),
      links_(links) {
  if (files_ == nullptr) {
    ownFiles_ = std::make_unique<QtFileChooser>();
    files_ = ownFiles_.get();
  }
  if (links_ == nullptr) {
    ownLinks_ = std::make_unique<QtLinkOpener>();
    links_ = ownLinks_.get();
  }
  launcher_ = std::make_unique<TOptionsLauncher>(*this, [this] {
    if (applyOk_) applyOk_();
  });
}

TWindowOptions::~TWindowOptions() = default;

void TWindowOptions::SetApplyOk(std::function<void()> applyOk) { applyOk_ = std::move(applyOk); }

const WindowSettings& TWindowOptions::WindowPart() { return settings_.Window(); }

void TWindowOptions::SetWindowPart(const WindowSettings& settings) {
  const char before = settings_.HotKeyLetter();
  settings_.SetWindow(settings);
  if (settings.HotKeyLetter != before && hotKeyChanged) hotKeyChanged(settings.HotKeyLetter);
}

void TWindowOptions::RedrawConversation() { view_.Actualizar_memos(nullptr); }

const TScrollRichEdit& TWindowOptions::Pane(int which) {
  switch (which) {
    case 0: return *view_.TimePane();
    case 1: return *view_.HeadingPane();
    default: return *view_.TextPane();
  }
}

void TWindowOptions::SendSilentWorkgroupPing() { core_.SendSilentWorkgroupPing(); }

QString TWindowOptions::ChooseSaveFile(QWidget* parent, const QString& title,
                                       const QString& filter, const QString& proposed) {
  // A bare proposed name is offered in the home folder: the program's working folder is
  // wherever the desktop started it, often one the user cannot write to.
  const QString offered =
      QFileInfo(proposed).isRelative() ? QDir::home().filePath(proposed) : proposed;
  return files_->ChooseSaveFile(parent, title, filter, offered).value_or(QString());
}

void TWindowOptions::OpenLink(QWidget*, const QUrl& url) {
  links_->OpenLink(url);  // a desktop without a handler for it: nothing happens, as intended
}

void TWindowOptions::ShowError(QWidget* parent, const QString& text) {
  // No title of its own: the desktop shows the program's name there.
  desktop_.ShowMessage(parent, DesktopServices::MessageKind::Error, QString(), text);
}

}  // namespace pelmora
