#include "app/DOzuZe.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "app/ComposeMemo.h"
#include "app/QtDispatcher.h"
#include "app/StatusPanels.h"
#include "app/TimeText.h"
#include "text/CodePage.h"
#include "widgets/CoolTrayIcon.h"
#include "widgets/Fonts.h"
#include "widgets/PelmoraIcon.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora {

QString ToQ(const std::string& ansi) { return QString::fromStdString(text::AnsiToUtf8(ansi)); }

std::string FromQ(const QString& s) { return text::Utf8ToAnsi(s.toStdString()); }

namespace {

// Localised rows used by the window.
constexpr int kRowAlreadyRunning = 2;
constexpr int kRowOpciones = 3;
constexpr int kRowBorrarTodo = 4;
constexpr int kRowDestino = 5;
constexpr int kRowGrupos = 6;
constexpr int kRowEscribirMensaje = 7;
constexpr int kRowCerrar = 8;
constexpr int kRowMinimizar = 9;
constexpr int kRowHintOpciones = 10;
constexpr int kRowHintBorrar = 11;
constexpr int kRowHintReceptor = 12;
constexpr int kRowHintNombres = 13;
constexpr int kRowHintGrupos = 14;
constexpr int kRowHintTexto = 15;
constexpr int kRowHintPanes = 16;
constexpr int kRowOrigen = 17;
constexpr int kRowDestinoStatus = 18;
constexpr int kRowJoin = 21;
constexpr int kRowNinguno = 22;
constexpr int kRowRestaurar = 28;

constexpr int kKeyEnter = 13;
constexpr int kKeyEscape = 27;

constexpr const char* kTrayHint = "Pelmora";
constexpr const char* kRecoveredTime = "------";

// Stands in for the network when the window runs without endpoints: nothing leaves.
class NoTransport : public MessagingTransport {
 public:
  bool WriteSlotString(const std::string&, const std::string&, const std::string&) override {
    return false;
  }
  bool SendMessengerMessage(const std::string&, const std::string&, const std::string&,
                            const std::string&) override {
    return false;
  }
  bool MessengerActive() override { return false; }
};

// A tool tip that shows its text literally: Qt would take a tip that looks like markup for
// rich text, and group members or names come from the address book and the network.
QString PlainTip(const QString& text) {
  if (text.isEmpty()) return {};
  return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

void SetHint(QWidget* w, const std::string& ansi) { w->setToolTip(PlainTip(ToQ(ansi))); }

// An item of a selector: the Windows-1252 bytes travel in the item's data, so what comes back
// out is exactly what went in, whatever the conversion to the display text did.
void AddItem(QComboBox* box, const std::string& ansi) {
  box->addItem(ToQ(ansi), QByteArray::fromStdString(ansi));
}

std::string ItemAnsi(const QComboBox* box, int index) {
  if (index < 0 || index >= box->count()) return {};
  return box->itemData(index).toByteArray().toStdString();
}

// The entry equal to the text ignoring letter case, or -1.
int FindItem(const QComboBox* box, const std::string& ansi) {
  for (int i = 0; i < box->count(); ++i) {
    if (SameName(ItemAnsi(box, i), ansi)) return i;
  }
  return -1;
}

std::string JoinMembers(const TGrupo& group) {
  std::string out;
  for (const std::string& member : group.Members()) {
    if (!out.empty()) out += ", ";
    out += member;
  }
  return out;
}

}  // namespace

TDOzuZe::TDOzuZe(WindowEnvironment env, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      env_(std::move(env)) {
  dispatcher_ = std::make_unique<QtMailSlotDispatcher>(this);
  if (env_.endpoints) endpoints_ = env_.endpoints(*dispatcher_);
  if (!endpoints_) nullTransport_ = std::make_unique<NoTransport>();
  if (env_.clock) {
    clock_ = env_.clock;
  } else {
    systemClock_ = std::make_unique<SystemClock>();
    clock_ = systemClock_.get();
  }
  core_ = std::make_unique<MessagingCore>(
      vars_, *this, endpoints_ ? endpoints_->Transport() : *nullTransport_, *clock_);
  if (endpoints_) endpoints_->Connect(*core_);

  CreateControls();
  ConnectControls();
  // The tray icon finishes loading before the window's own creation handler runs, so the
  // window starts in the tray.
  if (ui_.TrayIcon) ui_.TrayIcon->Loaded();
  FormCreate();

  // Key preview: the window sees every key of its controls before they do.
  qApp->installEventFilter(this);
  if (!terminateRequested_) ui_.Timer->start();
}

TDOzuZe::~TDOzuZe() {
  qApp->removeEventFilter(this);
  ShutdownEndpoints();
}

// ---------------------------------------------------------------------------------------------
// Controls

void TDOzuZe::CreateControls() {
  setObjectName(QStringLiteral("DOzuZe"));
  setFont(PelmoraInterfaceFont());
  setFixedSize(537, 288);
  setWindowIcon(PelmoraIcon());
  const QFont fixed = PelmoraFixedFont();

  // The preview banner and its transparent cover lie under the normal view.
  ui_.ScrollingText = new QWidget(this);
  ui_.ScrollingText->setObjectName(QStringLiteral("ScrollingText"));
  ui_.ScrollingText->setGeometry(0, 0, 73, 17);
  ui_.ScrollingText->setAutoFillBackground(true);
  {
    QPalette p = ui_.ScrollingText->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::cyan);
    ui_.ScrollingText->setPalette(p);
  }
  ui_.LForro = new QLabel(this);
  ui_.LForro->setObjectName(QStringLiteral("LForro"));
  ui_.LForro->setTextFormat(Qt::PlainText);
  ui_.LForro->setGeometry(8, 0, 65, 17);

  ui_.PGeneral = new QWidget(this);
  ui_.PGeneral->setObjectName(QStringLiteral("PGeneral"));
  ui_.PGeneral->setGeometry(0, 0, 537, 269);
  ui_.PGeneral->setAutoFillBackground(true);
  QWidget* g = ui_.PGeneral;

  auto makePane = [&](const char* name, int left, int width) {
    auto* pane = new TScrollRichEdit(g);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setFont(fixed);
    pane->setGeometry(left, 0, width, 193);
    pane->UpdateVisibleLines();
    return pane;
  };
  ui_.SRTime = makePane("SRTime", 0, 57);
  ui_.SRCab = makePane("SRCab", 56, 193);
  ui_.SRChat = makePane("SRChat", 248, 273);

  ui_.ScrollBar = new QScrollBar(Qt::Vertical, g);
  ui_.ScrollBar->setObjectName(QStringLiteral("ScrollBar"));
  ui_.ScrollBar->setGeometry(520, 0, 16, 193);
  ui_.ScrollBar->setRange(0, 0);
  ui_.ScrollBar->setSingleStep(1);
  ui_.ScrollBar->setPageStep(0);
  ui_.ScrollBar->setEnabled(false);

  auto makeButton = [](QWidget* parent, const char* name, QRect r) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(r);
    b->setAutoDefault(false);
    return b;
  };
  auto makePanel = [](QWidget* parent, const char* name, QRect r) {
    auto* p = new QWidget(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setGeometry(r);
    return p;
  };
  auto makePing = [](QWidget* parent, const char* name, QRect r) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(r);
    b->setAutoRaise(true);
    b->setText(QStringLiteral("P"));
    b->setToolTip(QStringLiteral("Ping"));
    b->setFocusPolicy(Qt::NoFocus);  // a speed button never takes the focus
    return b;
  };

