#include "options/OptionsLauncher.h"

#include <QDialog>
#include <QTimer>

#include "options/OptionsHost.h"
#include "options/VOpciones.h"

namespace pelmora {

OptionsLauncher::OptionsLauncher(OptionsHost& host, std::function<void()> applyOk, QObject* parent)
    : QObject(parent), host_(host), applyOk_(std::move(applyOk)) {}

OptionsLauncher::~OptionsLauncher() = default;

int OptionsLauncher::BOpcionesClick(QWidget* parent) {
  if (dialog_) return QDialog::Rejected;
  Variables& vars = host_.Vars();
  snapshot_ = CaptureSettings(vars, host_.WindowPart());
  arrivedSenders_.clear();

  auto* dlg = new TVOpciones(host_, parent);
  dialog_ = dlg;
  vars.OptionsOpen = true;
  emit Opened(dlg);
  const int result = dlg->exec();

  if (result == QDialog::Accepted) {
    if (applyOk_) applyOk_();
  } else {
    // The Cancel button, the close box, or the program ending underneath.
    RestoreOnCancel();
  }
  // Released once its own pending events are processed; each opening makes a fresh one.
  dialog_ = nullptr;
  dlg->deleteLater();
  vars.OptionsOpen = false;

  if (!afterClose_.empty()) {
    auto next = std::move(afterClose_);
    afterClose_.clear();
    for (auto& f : next) QTimer::singleShot(0, this, std::move(f));
  }
  return result;
}

void OptionsLauncher::RestoreOnCancel() {
  Variables& vars = host_.Vars();
  WindowSettings window;
  ApplySettings(snapshot_, vars, window);
  for (const std::string& name : arrivedSenders_) vars.NameList.Add(name);
  host_.SetWindowPart(window);
  // The lines already shown take the colours back at once, as after OK.
  host_.RedrawConversation();
}

bool OptionsLauncher::BringForward() {
  if (!dialog_) return false;
  host_.BringForward(dialog_);
  return true;
}

void OptionsLauncher::CloseThen(std::function<void()> next) {
  if (!dialog_) {
    if (next) next();
    return;
  }
  if (next) afterClose_.push_back(std::move(next));
  dialog_->reject();
}

void OptionsLauncher::AddToNameLists(const std::string& name) {
  if (dialog_) dialog_->AddToNameLists(name);
}

void OptionsLauncher::SenderArrived(const std::string& name) {
  if (dialog_ && !name.empty()) arrivedSenders_.push_back(name);
}

}  // namespace pelmora
