#include "options/PageGrupos.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

#include "messaging/Variables.h"
#include "options/OptionsHost.h"
#include "options/OptionsLogic.h"
#include "options/OptionsWidgets.h"
#include "widgets/AnsiItems.h"
#include "widgets/Controls.h"

namespace pelmora {

namespace {

// Rows of a check list as high as the check box needs with a little air: rows sized to the
// text alone (14 pixels with the dialog's font) put the boxes against each other and the first
// against the list's frame.
class CheckRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QWidget* list = option.widget;
    const QStyle* style = list != nullptr ? list->style() : QApplication::style();
    const int indicator = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, list);
    size.setHeight(std::max(size.height(), indicator + 4));
    return size;
  }
};

}  // namespace

PageGrupos::PageGrupos(OptionsHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("TabGrupos"));
  ui_.LGrupos = MakeControl<QListWidget>(this, "LGrupos", QRect(8, 8, 153, 249));
  ui_.LGrupos->setUniformItemSizes(true);
  ActOnInsertAndDelete(
      ui_.LGrupos, [this] { BNuevo_grupoClick(); }, [this] { BBorrar_grupoClick(); });
  ui_.CLNombres = MakeControl<QListWidget>(this, "CLNombres", QRect(168, 8, 153, 249));
  ui_.CLNombres->setUniformItemSizes(true);
  ui_.CLNombres->setItemDelegate(new CheckRowDelegate(ui_.CLNombres));
  ui_.BNuevo_grupo = MakeButton(this, "BNuevo_grupo", QRect(32, 272, 105, 25), "&Nuevo grupo");
  ui_.ENuevo_grupo = MakeControl<options::EntryEdit>(this, "ENuevo_grupo", QRect(32, 274, 105, 21));
  ui_.ENuevo_grupo->hide();
  ui_.BBorrar_grupo = MakeButton(this, "BBorrar_grupo", QRect(184, 272, 113, 25), "&Borrar grupo");

  connect(ui_.LGrupos, &QListWidget::itemSelectionChanged, this, [this] { LGruposClick(); });
  connect(ui_.CLNombres, &QListWidget::itemChanged, this,
          [this](QListWidgetItem* item) { CLNombresClick(item); });
  connect(ui_.BNuevo_grupo, &QPushButton::clicked, this, [this] { BNuevo_grupoClick(); });
  connect(ui_.ENuevo_grupo, &options::EntryEdit::Committed, this,
          [this] { ENuevo_grupoCommitted(); });
  connect(ui_.ENuevo_grupo, &options::EntryEdit::Cancelled, this,
          [this] { ENuevo_grupoCancelled(); });
  connect(ui_.BBorrar_grupo, &QPushButton::clicked, this, [this] { BBorrar_grupoClick(); });
}

void PageGrupos::Fill() {
  const Variables& v = host_.Vars();
  settingChecks_ = true;
  ui_.CLNombres->clear();
  FillList(ui_.CLNombres, v.NameList.Items(), true);
  settingChecks_ = false;
  const QSignalBlocker block(ui_.LGrupos);
  ui_.LGrupos->clear();
  for (int i = 0; i < v.GroupList.Count(); ++i) {
    ui_.LGrupos->addItem(MakeItem(v.GroupList.Item(i).Name()));
  }
  ui_.LGrupos->setCurrentRow(-1);
}

void PageGrupos::ApplyLanguage(int l) {
  ui_.BNuevo_grupo->setText(ToQ(LocalText(43, l)));
  ui_.BBorrar_grupo->setText(ToQ(LocalText(44, l)));
  ui_.LGrupos->setAccessibleName(ToQ(LocalText(38, l)));
  ui_.CLNombres->setAccessibleName(ToQ(LocalText(37, l)));
  ui_.ENuevo_grupo->setAccessibleName(ToQ(StripAmpersands(LocalText(43, l))));
}

void PageGrupos::NameAdded(const std::string& name) {
  if (FindRow(ui_.CLNombres, name) >= 0) return;
  QListWidgetItem* item = MakeItem(name);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  settingChecks_ = true;
  item->setCheckState(Qt::Unchecked);
  InsertSorted(ui_.CLNombres, item);
  settingChecks_ = false;
  LGruposClick();
}

void PageGrupos::NameRemovedAt(int row) {
  settingChecks_ = true;
  delete ui_.CLNombres->takeItem(row);
  settingChecks_ = false;
}