  ui_.BOpciones = makeButton(g, "BOpciones", QRect(8, 200, 75, 25));
  ui_.BBorrar = makeButton(g, "BBorrar", QRect(8, 240, 75, 25));

  ui_.PNoHardway = makePanel(g, "PNoHardway", QRect(96, 192, 425, 81));
  QWidget* nh = ui_.PNoHardway;
  ui_.ChBGrupos = new QCheckBox(nh);
  ui_.ChBGrupos->setObjectName(QStringLiteral("ChBGrupos"));
  ui_.ChBGrupos->setGeometry(24, 1, 65, 17);

  ui_.PNombres = makePanel(nh, "PNombres", QRect(4, 8, 145, 65));
  ui_.BReceptor = makeButton(ui_.PNombres, "BReceptor", QRect(0, 13, 121, 25));
  ui_.EReceptor = new TKeyLineEdit(ui_.PNombres);
  ui_.EReceptor->setObjectName(QStringLiteral("EReceptor"));
  ui_.EReceptor->setGeometry(0, 16, 121, 21);
  ui_.EReceptor->hide();
  ui_.CBNombres = new QComboBox(ui_.PNombres);
  ui_.CBNombres->setObjectName(QStringLiteral("CBNombres"));
  ui_.CBNombres->setGeometry(0, 40, 121, 21);
  ui_.BPing = makePing(ui_.PNombres, "BPing", QRect(122, 40, 23, 22));

  ui_.PGrupos = makePanel(nh, "PGrupos", QRect(8, 24, 145, 41));
  ui_.PGrupos->hide();
  ui_.CBGrupos = new QComboBox(ui_.PGrupos);
  ui_.CBGrupos->setObjectName(QStringLiteral("CBGrupos"));
  ui_.CBGrupos->setGeometry(0, 8, 121, 21);
  ui_.BPingGrupos = makePing(ui_.PGrupos, "BPingGrupos", QRect(120, 8, 23, 22));
  // The name panel overlaps the lower half of the check box; keep the box on top so all of it
  // takes clicks.
  ui_.ChBGrupos->raise();

  ui_.MTexto = new TComposeMemo(nh);
  ui_.MTexto->setObjectName(QStringLiteral("MTexto"));
  ui_.MTexto->setGeometry(152, 0, 273, 81);
  ui_.MTexto->setFont(fixed);
  ui_.MTexto->hide();
  ui_.BTexto = makeButton(nh, "BTexto", QRect(168, 6, 241, 65));

