#include "app/TrayMenu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "messaging/TextTable.h"
#include "widgets/AnsiText.h"
#include "widgets/CoolTrayIcon.h"
#include "widgets/Desktop.h"
#include "widgets/PelmoraIcon.h"

namespace pelmora {

namespace {
constexpr const char* kTrayHint = "Pelmora";
}  // namespace

TrayMenu::TrayMenu(QWidget* window, DesktopServices& desktop, bool withIcon)
    : QObject(window), window_(window), desktop_(desktop) {
  menu_ = new QMenu(window);
  menu_->setObjectName(QStringLiteral("PopupMenu"));
  // Design texts; the language step puts the localised ones in at start.
  restaurar1_ = menu_->addAction(ToQ(LocalText(kRowRestaurar, kLanguageSpanish)));
  restaurar1_->setObjectName(QStringLiteral("Restaurar1"));
  n1_ = menu_->addSeparator();
  cerrar1_ = menu_->addAction(ToQ(LocalText(kRowCerrar, kLanguageSpanish)));
  cerrar1_->setObjectName(QStringLiteral("Cerrar1"));
  connect(restaurar1_, &QAction::triggered, this, &TrayMenu::firstEntryChosen);
  connect(cerrar1_, &QAction::triggered, this, &TrayMenu::closeChosen);

  if (withIcon) {
    icon_ = new TCoolTrayIcon(window);
    icon_->setObjectName(QStringLiteral("TrayIcon"));
    icon_->SetCycleInterval(0);
    icon_->SetHint(kTrayHint);
    icon_->SetShowHint(true);
    icon_->SetIcon(PelmoraIcon());
    icon_->SetPopupMenu(menu_);
    icon_->SetStartMinimized(true);
    icon_->SetMinimizeToTray(true);
    connect(icon_, &TCoolTrayIcon::OnClick, this, &TrayMenu::iconClicked);
  }
}

void TrayMenu::Loaded() {
  if (icon_) icon_->Loaded();
}

void TrayMenu::SetFirstEntryText(const std::string& ansi) { restaurar1_->setText(ToQ(ansi)); }

void TrayMenu::SetCloseEntryText(const std::string& ansi) { cerrar1_->setText(ToQ(ansi)); }

void TrayMenu::SetHint(const std::string& ansi) {
  if (icon_) icon_->SetHint(ansi.empty() ? std::string(kTrayHint) : ansi);
}

void TrayMenu::ShowWindow() {
  if (icon_) {
    icon_->ShowMainForm();
  } else {
    window_->showNormal();
  }
}

void TrayMenu::HideWindow() {
  if (TrayMissing()) {
    window_->showMinimized();
  } else if (icon_) {
    icon_->HideMainForm();
  } else {
    window_->hide();
  }
}

bool TrayMenu::TrayMissing() const { return icon_ && !desktop_.TrayAvailable(); }

void TrayMenu::KeepOnTaskBar() {
  if (icon_) icon_->SetMinimizeToTray(false);
}

}  // namespace pelmora
