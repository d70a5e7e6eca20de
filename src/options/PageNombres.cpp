#include "options/PageNombres.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "messaging/Variables.h"
#include "options/OptionsHost.h"
#include "options/OptionsLogic.h"
#include "options/OptionsWidgets.h"
#include "widgets/AnsiItems.h"
#include "widgets/Controls.h"

namespace pelmora {

PageNombres::PageNombres(OptionsHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("TabNombres"));
  ui_.LNombres = MakeControl<QListWidget>(this, "LNombres", QRect(8, 8, 161, 233));
  ui_.LNombres->setUniformItemSizes(true);
  ActOnInsertAndDelete(
      ui_.LNombres, [this] { BNuevo_nombreClick(); }, [this] { BBorrar_nombreClick(); });
  ui_.BNuevo_nombre = MakeButton(this, "BNuevo_nombre", QRect(208, 48, 105, 25), "&Nuevo nombre");
  ui_.ENuevo_nombre =
      MakeControl<options::EntryEdit>(this, "ENuevo_nombre", QRect(208, 50, 105, 21));
  ui_.ENuevo_nombre->hide();
  ui_.BBorrar_nombre =
      MakeButton(this, "BBorrar_nombre", QRect(208, 104, 105, 25), "&Borrar nombre");
  ui_.BBorrar_nombres =
      MakeButton(this, "BBorrar_nombres", QRect(208, 152, 105, 25), "Borrar &todos");
  ui_.BPing_All = MakeButton(this, "BPing_All", QRect(208, 208, 105, 25), "Ping");
  ui_.LAlt = MakeControl<QLabel>(this, "LAlt", QRect(8, 272, 34, 15));
  ui_.LAlt->setText(QStringLiteral("Alt + "));
  ui_.CBNumeros = MakeControl<QComboBox>(this, "CBNumeros", QRect(44, 270, 53, 21));
  for (int n = 0; n < kQuickDestinationCount; ++n) ui_.CBNumeros->addItem(QString::number(n));
  ui_.LAlt->setBuddy(ui_.CBNumeros);
  ui_.CBNombresGrupos = MakeControl<QComboBox>(this, "CBNombresGrupos", QRect(152, 270, 145, 21));
  ui_.CBNombresGrupos->hide();
  ui_.CBTipoDestino = MakeControl<QComboBox>(this, "CBTipoDestino", QRect(8, 304, 145, 21));
  ui_.CBTipoDestino->addItem(QStringLiteral("- - - - -"));
  ui_.CBTipoDestino->addItem(QStringLiteral("Nombres"));
  ui_.CBTipoDestino->addItem(QStringLiteral("Grupos"));
  ui_.TimerPing = new QTimer(this);
  ui_.TimerPing->setObjectName(QStringLiteral("TimerPing"));
  ui_.TimerPing->setInterval(100);

  connect(ui_.BNuevo_nombre, &QPushButton::clicked, this, [this] { BNuevo_nombreClick(); });
  connect(ui_.ENuevo_nombre, &options::EntryEdit::Committed, this,
          [this] { ENuevo_nombreCommitted(); });
  connect(ui_.ENuevo_nombre, &options::EntryEdit::Cancelled, this,
          [this] { ENuevo_nombreCancelled(); });
  connect(ui_.BBorrar_nombre, &QPushButton::clicked, this, [this] { BBorrar_nombreClick(); });
  connect(ui_.BBorrar_nombres, &QPushButton::clicked, this, [this] { BBorrar_nombresClick(); });
  connect(ui_.BPing_All, &QPushButton::clicked, this, [this] { BPing_AllClick(); });
  connect(ui_.TimerPing, &QTimer::timeout, this, [this] { TimerPingTimer(); });
  connect(ui_.CBNumeros, &QComboBox::activated, this,
          [this] { CBDestinoRapidoChange(RefreshBy::Number); });
  connect(ui_.CBTipoDestino, &QComboBox::activated, this,
          [this] { CBDestinoRapidoChange(RefreshBy::Kind); });
  connect(ui_.CBNombresGrupos, &QComboBox::activated, this,
          [this](int i) { CBNombresGruposChange(i); });
}

void PageNombres::Fill() {
  ui_.LNombres->clear();
  FillList(ui_.LNombres, host_.Vars().NameList.Items(), false);
  ui_.CBNumeros->setCurrentIndex(0);
  ui_.CBTipoDestino->setCurrentIndex(host_.Vars().QuickDestinations[0].Kind);
  CBDestinoRapidoChange(RefreshBy::Dialog);
}

void PageNombres::ApplyLanguage(int l) {
  auto t = [l](int row) { return ToQ(LocalText(row, l)); };
  ui_.CBTipoDestino->setItemText(1, t(37));
  ui_.CBTipoDestino->setItemText(2, t(38));
  ui_.BNuevo_nombre->setText(t(39));
  ui_.BBorrar_nombre->setText(t(40));
  ui_.BBorrar_nombres->setText(t(41));
  ui_.BPing_All->setText(t(42));
  // Names for assistive tools, which read controls by what a sighted user sees beside them.
  ui_.LNombres->setAccessibleName(t(37));
  ui_.ENuevo_nombre->setAccessibleName(ToQ(StripAmpersands(LocalText(39, l))));
  ui_.CBTipoDestino->setAccessibleName(QStringLiteral("Alt + ") + ui_.CBNumeros->currentText());
  ui_.CBNombresGrupos->setAccessibleName(t(37) + QStringLiteral(" / ") + t(38));
}