  ui_.PHardway = makePanel(g, "PHardway", QRect(104, 192, 417, 81));
  ui_.PHardway->hide();
  ui_.BReceptor_hardway = makeButton(ui_.PHardway, "BReceptor_hardway", QRect(16, 24, 121, 25));
  ui_.EReceptor_hardway = new TKeyLineEdit(ui_.PHardway);
  ui_.EReceptor_hardway->setObjectName(QStringLiteral("EReceptor_hardway"));
  ui_.EReceptor_hardway->setGeometry(16, 27, 121, 21);
  ui_.EReceptor_hardway->hide();
  ui_.MTexto_hardway = new TComposeMemo(ui_.PHardway);
  ui_.MTexto_hardway->setObjectName(QStringLiteral("MTexto_hardway"));
  ui_.MTexto_hardway->setGeometry(144, 0, 273, 81);
  ui_.MTexto_hardway->hide();

  ui_.ECambioNombre = new QLineEdit(g);
  ui_.ECambioNombre->setObjectName(QStringLiteral("ECambioNombre"));
  ui_.ECambioNombre->setGeometry(96, 240, 121, 21);
  {
    QPalette p = ui_.ECambioNombre->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Highlight));
    p.setColor(QPalette::Text, p.color(QPalette::Window));
    ui_.ECambioNombre->setPalette(p);
  }
  ui_.ECambioNombre->hide();

  ui_.StatusBar = new TStatusPanels({230, 230, 50}, this);
  ui_.StatusBar->setObjectName(QStringLiteral("StatusBar"));
  ui_.StatusBar->setGeometry(0, 269, 537, 19);
  ui_.StatusBar->SetPanelText(0, QStringLiteral("Origen:"));
  ui_.StatusBar->SetPanelText(1, QStringLiteral("Destino:"));
  ui_.StatusBar->SetPanelText(2, QStringLiteral("Hora"));

  ui_.PopupMenu = new QMenu(this);
  ui_.PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  ui_.Restaurar1 = ui_.PopupMenu->addAction(ToQ(vars_.Text(kRowRestaurar)));
  ui_.Restaurar1->setObjectName(QStringLiteral("Restaurar1"));
  ui_.N1 = ui_.PopupMenu->addSeparator();
  ui_.Cerrar1 = ui_.PopupMenu->addAction(ToQ(vars_.Text(kRowCerrar)));
  ui_.Cerrar1->setObjectName(QStringLiteral("Cerrar1"));

  if (env_.trayIcon) {
    ui_.TrayIcon = new TCoolTrayIcon(this);
    ui_.TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    ui_.TrayIcon->SetCycleInterval(0);
    ui_.TrayIcon->SetHint(kTrayHint);
    ui_.TrayIcon->SetShowHint(true);
    ui_.TrayIcon->SetIcon(PelmoraIcon());
    ui_.TrayIcon->SetPopupMenu(ui_.PopupMenu);
    ui_.TrayIcon->SetStartMinimized(true);
    ui_.TrayIcon->SetMinimizeToTray(true);
  }

  ui_.Timer = new QTimer(this);
  ui_.Timer->setObjectName(QStringLiteral("Timer"));
  ui_.Timer->setInterval(200);

  // Design texts; ApplyLanguage puts the localised ones in at start.
  ui_.BOpciones->setText(QStringLiteral("&Opciones"));
  ui_.BBorrar->setText(QStringLiteral("&Borrar todo"));
  ui_.ChBGrupos->setText(QStringLiteral("&Grupos"));
  ui_.BReceptor->setText(QStringLiteral("&Destino"));
  ui_.BTexto->setText(QStringLiteral("&Escribir mensaje"));
  ui_.BReceptor_hardway->setText(QStringLiteral("&Destino"));
}