void PageGrupos::NamesCleared() {
  settingChecks_ = true;
  ui_.CLNombres->clear();
  settingChecks_ = false;
}

void PageGrupos::SetAllChecks(bool fromModel) {
  const TGrupo* g = nullptr;
  if (fromModel) g = host_.Vars().GroupList.Find(ui_.LGrupos->currentRow());
  settingChecks_ = true;
  QListWidget* list = ui_.CLNombres;
  list->setUpdatesEnabled(false);
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    if (item->checkState() != Qt::Unchecked) item->setCheckState(Qt::Unchecked);
  }
  if (g != nullptr) {
    // Each member is looked up in the sorted list, rather than every entry in the members: a
    // group has a few members, the list may have thousands of names.
    for (const std::string& member : g->Members()) {
      const int row = FindSortedRow(list, member);
      if (row >= 0) list->item(row)->setCheckState(Qt::Checked);
    }
  }
  list->setUpdatesEnabled(true);
  settingChecks_ = false;
}

void PageGrupos::LGruposClick() {
  const bool selected = ui_.LGrupos->count() > 0 && ui_.LGrupos->currentRow() >= 0 &&
                        !ui_.LGrupos->selectedItems().isEmpty();
  SetAllChecks(selected);
}

void PageGrupos::CLNombresClick(QListWidgetItem* changed) {
  if (settingChecks_ || changed == nullptr) return;
  TGrupos& groups = host_.Vars().GroupList;
  const int row = ui_.LGrupos->currentRow();
  TGrupo* g = ui_.LGrupos->selectedItems().isEmpty() ? nullptr : groups.Find(row);
  if (g == nullptr) {
    // Check marks cannot be set without a selected group.
    SetAllChecks(false);
    return;
  }
  std::vector<std::pair<std::string, bool>> shown;
  shown.reserve(static_cast<std::size_t>(ui_.CLNombres->count()));
  for (int i = 0; i < ui_.CLNombres->count(); ++i) {
    const QListWidgetItem* item = ui_.CLNombres->item(i);
    shown.emplace_back(ItemAnsi(item), item->checkState() == Qt::Checked);
  }
  options::SetMembersFromChecks(*g, shown);
}

void PageGrupos::BNuevo_grupoClick() { OpenButtonEdit(ui_.BNuevo_grupo, ui_.ENuevo_grupo); }

void PageGrupos::ENuevo_grupoCommitted() {
  const options::TypedEntry e = options::ReadTypedGroup(FromQ(ui_.ENuevo_grupo->text()));
  if (e.outcome == options::Typed::Refused) {
    RefuseButtonEdit(ui_.BNuevo_grupo, ui_.ENuevo_grupo);
    return;
  }
  if (e.outcome == options::Typed::Cancel) {
    ENuevo_grupoCancelled();
    return;
  }
  CloseButtonEdit(ui_.BNuevo_grupo, ui_.ENuevo_grupo, ui_.ENuevo_grupo->hasFocus());
  TGrupos& groups = host_.Vars().GroupList;
  const int pos = options::CreateGroup(groups, e.name);
  // The list mirrors the collection: a new group is its last entry.
  while (ui_.LGrupos->count() < groups.Count()) {
    ui_.LGrupos->addItem(MakeItem(groups.Item(ui_.LGrupos->count()).Name()));
  }
  ui_.LGrupos->setCurrentRow(pos);
  LGruposClick();
}

void PageGrupos::ENuevo_grupoCancelled() {
  CloseButtonEdit(ui_.BNuevo_grupo, ui_.ENuevo_grupo, ui_.ENuevo_grupo->hasFocus());
}

void PageGrupos::BBorrar_grupoClick() {
  const int row = ui_.LGrupos->currentRow();
  if (row < 0 || ui_.LGrupos->selectedItems().isEmpty()) return;
  TGrupos& groups = host_.Vars().GroupList;
  const TGrupo* g = groups.Find(row);
  const std::string name = g ? g->Name() : ItemAnsi(ui_.LGrupos, row);
  {
    const QSignalBlocker block(ui_.LGrupos);
    delete ui_.LGrupos->takeItem(row);
    groups.Delete(name);
    ui_.LGrupos->setCurrentRow(ui_.LGrupos->count() > 0 ? 0 : -1);
  }
  LGruposClick();
}

}  // namespace pelmora