void PageNombres::BNuevo_nombreClick() { OpenButtonEdit(ui_.BNuevo_nombre, ui_.ENuevo_nombre); }

void PageNombres::ENuevo_nombreCommitted() {
  const options::TypedEntry e = options::ReadTypedName(FromQ(ui_.ENuevo_nombre->text()));
  if (e.outcome == options::Typed::Refused) {
    RefuseButtonEdit(ui_.BNuevo_nombre, ui_.ENuevo_nombre);
    return;
  }
  if (e.outcome == options::Typed::Cancel) {
    ENuevo_nombreCancelled();
    return;
  }
  CloseButtonEdit(ui_.BNuevo_nombre, ui_.ENuevo_nombre, ui_.ENuevo_nombre->hasFocus());
  host_.Vars().NameList.Add(e.name);
  AddToList(e.name);
}

void PageNombres::ENuevo_nombreCancelled() {
  CloseButtonEdit(ui_.BNuevo_nombre, ui_.ENuevo_nombre, ui_.ENuevo_nombre->hasFocus());
}

void PageNombres::AddToList(const std::string& name) {
  if (FindRow(ui_.LNombres, name) < 0) {
    InsertSorted(ui_.LNombres, MakeItem(name));
  }
  emit NameAdded(name);
}

void PageNombres::AddAnsweredName(const std::string& name) { AddToList(name); }

void PageNombres::BBorrar_nombreClick() {
  const int row = ui_.LNombres->currentRow();
  if (ui_.LNombres->count() == 0 || row < 0 || !ui_.LNombres->currentItem()->isSelected()) return;
  const std::string name = ItemAnsi(ui_.LNombres, row);
  delete ui_.LNombres->takeItem(row);
  emit NameRemovedAt(row);
  options::DeleteName(host_.Vars(), name);
  ui_.LNombres->setCurrentRow(-1);
}

void PageNombres::BBorrar_nombresClick() {
  ui_.LNombres->clear();
  emit NamesCleared();
  options::DeleteAllNames(host_.Vars());
}

void PageNombres::BPing_AllClick() {
  pingTicks_ = 0;
  ui_.TimerPing->start();
}

void PageNombres::StopPings() { ui_.TimerPing->stop(); }

void PageNombres::TimerPingTimer() {
  ++pingTicks_;
  if (pingTicks_ > 2) ui_.TimerPing->stop();
  host_.SendSilentWorkgroupPing();
}

std::vector<std::string> PageNombres::QuickEntries(int kind) const {
  if (kind == qdName) return host_.Vars().NameList.Items();
  std::vector<std::string> groups;
  if (kind == qdGroup) {
    const TGrupos& g = host_.Vars().GroupList;
    groups.reserve(static_cast<std::size_t>(g.Count()));
    for (int i = 0; i < g.Count(); ++i) groups.push_back(g.Item(i).Name());
  }
  return groups;
}

void PageNombres::CBDestinoRapidoChange(RefreshBy sender) {
  const int n = std::max(0, ui_.CBNumeros->currentIndex());
  QuickDestination& d = host_.Vars().QuickDestinations[static_cast<std::size_t>(n)];
  if (sender == RefreshBy::Number) ui_.CBTipoDestino->setCurrentIndex(d.Kind);
  ui_.CBTipoDestino->setAccessibleName(QStringLiteral("Alt + ") + ui_.CBNumeros->currentText());
  const int kind = ui_.CBTipoDestino->currentIndex();
  if (kind <= qdNone) {
    if (sender == RefreshBy::Kind) d.Kind = qdNone;
    ui_.CBNombresGrupos->hide();
    return;
  }
  const std::vector<std::string> entries = QuickEntries(kind);
  ui_.CBNombresGrupos->setUpdatesEnabled(false);
  ui_.CBNombresGrupos->clear();
  for (const std::string& e : entries) AddItem(ui_.CBNombresGrupos, e);
  ui_.CBNombresGrupos->setUpdatesEnabled(true);
  ui_.CBNombresGrupos->show();
  // Only the user's choice of a kind may rewrite the name; merely showing an entry whose name is
  // no longer listed leaves it alone (nothing is selected then).
  const int row = sender == RefreshBy::Kind ? options::QuickDestinationKindChosen(d, kind, entries)
                                            : options::QuickDestinationShown(d, entries);
  ui_.CBNombresGrupos->setCurrentIndex(row);
}

void PageNombres::CBNombresGruposChange(int index) {
  if (index < 0) return;
  const int n = std::max(0, ui_.CBNumeros->currentIndex());
  host_.Vars().QuickDestinations[static_cast<std::size_t>(n)].Name =
      ItemAnsi(ui_.CBNombresGrupos, index);
}

}  // namespace pelmora