void TDOzuZe::ConnectControls() {
  connect(ui_.ScrollBar, &QScrollBar::valueChanged, this,
          [this] { Actualizar_memos(ui_.ScrollBar); });
  connect(ui_.BBorrar, &QPushButton::clicked, this, [this] { BBorrarClick(); });
  for (TScrollRichEdit* pane : {ui_.SRTime, ui_.SRCab, ui_.SRChat}) {
    connect(pane, &TScrollRichEdit::KeyReleased, this,
            [this](int key, Qt::KeyboardModifiers mods) { PaneKeyReleased(key, mods); });
    connect(pane, &TScrollRichEdit::WheelScrolled, this, [this](int lines) { ScrollBy(lines); });
  }

  connect(ui_.ChBGrupos, &QCheckBox::toggled, this, [this] { ChBGruposClick(); });
  // Only a choice of the user changes the destination; filling the lists does not.
  connect(ui_.CBNombres, &QComboBox::activated, this, [this] { CBNombresChange(); });
  connect(ui_.CBGrupos, &QComboBox::activated, this, [this] { CBGruposChange(); });
  connect(ui_.BReceptor, &QPushButton::clicked, this, [this] { BReceptorClick(); });
  ui_.EReceptor->onKeyPress = [this](int key) { return EReceptorKeyPress(key); };
  connect(ui_.BTexto, &QPushButton::clicked, this, [this] { BTextoClick(); });
  connect(ui_.BReceptor_hardway, &QPushButton::clicked, this,
          [this] { BReceptor_hardwayClick(); });
  ui_.EReceptor_hardway->onKeyPress = [this](int key) { return EReceptor_hardwayKeyPress(key); };
  ui_.MTexto->onKeyPress = [this](int key) {
    return core_->MTextoKeyPress(key, ui_.MTexto->AnsiText());
  };
  ui_.MTexto_hardway->onKeyPress = [this](int key) {
    return core_->MTexto_hardwayKeyPress(key, ui_.MTexto_hardway->AnsiText());
  };
  connect(ui_.BPing, &QToolButton::clicked, this, [this] { core_->BPingClick(); });
  connect(ui_.BPingGrupos, &QToolButton::clicked, this, [this] { core_->BPingGruposClick(); });

  connect(ui_.Restaurar1, &QAction::triggered, this, [this] { Opcion1Click(); });
  connect(ui_.Cerrar1, &QAction::triggered, this, [this] { Cerrar1Click(); });
  if (ui_.TrayIcon) {
    connect(ui_.TrayIcon, &TCoolTrayIcon::OnClick, this, [this] { TrayIconClick(); });
  }
  connect(ui_.Timer, &QTimer::timeout, this, [this] { core_->TimerTimer(); });
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void TDOzuZe::FormCreate() {
  vars_.ReallyQuit = false;
  // The ping-identifier list belongs to the messaging core, made with it.
  // Times carry no AM/PM designator for the whole run.
  timeFormat_ = SystemLongTimeFormat();
  vars_.ViewMode = vmMinimized;
  for (QuickDestination& q : vars_.QuickDestinations) q = QuickDestination{};

  LoadSettingsStep();
  ApplyLanguage(vars_.LanguageIndex);
  RegisterHotKeyStep();

  if (endpoints_) {
    // Without the messenger endpoint the program still runs on its two private slots.
    endpoints_->ActivateWinPopup();
    // Only another copy of the program holds the private slots of this machine.
    const bool ok = endpoints_->ActivateMailSlot() && endpoints_->ActivateMSUtils();
    if (!ok) {
      // This copy will not run: its endpoints go at once, so nothing that arrives while the
      // box is open is dispatched into a window that never shows.
      ShutdownEndpoints();
      const QString text = ToQ(vars_.Text(kRowAlreadyRunning));
      if (env_.warningBox) {
        env_.warningBox(text);
      } else {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Pelmora"), text, QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
      }
      terminateRequested_ = true;
    }
  }

  ReadIdentity();

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

  SetStatusText(0, vars_.Text(kRowOrigen) + vars_.OwnName);
  ShowDestination();
  FillSelectors();
  vars_.ClearPendingTables();
  RecoverLostMessagesStep();
  // The window opens with the compose button ready, not with a caret in the conversation.
  GiveRestFocus();
}

void TDOzuZe::LoadSettingsStep() {
  // The settings store arrives with its own work; until then the program runs on the defaults
  // unless the caller loads something.
  // The colours start from their defaults (the time, headings, ... and system colours on
  // black); what the settings load comes on top.
  for (TScrollRichEdit* pane : {ui_.SRTime, ui_.SRCab, ui_.SRChat}) pane->ResetColors();
  if (env_.loadSettings) env_.loadSettings(vars_);
}

void TDOzuZe::RegisterHotKeyStep() {
  // The restore hot key (Ctrl+Alt+letter) is registered here once the hot key manager exists.
}

void TDOzuZe::RecoverLostMessagesStep() {
  // Messages kept while only the banner was shown are restored here once recovery exists.
}

void TDOzuZe::ReadIdentity() {
  if (!endpoints_) return;
  const MachineNames names = endpoints_->ReadMachineNames();
  vars_.OwnName = text::UpperAscii(names.computerName);
  vars_.WorkgroupName = text::UpperAscii(names.workgroup);
}

void TDOzuZe::ApplyLanguage(std::uint8_t index) {
  vars_.LanguageIndex = index;
  auto t = [this](int row) { return ToQ(vars_.Text(row)); };
  ui_.BOpciones->setText(t(kRowOpciones));
  ui_.BBorrar->setText(t(kRowBorrarTodo));
  ui_.BReceptor->setText(t(kRowDestino));
  ui_.ChBGrupos->setText(t(kRowGrupos));
  ui_.BTexto->setText(t(kRowEscribirMensaje));
  SetHint(ui_.BOpciones, vars_.Text(kRowHintOpciones));
  SetHint(ui_.BBorrar, vars_.Text(kRowHintBorrar));
  SetHint(ui_.BReceptor, vars_.Text(kRowHintReceptor));
  SetHint(ui_.ChBGrupos, vars_.Text(kRowHintGrupos));
  SetHint(ui_.CBNombres, vars_.Text(kRowHintNombres));
  for (QWidget* w : {static_cast<QWidget*>(ui_.BTexto), static_cast<QWidget*>(ui_.MTexto),
                     static_cast<QWidget*>(ui_.MTexto_hardway)}) {
    SetHint(w, vars_.Text(kRowHintTexto));
  }
  ui_.BReceptor_hardway->setText(t(kRowDestino));
  SetHint(ui_.BReceptor_hardway, vars_.Text(kRowHintReceptor));
  // The panes carry their hint but never show it.
  for (TScrollRichEdit* pane : {ui_.SRTime, ui_.SRChat, ui_.SRCab}) {
    pane->setAccessibleDescription(t(kRowHintPanes));
  }
  SetStatusText(0, vars_.Text(kRowOrigen) + vars_.OwnName);
  ShowDestination();
  SetMenuFirstEntry(vars_.ViewMode == vmMinimized || vars_.ViewMode == vmPreview ? kRowRestaurar
                                                                                  : kRowMinimizar);
  ui_.Cerrar1->setText(t(kRowCerrar));
}

void TDOzuZe::closeEvent(QCloseEvent* event) {
  if (!vars_.ReallyQuit && TrayMissing()) {
    // Without a notification area there is no "&Cerrar" to reach, and a window sent to the
    // tray could never come back: the close button ends the program instead.
    event->ignore();
    QMetaObject::invokeMethod(this, &TDOzuZe::Cerrar1Click, Qt::QueuedConnection);
    return;
  }
  if (!vars_.ReallyQuit) {
    // The title bar's close button only sends the window to the tray.
    event->ignore();
    MinimizeApplication();
    return;
  }
  // The lists live in the shared state and go with the window. Settings are not saved here.
  ShutdownEndpoints();
  event->accept();
}

void TDOzuZe::ShutdownEndpoints() {
  if (endpointsDown_) return;
  endpointsDown_ = true;
  if (ui_.Timer) ui_.Timer->stop();
  // A wait thread may sit in a hand-off that the GUI thread, busy here, will never run:
  // release it first, or deactivating would wait for it for ever.
  dispatcher_->Shutdown();
  if (endpoints_) endpoints_->DeactivateAll();
}

void TDOzuZe::Cerrar1Click() {
  vars_.ReallyQuit = true;
  close();
  ShutdownEndpoints();
  QCoreApplication::quit();
}

void TDOzuZe::HandleShutdownQuery() {
  // The session may end: the window only goes to the tray, then the program ends.
  close();
  QCoreApplication::quit();
}

void TDOzuZe::showEvent(QShowEvent* event) {
  if (!centredOnce_) {
    centredOnce_ = true;
    if (const QScreen* s = screen()) {
      const QRect area = s->availableGeometry();
      move(area.center() - QPoint(width() / 2, height() / 2));
    }
  }
  QWidget::showEvent(event);
}

void TDOzuZe::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)) {
    // The minimise button: the tray icon hides the window; the view mode follows.
    AppMinimize();
  }
}

