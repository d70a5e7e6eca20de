#include "options/PageGrupos.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

#include "messaging/Variables.h"
#include "options/OptionsHost.h"
#include "options/OptionsLogic.h"
#include "options/OptionsWidgets.h"

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

TPageGrupos::TPageGrupos(OptionsHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("TabGrupos"));
  ui_.LGrupos = new QListWidget(this);
  ui_.LGrupos->setObjectName(QStringLiteral("LGrupos"));
  ui_.LGrupos->setGeometry(8, 8, 153, 249);
  ui_.LGrupos->setUniformItemSizes(true);
  ui_.LGrupos->installEventFilter(this);
  ui_.CLNombres = new QListWidget(this);
  ui_.CLNombres->setObjectName(QStringLiteral("CLNombres"));
  ui_.CLNombres->setGeometry(168, 8, 153, 249);
  ui_.CLNombres->setUniformItemSizes(true);
  ui_.CLNombres->setItemDelegate(new CheckRowDelegate(ui_.CLNombres));
  ui_.BNuevo_grupo = new QPushButton(QStringLiteral("&Nuevo grupo"), this);
  ui_.BNuevo_grupo->setObjectName(QStringLiteral("BNuevo_grupo"));
  ui_.BNuevo_grupo->setGeometry(32, 272, 105, 25);
  ui_.BNuevo_grupo->setAutoDefault(false);
  ui_.ENuevo_grupo = new options::TEntryEdit(this);
  ui_.ENuevo_grupo->setObjectName(QStringLiteral("ENuevo_grupo"));
  ui_.ENuevo_grupo->setGeometry(32, 274, 105, 21);
  ui_.ENuevo_grupo->hide();
  ui_.BBorrar_grupo = new QPushButton(QStringLiteral("&Borrar grupo"), this);
  ui_.BBorrar_grupo->setObjectName(QStringLiteral("BBorrar_grupo"));
  ui_.BBorrar_grupo->setGeometry(184, 272, 113, 25);
  ui_.BBorrar_grupo->setAutoDefault(false);

  connect(ui_.LGrupos, &QListWidget::itemSelectionChanged, this, [this] { LGruposClick(); });
  connect(ui_.CLNombres, &QListWidget::itemChanged, this,
          [this](QListWidgetItem* item) { CLNombresClick(item); });
  connect(ui_.BNuevo_grupo, &QPushButton::clicked, this, [this] { BNuevo_grupoClick(); });
  connect(ui_.ENuevo_grupo, &options::TEntryEdit::Committed, this,
          [this] { ENuevo_grupoCommitted(); });
  connect(ui_.ENuevo_grupo, &options::TEntryEdit::Cancelled, this,
          [this] { ENuevo_grupoCancelled(); });
  connect(ui_.BBorrar_grupo, &QPushButton::clicked, this, [this] { BBorrar_grupoClick(); });
}

void TPageGrupos::Fill() {
  const Variables& v = host_.Vars();
  settingChecks_ = true;
  ui_.CLNombres->clear();
  options::FillList(ui_.CLNombres, v.NameList.Items(), true);
  settingChecks_ = false;
  const QSignalBlocker block(ui_.LGrupos);
  ui_.LGrupos->clear();
  for (int i = 0; i < v.GroupList.Count(); ++i) {
    ui_.LGrupos->addItem(options::MakeItem(v.GroupList.Item(i).Name()));
  }
  ui_.LGrupos->setCurrentRow(-1);
}

void TPageGrupos::ApplyLanguage(int l) {
  ui_.BNuevo_grupo->setText(ToQ(LocalText(43, l)));
  ui_.BBorrar_grupo->setText(ToQ(LocalText(44, l)));
  ui_.LGrupos->setAccessibleName(ToQ(LocalText(38, l)));
  ui_.CLNombres->setAccessibleName(ToQ(LocalText(37, l)));
  ui_.ENuevo_grupo->setAccessibleName(ToQ(StripAmpersands(LocalText(43, l))));
}

