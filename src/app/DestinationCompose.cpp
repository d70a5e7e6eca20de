#include "app/DestinationCompose.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QToolButton>
#include <array>
#include <initializer_list>

#include "app/ComposeMemo.h"
#include "messaging/TextTable.h"
#include "messaging/Variables.h"
#include "text/CodePage.h"
#include "widgets/AnsiItems.h"
#include "widgets/AnsiText.h"
#include "widgets/Controls.h"

namespace pelmora {

namespace {

std::string JoinMembers(const TGrupo& group) {
  std::string out;
  for (const std::string& member : group.Members()) {
    if (!out.empty()) out += ", ";
    out += member;
  }
  return out;
}

QToolButton* MakePing(QWidget* parent, const char* name, QRect r) {
  auto* b = MakeControl<QToolButton>(parent, name, r);
  b->setAutoRaise(true);
  b->setText(QStringLiteral("P"));
  b->setToolTip(QStringLiteral("Ping"));
  b->setFocusPolicy(Qt::NoFocus);  // a speed button never takes the focus
  return b;
}

}  // namespace

DestinationCompose::DestinationCompose(Variables& vars, QWidget* parent, const QFont& composeFont)
    : QObject(parent), vars_(vars) {
  CreateControls(parent, composeFont);
  ConnectControls();
}

void DestinationCompose::CreateControls(QWidget* g, const QFont& composeFont) {
  ui_.PNoHardway = MakeControl<QWidget>(g, "PNoHardway", QRect(96, 192, 425, 81));
  QWidget* nh = ui_.PNoHardway;
  // Wide enough for the longest caption ("&Gruppen" in German).
  ui_.ChBGrupos = MakeControl<QCheckBox>(nh, "ChBGrupos", QRect(24, 1, 80, 17));

  ui_.PNombres = MakeControl<QWidget>(nh, "PNombres", QRect(4, 8, 145, 65));
  ui_.BReceptor = MakeButton(ui_.PNombres, "BReceptor", QRect(0, 13, 121, 25));
  ui_.EReceptor = MakeControl<KeyLineEdit>(ui_.PNombres, "EReceptor", QRect(0, 16, 121, 21));
  ui_.EReceptor->hide();
  ui_.CBNombres = MakeControl<QComboBox>(ui_.PNombres, "CBNombres", QRect(0, 40, 121, 21));
  ui_.BPing = MakePing(ui_.PNombres, "BPing", QRect(122, 40, 23, 22));

  ui_.PGrupos = MakeControl<QWidget>(nh, "PGrupos", QRect(8, 24, 145, 41));
  ui_.PGrupos->hide();
  ui_.CBGrupos = MakeControl<QComboBox>(ui_.PGrupos, "CBGrupos", QRect(0, 8, 121, 21));
  ui_.BPingGrupos = MakePing(ui_.PGrupos, "BPingGrupos", QRect(120, 8, 23, 22));
  // The name panel overlaps the lower half of the check box; keep the box on top so all of it
  // takes clicks.
  ui_.ChBGrupos->raise();

  ui_.MTexto = MakeControl<ComposeMemo>(nh, "MTexto", QRect(152, 0, 273, 81));
  ui_.MTexto->setFont(composeFont);
  ui_.MTexto->hide();
  ui_.BTexto = MakeButton(nh, "BTexto", QRect(168, 6, 241, 65));

  ui_.PHardway = MakeControl<QWidget>(g, "PHardway", QRect(104, 192, 417, 81));
  ui_.PHardway->hide();
  ui_.BReceptor_hardway = MakeButton(ui_.PHardway, "BReceptor_hardway", QRect(16, 24, 121, 25));
  ui_.EReceptor_hardway =
      MakeControl<KeyLineEdit>(ui_.PHardway, "EReceptor_hardway", QRect(16, 27, 121, 21));
  ui_.EReceptor_hardway->hide();
  ui_.MTexto_hardway =
      MakeControl<ComposeMemo>(ui_.PHardway, "MTexto_hardway", QRect(144, 0, 273, 81));
  ui_.MTexto_hardway->hide();

  // Design texts; ApplyLanguage puts the localised ones in at start.
  ui_.ChBGrupos->setText(QStringLiteral("&Grupos"));
  ui_.BReceptor->setText(QStringLiteral("&Destino"));
  ui_.BTexto->setText(QStringLiteral("&Escribir mensaje"));
  ui_.BReceptor_hardway->setText(QStringLiteral("&Destino"));
}

void DestinationCompose::ConnectControls() {
  connect(ui_.ChBGrupos, &QCheckBox::toggled, this, [this] { ChBGruposClick(); });
  // Only a choice of the user changes the destination; filling the lists does not.
  connect(ui_.CBNombres, &QComboBox::activated, this, [this] { CBNombresChange(); });
  connect(ui_.CBGrupos, &QComboBox::activated, this, [this] { CBGruposChange(); });
  connect(ui_.BReceptor, &QPushButton::clicked, this, [this] { BReceptorClick(); });
  ui_.EReceptor->onKeyPress = [this](int key) { return EReceptorKeyPress(key); };
  connect(ui_.BTexto, &QPushButton::clicked, this, [this] { BTextoClick(); });
  connect(ui_.BReceptor_hardway, &QPushButton::clicked, this, [this] { BReceptor_hardwayClick(); });
  ui_.EReceptor_hardway->onKeyPress = [this](int key) { return EReceptor_hardwayKeyPress(key); };
  ui_.MTexto->onKeyPress = [this](int key) {
    return onComposeKey && onComposeKey(key, ui_.MTexto->AnsiText());
  };
  ui_.MTexto_hardway->onKeyPress = [this](int key) {
    return onHardwayComposeKey && onHardwayComposeKey(key, ui_.MTexto_hardway->AnsiText());
  };
  connect(ui_.BPing, &QToolButton::clicked, this, &DestinationCompose::pingNamesClicked);
  connect(ui_.BPingGrupos, &QToolButton::clicked, this, &DestinationCompose::pingGroupClicked);
}

void DestinationCompose::ShowDestination() { ShowDestinationText(vars_.Destination); }

void DestinationCompose::ShowDestinationText(const std::string& text) {
  emit destinationStatusChanged(vars_.Text(kRowDestinoStatus) + text);
}

void DestinationCompose::RefillNames(const std::string& select) {
  QComboBox* box = ui_.CBNombres;
  box->clear();
  for (const std::string& name : vars_.NameList) AddItem(box, name);
  box->setCurrentIndex(box->count() > 0 ? FindItem(box, select) : -1);
}

void DestinationCompose::SetGroupsHint(int groupIndex) {
  const TGrupo* group = vars_.GroupList.Find(groupIndex);
  ui_.CBGrupos->setToolTip(group ? PlainTip(ToQ(JoinMembers(*group))) : QString());
}

void DestinationCompose::FillSelectors() {
  ui_.CBGrupos->show();
  ui_.CBGrupos->clear();
  for (int i = 0; i < vars_.GroupList.Count(); ++i) {
    AddItem(ui_.CBGrupos, vars_.GroupList.Item(i).Name());
  }
  if (vars_.GroupList.Count() > 0) {
    ui_.CBGrupos->setCurrentIndex(0);
    SetGroupsHint(0);
  } else {
    SetGroupsHint(-1);
  }
  ui_.CBNombres->show();
  RefillNames(vars_.Destination);
  ui_.ChBGrupos->show();
}

void DestinationCompose::ChBGruposClick() {
  if (!ui_.ChBGrupos->isChecked()) {
    ui_.PNombres->show();
    ui_.PGrupos->hide();
    const int index = ui_.CBNombres->currentIndex();
    vars_.Destination = ItemAnsi(ui_.CBNombres, index);
    if (index < 0) {
      ShowDestinationText(vars_.Text(kRowNinguno));
    } else {
      ShowDestination();
    }
    return;
  }
  if (vars_.GroupList.Count() == 0) {
    ui_.ChBGrupos->setChecked(false);  // runs this handler for the unchecked state
    return;
  }
  ui_.PGrupos->show();
  ui_.PNombres->hide();
  CloseButtonEdit(ui_.BReceptor, ui_.EReceptor, false);
  vars_.Destination = ItemAnsi(ui_.CBGrupos, ui_.CBGrupos->currentIndex());
  ShowDestination();
}

void DestinationCompose::CBNombresChange() {
  vars_.Destination = ItemAnsi(ui_.CBNombres, ui_.CBNombres->currentIndex());
  ShowDestination();
}

void DestinationCompose::CBGruposChange() {
  const int index = ui_.CBGrupos->currentIndex();
  vars_.Destination = ItemAnsi(ui_.CBGrupos, index);
  ShowDestination();
  SetGroupsHint(index);
}

void DestinationCompose::BReceptorClick() { OpenButtonEdit(ui_.BReceptor, ui_.EReceptor); }

bool DestinationCompose::EReceptorKeyPress(int key) {
  if (key == kKeyEnter && ui_.EReceptor->text().isEmpty()) key = kKeyEscape;
  if (key == kKeyEnter) {
    vars_.Destination = text::UpperAscii(FromQ(ui_.EReceptor->text()));
    CloseButtonEdit(ui_.BReceptor, ui_.EReceptor, false);
    vars_.NameList.Add(vars_.Destination);
    RefillNames(vars_.Destination);
    ShowDestination();
    BTextoClick();
    return true;
  }
  if (key == kKeyEscape) {
    CloseButtonEdit(ui_.BReceptor, ui_.EReceptor, true);
    return true;
  }
  return false;
}

void DestinationCompose::BTextoClick() {
  if (!ui_.EReceptor->isHidden()) EReceptorKeyPress(kKeyEnter);
  const bool selected = ui_.ChBGrupos->isChecked() ? ui_.CBGrupos->currentIndex() >= 0
                                                   : ui_.CBNombres->currentIndex() >= 0;
  if (!selected) return;
  ui_.BTexto->hide();
  ui_.MTexto->show();
  ui_.MTexto->setFocus();
}

void DestinationCompose::BReceptor_hardwayClick() {
  OpenButtonEdit(ui_.BReceptor_hardway, ui_.EReceptor_hardway);
}

bool DestinationCompose::EReceptor_hardwayKeyPress(int key) {
  if (key == kKeyEnter && ui_.EReceptor_hardway->text().isEmpty()) key = kKeyEscape;
  if (key == kKeyEnter) {
    // The typed name is this one message's destination; it does not join the address book.
    vars_.Destination = text::UpperAscii(FromQ(ui_.EReceptor_hardway->text()));
    ui_.EReceptor_hardway->clear();
    ui_.EReceptor_hardway->hide();
    ui_.BReceptor_hardway->hide();
    if (ui_.MTexto_hardway->isHidden()) ui_.MTexto_hardway->clear();
    ui_.MTexto_hardway->show();
    ui_.MTexto_hardway->setFocus();
    ShowDestination();
    return true;
  }
  if (key == kKeyEscape) {
    CloseButtonEdit(ui_.BReceptor_hardway, ui_.EReceptor_hardway, true);
    return true;
  }
  return false;
}

void DestinationCompose::ChooseStartDestination() {
  if (vars_.OptLoadWorkgroup) {
    vars_.Destination = vars_.WorkgroupName;
    vars_.NameList.Add(vars_.WorkgroupName);
  } else if (!vars_.NameList.Empty()) {
    vars_.Destination = vars_.NameList.Item(0);
  }
  if (vars_.OptHardway) {
    ApplyHardwayLayout();
    vars_.Destination = vars_.Text(kRowNinguno);
  }
}

void DestinationCompose::ApplyHardwayLayout() {
  ui_.PNoHardway->setVisible(!vars_.OptHardway);
  ui_.PHardway->setVisible(vars_.OptHardway);
}

void DestinationCompose::SelectQuickDestination(int index) {
  if (index < 0 || index >= kQuickDestinationCount) return;
  const QuickDestination& quick = vars_.QuickDestinations[static_cast<std::size_t>(index)];
  if (quick.Kind == qdName) {
    if (ui_.ChBGrupos->isChecked()) ui_.ChBGrupos->setChecked(false);  // runs ChBGruposClick
    const int i = FindItem(ui_.CBNombres, quick.Name);
    if (i >= 0) {
      ui_.CBNombres->setCurrentIndex(i);
      CBNombresChange();
    }
  } else if (quick.Kind == qdGroup) {
    if (!ui_.ChBGrupos->isChecked()) ui_.ChBGrupos->setChecked(true);  // runs ChBGruposClick
    const int i = FindItem(ui_.CBGrupos, quick.Name);
    if (i >= 0) {
      ui_.CBGrupos->setCurrentIndex(i);
      CBGruposChange();
    }
  }
}

// The rest comes right after a send, while the channel answer is on its way, and the answer waits
// for it: the button takes the focus before the box goes, so that hiding the box does not make the
// window look for the next widget to focus, and the box is emptied once hidden, with nothing left
// to lay out or repaint.
void DestinationCompose::RestNormalCompose() {
  ui_.BTexto->show();
  ui_.BTexto->setFocus();
  ui_.MTexto->hide();
  ui_.MTexto->clear();
}

void DestinationCompose::RestHardwayCompose() {
  ui_.BReceptor_hardway->show();
  ui_.BReceptor_hardway->setFocus();
  ui_.MTexto_hardway->hide();
  ui_.MTexto_hardway->clear();
}

void DestinationCompose::GiveRestFocus(const QWidget* window) {
  for (QWidget* w : {static_cast<QWidget*>(ui_.BTexto), static_cast<QWidget*>(ui_.MTexto),
                     static_cast<QWidget*>(ui_.BReceptor_hardway)}) {
    if (w->isVisibleTo(window) && w->isEnabled()) w->setFocus();
  }
}

void DestinationCompose::FocusComposeArea() {
  const std::array<QWidget*, 3> order =
      vars_.OptHardway ? std::array<QWidget*, 3>{ui_.MTexto_hardway, ui_.BReceptor_hardway,
                                                 ui_.EReceptor_hardway}
                       : std::array<QWidget*, 3>{ui_.BTexto, ui_.MTexto, nullptr};
  for (QWidget* w : order) {
    if (w != nullptr && w->isVisibleTo(w->window())) {
      w->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void DestinationCompose::ArrivalFrom(const std::string& sender) {
  const std::string selected = ItemAnsi(ui_.CBNombres, ui_.CBNombres->currentIndex());
  RefillNames(selected);
  if (vars_.OptAutoDestination && sender != vars_.OwnName && !ui_.ChBGrupos->isChecked() &&
      !vars_.OptHardway && !ui_.BTexto->isHidden()) {
    ui_.CBNombres->setCurrentIndex(FindItem(ui_.CBNombres, sender));
    vars_.Destination = sender;
    ShowDestination();
  }
}

bool DestinationCompose::GroupsTicked() const { return ui_.ChBGrupos->isChecked(); }

int DestinationCompose::SelectedGroupIndex() const { return ui_.CBGrupos->currentIndex(); }

bool DestinationCompose::HandlesOwnEscape(const QWidget* w) const {
  for (const QWidget* own :
       {static_cast<QWidget*>(ui_.EReceptor), static_cast<QWidget*>(ui_.MTexto),
        static_cast<QWidget*>(ui_.EReceptor_hardway), static_cast<QWidget*>(ui_.MTexto_hardway)}) {
    if (w == own || own->isAncestorOf(w)) return true;
  }
  return false;
}

void DestinationCompose::AfterOptions() {
  // Names: the one selected before stays selected if it still exists, else the workgroup if it
  // is listed, else the first name.
  QComboBox* names = ui_.CBNombres;
  const std::string name = ItemAnsi(names, names->currentIndex());
  names->clear();
  for (const std::string& n : vars_.NameList) AddItem(names, n);
  if (names->count() > 0) {
    int select = FindItem(names, name);
    if (select < 0) select = FindItem(names, vars_.WorkgroupName);
    names->setCurrentIndex(select >= 0 ? select : 0);
  }
  // Groups, in collection order: the one selected before, else the first.
  QComboBox* groups = ui_.CBGrupos;
  const std::string group = ItemAnsi(groups, groups->currentIndex());
  groups->clear();
  for (int i = 0; i < vars_.GroupList.Count(); ++i) AddItem(groups, vars_.GroupList.Item(i).Name());
  if (groups->count() > 0) {
    const int select = FindItem(groups, group);
    groups->setCurrentIndex(select >= 0 ? select : 0);
  }

  if (vars_.OptHardway) {
    vars_.Destination = vars_.Text(kRowNinguno);
    ui_.PHardway->show();
    ui_.PNoHardway->hide();
    CloseButtonEdit(ui_.BReceptor, ui_.EReceptor, false);
    ui_.MTexto->clear();
    ui_.MTexto->hide();
    ui_.BTexto->show();
  } else {
    ui_.PHardway->hide();
    ui_.PNoHardway->show();
    CloseButtonEdit(ui_.BReceptor_hardway, ui_.EReceptor_hardway, false);
    ui_.MTexto_hardway->clear();
    ui_.MTexto_hardway->hide();
    if (ui_.ChBGrupos->isChecked()) {
      const int g = groups->currentIndex();
      vars_.Destination = g >= 0 ? ItemAnsi(groups, g) : vars_.Text(kRowNinguno);
      SetGroupsHint(g);
    } else {
      const int n = names->currentIndex();
      vars_.Destination = n >= 0 ? ItemAnsi(names, n) : vars_.Text(kRowNinguno);
    }
  }
  ShowDestination();
}

}  // namespace pelmora