// ---------------------------------------------------------------------------------------------
// MessagingHost

void TDOzuZe::SetStatusText(int panel, const std::string& text) {
  ui_.StatusBar->SetPanelText(panel, ToQ(text));
}

QString TDOzuZe::StatusText(int panel) const { return ui_.StatusBar->PanelText(panel); }

std::string TDOzuZe::LongTimeText(DateTime when) {
  return FromQ(FormatTimeOfDay(when, timeFormat_));
}

bool TDOzuZe::GroupsTicked() { return ui_.ChBGrupos->isChecked(); }

int TDOzuZe::SelectedGroupIndex() { return ui_.CBGrupos->currentIndex(); }

void TDOzuZe::RestNormalCompose() {
  ui_.MTexto->clear();
  ui_.MTexto->hide();
  ui_.BTexto->show();
  ui_.BTexto->setFocus();
}

void TDOzuZe::RestHardwayCompose() {
  ui_.MTexto_hardway->clear();
  ui_.MTexto_hardway->hide();
  ui_.BReceptor_hardway->show();
  ui_.BReceptor_hardway->setFocus();
}

void TDOzuZe::AddToOptionsNameLists(const std::string&) {
  // The options dialog collects identification replies in its name lists while it is open.
}

void TDOzuZe::NotifyArrival(std::string& sender, const std::string&, const std::string&, int) {
  sender = text::UpperAscii(sender);
  if (!vars_.NameList.Contains(sender)) {
    vars_.NameList.Add(sender);
    // The new name is written to the settings store ("NOMBRES", value "N") once it exists.
  }
  const std::string selected = ItemAnsi(ui_.CBNombres, ui_.CBNombres->currentIndex());
  RefillNames(selected);
  if (vars_.OptAutoDestination && sender != vars_.OwnName && !ui_.ChBGrupos->isChecked() &&
      !vars_.OptHardway && !ui_.BTexto->isHidden()) {
    ui_.CBNombres->setCurrentIndex(FindItem(ui_.CBNombres, sender));
    vars_.Destination = sender;
    ShowDestination();
  }
  if (vars_.OptBeep) QApplication::beep();
}