bool TPageGrupos::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_.LGrupos && event->type() == QEvent::KeyRelease) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Insert) {
      BNuevo_grupoClick();
      return true;
    }
    if (key == Qt::Key_Delete) {
      BBorrar_grupoClick();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TPageGrupos::NameAdded(const std::string& name) {
  if (options::FindRow(ui_.CLNombres, name) >= 0) return;
  QListWidgetItem* item = options::MakeItem(name);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  settingChecks_ = true;
  item->setCheckState(Qt::Unchecked);
  options::InsertSorted(ui_.CLNombres, item);
  settingChecks_ = false;
  LGruposClick();
}

void TPageGrupos::NameRemovedAt(int row) {
  settingChecks_ = true;
  delete ui_.CLNombres->takeItem(row);
  settingChecks_ = false;
}

void TPageGrupos::NamesCleared() {
  settingChecks_ = true;
  ui_.CLNombres->clear();
  settingChecks_ = false;
}

void TPageGrupos::SetAllChecks(bool fromModel) {
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
      const int row = options::FindSortedRow(list, member);
      if (row >= 0) list->item(row)->setCheckState(Qt::Checked);
    }
  }
  list->setUpdatesEnabled(true);
  settingChecks_ = false;
}

void TPageGrupos::LGruposClick() {
  const bool selected = ui_.LGrupos->count() > 0 && ui_.LGrupos->currentRow() >= 0 &&
                        !ui_.LGrupos->selectedItems().isEmpty();
  SetAllChecks(selected);
}

void TPageGrupos::CLNombresClick(QListWidgetItem* changed) {
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
    shown.emplace_back(options::ItemAnsi(item), item->checkState() == Qt::Checked);
  }
  options::SetMembersFromChecks(*g, shown);
}

void TPageGrupos::BNuevo_grupoClick() {
  ui_.BNuevo_grupo->hide();
  ui_.ENuevo_grupo->show();
  ui_.ENuevo_grupo->setFocus();
}

void TPageGrupos::CloseEdit(bool focusButton) {
  ui_.ENuevo_grupo->clear();
  ui_.BNuevo_grupo->show();
  if (focusButton) ui_.BNuevo_grupo->setFocus();
  ui_.ENuevo_grupo->hide();
}

void TPageGrupos::ENuevo_grupoCommitted() {
  const options::TypedEntry e =
      options::ReadTypedGroup(FromQ(ui_.ENuevo_grupo->text()));
  if (e.outcome == options::Typed::Refused) {
    QApplication::beep();
    if (ui_.ENuevo_grupo->hasFocus()) {
      ui_.ENuevo_grupo->selectAll();
    } else {
      CloseEdit(false);
    }
    return;
  }
  if (e.outcome == options::Typed::Cancel) {
    ENuevo_grupoCancelled();
    return;
  }
  CloseEdit(ui_.ENuevo_grupo->hasFocus());
  TGrupos& groups = host_.Vars().GroupList;
  const int pos = options::CreateGroup(groups, e.name);
  // The list mirrors the collection: a new group is its last entry.
  while (ui_.LGrupos->count() < groups.Count()) {
    ui_.LGrupos->addItem(options::MakeItem(groups.Item(ui_.LGrupos->count()).Name()));
  }
  ui_.LGrupos->setCurrentRow(pos);
  LGruposClick();
}

void TPageGrupos::ENuevo_grupoCancelled() { CloseEdit(ui_.ENuevo_grupo->hasFocus()); }

void TPageGrupos::BBorrar_grupoClick() {
  const int row = ui_.LGrupos->currentRow();
  if (row < 0 || ui_.LGrupos->selectedItems().isEmpty()) return;
  TGrupos& groups = host_.Vars().GroupList;
  const TGrupo* g = groups.Find(row);
  const std::string name = g ? g->Name() : options::ItemAnsi(ui_.LGrupos, row);
  {
    const QSignalBlocker block(ui_.LGrupos);
    delete ui_.LGrupos->takeItem(row);
    groups.Delete(name);
    ui_.LGrupos->setCurrentRow(ui_.LGrupos->count() > 0 ? 0 : -1);
  }
  LGruposClick();
}

}  // namespace pelmora