// ---------------------------------------------------------------------------------------------
// Conversation view

void TDOzuZe::AppendLine(const std::string& first, const std::string& second,
                         const std::string& text, int paletteIndex) {
  AppendEntry(LongTimeText(clock_->Now()), first, second, text, paletteIndex);
}

void TDOzuZe::AppendRecoveredLine(const std::string& first, const std::string& second,
                                  const std::string& text, int paletteIndex) {
  AppendEntry(kRecoveredTime, first, second, text, paletteIndex);
}

void TDOzuZe::AppendEntry(const std::string& time, const std::string& first,
                          const std::string& second, const std::string& text,
                          int paletteIndex) {
  const auto index = static_cast<std::uint8_t>(std::clamp(paletteIndex, 0, 255));
  {
  // The panes take the entry, its fillers and the move to the end as one change each.
  const PaneUpdate update{ui_.SRChat, ui_.SRCab, ui_.SRTime};
  ui_.SRChat->AddText(text, index, true);
  ui_.SRCab->AddText(first + vars_.Text(kRowJoin) + second, kPaletteHeadings, true);
  ui_.SRTime->AddText(time, kPaletteTime, true);
  // Every column is filled up to the entry's tallest one, the text column included when a long
  // heading wraps into more lines than the text: the next entry then starts on the same line in
  // all three columns, and the three panes always hold the same number of lines.
  const int tallest =
      std::max({ui_.SRChat->LineCount(), ui_.SRCab->LineCount(), ui_.SRTime->LineCount()});
  while (ui_.SRChat->LineCount() < tallest) ui_.SRChat->AddText(std::string(), index, true);
  while (ui_.SRCab->LineCount() < tallest) ui_.SRCab->AddText(std::string(), kPaletteHeadings, true);
  while (ui_.SRTime->LineCount() < tallest) {
    ui_.SRTime->AddText(std::string(), kPaletteHeadings, true);
  }
  Actualizar_memos(nullptr);
  }
  emit lineAppended(time, first, second, text, paletteIndex);
}

void TDOzuZe::Actualizar_memos(QObject* sender) {
  ui_.SRChat->UpdateVisibleLines();
  ui_.SRCab->UpdateVisibleLines();
  ui_.SRTime->UpdateVisibleLines();
  const int visible = ui_.SRChat->VisibleLines();
  const int count = ui_.SRChat->LineCount();
  QScrollBar* bar = ui_.ScrollBar;
  if (count >= visible) {
    // Moving the bar from here must not come back in as the user's move.
    const QSignalBlocker block(bar);
    bar->setEnabled(true);
    bar->setMaximum(count - visible);
    bar->setPageStep(visible);
    if (sender != bar) bar->setValue(bar->maximum());
  }
  const int top = bar->value();
  ui_.SRChat->SetTopLine(top);
  ui_.SRCab->SetTopLine(top);
  ui_.SRTime->SetTopLine(top);
}

void TDOzuZe::ScrollBy(int lines) {
  QScrollBar* bar = ui_.ScrollBar;
  const int top = std::clamp(bar->value() + lines, 0, bar->maximum());
  {
    const QSignalBlocker block(bar);
    bar->setValue(top);
  }
  ui_.SRChat->SetTopLine(top);
  ui_.SRCab->SetTopLine(top);
  ui_.SRTime->SetTopLine(top);
}

void TDOzuZe::BBorrarClick() {
  ui_.SRChat->ClearLines();
  ui_.SRTime->ClearLines();
  ui_.SRCab->ClearLines();
  const QSignalBlocker block(ui_.ScrollBar);
  ui_.ScrollBar->setValue(0);
  // The range goes too, so no key can scroll into lines that are gone.
  ui_.ScrollBar->setRange(0, 0);
  ui_.ScrollBar->setPageStep(0);
  ui_.ScrollBar->setEnabled(false);
}

void TDOzuZe::PaneKeyReleased(int key, Qt::KeyboardModifiers modifiers) {
  const int visible = ui_.SRChat->VisibleLines();
  switch (key) {
    case Qt::Key_PageUp:
      ScrollBy(-visible);
      break;
    case Qt::Key_PageDown:
      ScrollBy(visible);
      break;
    case Qt::Key_Up:
      ScrollBy(-1);
      break;
    case Qt::Key_Down:
      ScrollBy(1);
      break;
    case Qt::Key_C:
    case Qt::Key_Insert:
      if (modifiers & Qt::AltModifier) CopyChatSelection();
      break;
    default:
      break;
  }
}

void TDOzuZe::CopyChatSelection() {
  // Whichever pane had the key, the text column's selection is what is copied. Its lines are
  // put on the clipboard as the CR LF lines they are, then joined into one.
  QString selected = ui_.SRChat->textCursor().selectedText();
  selected.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  selected.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  QApplication::clipboard()->setText(selected);
  JoinClipboardLines();
}

void TDOzuZe::JoinClipboardLines() {
  QClipboard* clipboard = QApplication::clipboard();
  QString text = clipboard->text();
  if (text.isNull()) return;
  text.remove(QStringLiteral("\r\n"));
  clipboard->setText(text);
}

// ---------------------------------------------------------------------------------------------
// Destination selection and compose

void TDOzuZe::ShowDestination() { ShowDestinationText(vars_.Destination); }

void TDOzuZe::ShowDestinationText(const std::string& text) {
  SetStatusText(1, vars_.Text(kRowDestinoStatus) + text);
}

void TDOzuZe::RefillNames(const std::string& select) {
  QComboBox* box = ui_.CBNombres;
  box->clear();
  for (const std::string& name : vars_.NameList) AddItem(box, name);
  box->setCurrentIndex(box->count() > 0 ? FindItem(box, select) : -1);
}

void TDOzuZe::SetGroupsHint(int groupIndex) {
  const TGrupo* group = vars_.GroupList.Find(groupIndex);
  ui_.CBGrupos->setToolTip(group ? PlainTip(ToQ(JoinMembers(*group))) : QString());
}

void TDOzuZe::FillSelectors() {
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

void TDOzuZe::ChBGruposClick() {
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
  ui_.EReceptor->clear();
  ui_.EReceptor->hide();
  ui_.BReceptor->show();
  vars_.Destination = ItemAnsi(ui_.CBGrupos, ui_.CBGrupos->currentIndex());
  ShowDestination();
}

void TDOzuZe::CBNombresChange() {
  vars_.Destination = ItemAnsi(ui_.CBNombres, ui_.CBNombres->currentIndex());
  ShowDestination();
}

void TDOzuZe::CBGruposChange() {
  const int index = ui_.CBGrupos->currentIndex();
  vars_.Destination = ItemAnsi(ui_.CBGrupos, index);
  ShowDestination();
  SetGroupsHint(index);
}

void TDOzuZe::BReceptorClick() {
  ui_.BReceptor->hide();
  ui_.EReceptor->show();
  ui_.EReceptor->setFocus();
}

bool TDOzuZe::EReceptorKeyPress(int key) {
  if (key == kKeyEnter && ui_.EReceptor->text().isEmpty()) key = kKeyEscape;
  if (key == kKeyEnter) {
    vars_.Destination = text::UpperAscii(FromQ(ui_.EReceptor->text()));
    ui_.EReceptor->clear();
    ui_.EReceptor->hide();
    ui_.BReceptor->show();
    vars_.NameList.Add(vars_.Destination);
    RefillNames(vars_.Destination);
    ShowDestination();
    BTextoClick();
    return true;
  }
  if (key == kKeyEscape) {
    ui_.EReceptor->clear();
    ui_.EReceptor->hide();
    ui_.BReceptor->show();
    ui_.BReceptor->setFocus();
    return true;
  }
  return false;
}

void TDOzuZe::BTextoClick() {
  if (!ui_.EReceptor->isHidden()) EReceptorKeyPress(kKeyEnter);
  const bool selected = ui_.ChBGrupos->isChecked() ? ui_.CBGrupos->currentIndex() >= 0
                                                   : ui_.CBNombres->currentIndex() >= 0;
  if (!selected) return;
  ui_.BTexto->hide();
  ui_.MTexto->show();
  ui_.MTexto->setFocus();
}

void TDOzuZe::BReceptor_hardwayClick() {
  ui_.BReceptor_hardway->hide();
  ui_.EReceptor_hardway->show();
  ui_.EReceptor_hardway->clear();
  ui_.EReceptor_hardway->setFocus();
}

bool TDOzuZe::EReceptor_hardwayKeyPress(int key) {
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
    ui_.EReceptor_hardway->clear();
    ui_.EReceptor_hardway->hide();
    ui_.BReceptor_hardway->show();
    ui_.BReceptor_hardway->setFocus();
    return true;
  }
  return false;
}

void TDOzuZe::ApplyHardwayLayout() {
  ui_.PNoHardway->setVisible(!vars_.OptHardway);
  ui_.PHardway->setVisible(vars_.OptHardway);
}

void TDOzuZe::SelectQuickDestination(int index) {
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

bool TDOzuZe::HandlesOwnEscape(QWidget* w) const {
  for (QWidget* own :
       {static_cast<QWidget*>(ui_.EReceptor), static_cast<QWidget*>(ui_.MTexto),
        static_cast<QWidget*>(ui_.EReceptor_hardway), static_cast<QWidget*>(ui_.MTexto_hardway),
        static_cast<QWidget*>(ui_.ECambioNombre)}) {
    if (w == own || own->isAncestorOf(w)) return true;
  }
  return false;
}

bool TDOzuZe::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyRelease) {
    previewedPress_ = nullptr;
    return false;
  }
  if (type != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto* target = static_cast<QWidget*>(watched);
  if (target->window() != this) return false;
  // A key that a control leaves alone travels on to its parents with the same event; the
  // window previews it only at the first of them. The address alone does not tell a new press
  // from the old one travelling on (Qt builds successive key events at the same address while
  // Alt is held), but the journey only ever goes up from the widget seen last.
  if (event == previewedPress_ && previewedAt_ && target->isAncestorOf(previewedAt_)) {
    previewedAt_ = target;
    return false;
  }
  previewedPress_ = event;
  previewedAt_ = target;
  auto* key = static_cast<QKeyEvent*>(event);
  if (FormKeyDown(key)) return true;
  return FormKeyPress(key, target);
}

bool TDOzuZe::FormKeyDown(QKeyEvent* e) {
  const Qt::KeyboardModifiers mods = e->modifiers();
  if (!(mods & Qt::AltModifier) || vars_.OptHardway) return false;
  const int key = e->key();
  if (key == Qt::Key_P || key == Qt::Key_F1) {
    if (ui_.ChBGrupos->isChecked()) {
      core_->BPingGruposClick();
    } else {
      core_->BPingClick();
    }
  } else if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    // Ctrl+Alt with a digit of the main keyboard is left alone (it types characters on some
    // keyboards); the keypad digits count with or without Ctrl.
    const bool keypad = (mods & Qt::KeypadModifier) != 0;
    if (keypad || !(mods & Qt::ControlModifier)) SelectQuickDestination(key - Qt::Key_0);
  }
  return false;  // the key goes on to the focused control
}

bool TDOzuZe::FormKeyPress(QKeyEvent* e, QWidget* target) {
  if (e->key() != Qt::Key_Escape || HandlesOwnEscape(target)) return false;
  if (vars_.ViewMode == vmPreview) {
    // Esc in the banner: everything goes into the tray, arrivals are only counted.
    vars_.ViewMode = vmHidden;
    HideMainForm();
  } else {
    MinimizeApplication();
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Tray and view mode

void TDOzuZe::SetMenuFirstEntry(int row) { ui_.Restaurar1->setText(ToQ(vars_.Text(row))); }

void TDOzuZe::SetTrayHint(const std::string& hint) {
  if (ui_.TrayIcon) ui_.TrayIcon->SetHint(hint);
}

void TDOzuZe::ShowMainForm() {
  if (ui_.TrayIcon) {
    ui_.TrayIcon->ShowMainForm();
  } else {
    showNormal();
  }
}

bool TDOzuZe::TrayMissing() const {
  if (!ui_.TrayIcon) return false;
  return !(env_.trayAvailable ? env_.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable());
}

void TDOzuZe::ShowIfNoTray() {
  if (terminateRequested_ || !TrayMissing()) return;
  // Minimising must leave the window on the task bar, not hide it in a tray that is not there.
  ui_.TrayIcon->SetMinimizeToTray(false);
  vars_.ViewMode = vmNormal;
  SetMenuFirstEntry(kRowMinimizar);
  ShowMainForm();
  GiveRestFocus();
}

void TDOzuZe::HideMainForm() {
  if (TrayMissing()) {
    showMinimized();
  } else if (ui_.TrayIcon) {
    ui_.TrayIcon->HideMainForm();
  } else {
    hide();
  }
}

void TDOzuZe::ForceForeground() {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void TDOzuZe::GiveRestFocus() {
  // The last of them that can take the focus keeps it.
  for (QWidget* w : {static_cast<QWidget*>(ui_.BTexto), static_cast<QWidget*>(ui_.MTexto),
                     static_cast<QWidget*>(ui_.BReceptor_hardway)}) {
    if (w->isVisibleTo(this) && w->isEnabled()) w->setFocus();
  }
}

void TDOzuZe::TrayIconClick() {
  switch (vars_.ViewMode) {
    case vmMinimized:
      // (The lost-messages file, open only after a banner, is closed and deleted here.)
    case vmPreview:
      SetMenuFirstEntry(kRowMinimizar);
      ShowMainForm();
      ForceForeground();
      break;
    case vmNormal:
    case vmHidden:
      ShowMainForm();
      ForceForeground();
      break;
  }
  vars_.ViewMode = vmNormal;
  GiveRestFocus();
}

void TDOzuZe::Opcion1Click() {
  if (vars_.ViewMode == vmMinimized || vars_.ViewMode == vmPreview) {
    TrayIconClick();
  } else {
    MinimizeApplication();
  }
}

void TDOzuZe::MinimizeApplication() {
  HideMainForm();
  AppMinimize();
}

void TDOzuZe::AppMinimize() {
  vars_.NewMessageCount = 0;
  SetMenuFirstEntry(kRowRestaurar);
  if (vars_.ViewMode != vmPreview) SetTrayHint(kTrayHint);
  vars_.ViewMode = vmMinimized;
}

}  // namespace pelmora
