#include "app/DOzuZe.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "app/AccessibleNames.h"
#include "app/AnswerTimer.h"
#include "app/ArrivalNotification.h"
#include "app/ComposeMemo.h"
#include "app/ConversationView.h"
#include "app/DestinationCompose.h"
#include "app/KeyPreview.h"
#include "app/LanguageTable.h"
#include "app/OptionsWiring.h"
#include "app/OwnNameEditor.h"
#include "app/PreviewBanner.h"
#include "app/QtDispatcher.h"
#include "app/RepaintHold.h"
#include "app/SettingsIO.h"
#include "app/StatusPanels.h"
#include "app/TimeText.h"
#include "app/TrayMenu.h"
#include "app/ViewActionRunner.h"
#include "app/WindowShutdown.h"
#include "messaging/LostMessageRecovery.h"
#include "messaging/TextTable.h"
#include "model/MessageFile.h"
#include "text/CodePage.h"
#include "widgets/Accessibility.h"
#include "widgets/CoolTrayIcon.h"
#include "widgets/DesktopNotifier.h"
#include "widgets/Fonts.h"
#include "widgets/PelmoraIcon.h"
#include "widgets/QtDesktop.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora {

// The time column of an entry restored from the lost-messages file.
constexpr const char* kRecoveredTime = "------";

TDOzuZe::TDOzuZe(WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      services_(std::move(services)) {
  if (services_.desktop) {
    desktop_ = services_.desktop;
  } else {
    ownDesktop_ = std::make_unique<QtDesktopServices>();
    desktop_ = ownDesktop_.get();
  }
  if (services_.notifier) {
    notifier_ = services_.notifier;
  } else {
    // Named after the installed menu entry and the icon in the theme.
    ownNotifier_ =
        std::make_unique<DBusArrivalNotifier>(QStringLiteral("pelmora"), QStringLiteral("pelmora"));
    notifier_ = ownNotifier_.get();
  }
  // A click on a notification does what a click on the tray icon does.
  notifier_->onActivated = [this] { TrayIconClick(); };
  // Tool tips reach the accessibility bus as plain text, for every window of the program.
  (new PlainTipDescriptions(this))->Install();
  dispatcher_ = std::make_unique<QtMailSlotDispatcher>(this);
  if (services_.endpoints) endpoints_ = services_.endpoints(*dispatcher_);
  if (!endpoints_) nullTransport_ = std::make_unique<SilentTransport>();
  if (services_.clock) {
    clock_ = services_.clock;
  } else {
    systemClock_ = std::make_unique<SystemClock>();
    clock_ = systemClock_.get();
  }
  core_ = std::make_unique<MessagingCore>(
      vars_, *this, endpoints_ ? endpoints_->Transport() : *nullTransport_, *clock_);
  if (endpoints_) endpoints_->Connect(*core_);

  CreateParts();
  ConnectParts();
  FormCreate();
  if (terminateRequested_) return;
  // Only the copy that won the private slots shows its icon (and with it the window starts in
  // the tray); a second copy shows nothing but its "already running" box.
  tray_->Loaded();
}

TDOzuZe::~TDOzuZe() {
  // The key preview watches the whole application; it goes before the controls it looks at.
  delete keys_;
  keys_ = nullptr;
  if (shutdown_) shutdown_->ShutdownEndpoints();
}

// ---------------------------------------------------------------------------------------------
// Parts

void TDOzuZe::CreateParts() {
  setObjectName(QStringLiteral("DOzuZe"));
  setFont(PelmoraInterfaceFont());
  setFixedSize(537, 288);
  setWindowIcon(PelmoraIcon());
  const QFont fixed = PelmoraFixedFont();

  ui_.PGeneral = new QWidget(this);
  ui_.PGeneral->setObjectName(QStringLiteral("PGeneral"));
  ui_.PGeneral->setGeometry(0, 0, 537, 269);
  ui_.PGeneral->setAutoFillBackground(true);

  view_ = new ConversationView(ui_.PGeneral, fixed);
  ui_.SRTime = view_->TimePane();
  ui_.SRCab = view_->HeadingPane();
  ui_.SRChat = view_->TextPane();
  // The panes show the colours the settings hold.
  settingsIO_ = std::make_unique<SettingsIO>(
      services_.settingsStore, vars_,
      std::array<TScrollRichEdit*, 3>{ui_.SRTime, ui_.SRCab, ui_.SRChat});
  ui_.ScrollBar = view_->ScrollBar();

  CreateOwnControls();

  destination_ = new DestinationCompose(vars_, ui_.PGeneral, fixed);
  ui_.Destination = &destination_->Ui();
  // The own-name field lies over the compose area while it is open, and comes last in the
  // tab order.
  CreateNameFieldAndStatusBar();

  // The banner that stands in for the window while new messages wait, the lost-messages file and
  // the restore hot key.
  arrival_ = new ArrivalNotification(vars_, this, *desktop_, *notifier_, services_.hotKeys,
                                     services_.lostMessagesPath);
  ui_.ScrollingText = arrival_->Banner().ScrollingText();
  ui_.LForro = arrival_->Banner().LForro();

  tray_ = new TrayMenu(this, *desktop_, services_.trayIcon);
  ui_.TrayIcon = tray_->Icon();
  ui_.PopupMenu = tray_->Menu();
  ui_.Restaurar1 = tray_->FirstEntry();
  ui_.N1 = tray_->Separator();
  ui_.Cerrar1 = tray_->CloseEntry();

  // Key preview: the window sees every key of its controls before they do.
  keys_ = new KeyPreview(this);

  // The dialog's hot key list edits the letter the settings keep; it is registered again at
  // once, so the new combination works before OK.
  options_ = std::make_unique<WindowOptions>(
      vars_, *settingsIO_, *view_, *core_, *desktop_, services_.fileChooser, services_.linkOpener,
      [this] { ApplyOptionsOk(); },
      [this](char letter) { arrival_->RegisterRestoreHotKey(letter); });

  answerTimer_ = new AnswerTimer([this] { core_->TimerTimer(); },
                                 [this] { return core_->AnswerDeadlinePending(); }, this);
  ui_.Timer = &answerTimer_->Timer();
  repaintHold_ = new RepaintHold(this);

  viewActions_ = std::make_unique<ViewActionRunner>(*this, vars_, viewModes_, *tray_, *arrival_,
                                                    *destination_, *desktop_, *options_);
  shutdown_ = std::make_unique<WindowShutdown>(*this, vars_, *tray_, *options_, *dispatcher_,
                                               endpoints_.get(), *ui_.Timer,
                                               [this] { MinimizeApplication(); });
}

void TDOzuZe::CreateOwnControls() {
  QWidget* g = ui_.PGeneral;
  auto makeButton = [g](const QString& name, QRect r) {
    auto* b = new QPushButton(g);
    b->setObjectName(name);
    b->setGeometry(r);
    b->setAutoDefault(false);
    return b;
  };
  // 10 pixels wider than designed, for the German "Alles löschen".
  ui_.BOpciones = makeButton(QStringLiteral("BOpciones"), QRect(8, 200, 85, 25));
  ui_.BBorrar = makeButton(QStringLiteral("BBorrar"), QRect(8, 240, 85, 25));
  ui_.BOpciones->setText(QStringLiteral("&Opciones"));
  ui_.BBorrar->setText(QStringLiteral("&Borrar todo"));
}

void TDOzuZe::CreateNameFieldAndStatusBar() {
  QWidget* g = ui_.PGeneral;
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

  ui_.StatusBar = new StatusPanels({230, 230, 50}, this);
  ui_.StatusBar->setObjectName(QStringLiteral("StatusBar"));
  ui_.StatusBar->setGeometry(0, 269, 537, 19);
  ui_.StatusBar->SetPanelText(0, QStringLiteral("Origen:"));
  ui_.StatusBar->SetPanelText(1, QStringLiteral("Destino:"));
  ui_.StatusBar->SetPanelText(2, QStringLiteral("Hora"));
  ui_.StatusBar->SetClock(2, [this] { return ToQ(LongTimeText(clock_->Now())); });
}

void TDOzuZe::ConnectParts() {
  connect(ui_.BBorrar, &QPushButton::clicked, this, [this] { BBorrarClick(); });
  view_->languageIndex = [this] { return vars_.LanguageIndex; };
  connect(ui_.BOpciones, &QPushButton::clicked, this, [this] { BOpcionesClick(); });

  connect(destination_, &DestinationCompose::destinationStatusChanged, this,
          [this](const std::string& text) { SetStatusText(1, text); });
  connect(destination_, &DestinationCompose::pingNamesClicked, this,
          [this] { core_->BPingClick(); });
  connect(destination_, &DestinationCompose::pingGroupClicked, this,
          [this] { core_->BPingGruposClick(); });
  destination_->onComposeKey = [this](int key, const std::string& text) {
    return core_->MTextoKeyPress(key, text);
  };
  destination_->onHardwayComposeKey = [this](int key, const std::string& text) {
    return core_->MTexto_hardwayKeyPress(key, text);
  };

  keys_->windowKeysActive = [this] { return !vars_.OptHardway; };
  keys_->takesOwnEscape = [this](const QWidget* w) {
    return destination_->HandlesOwnEscape(w) || w == ui_.ECambioNombre ||
           ui_.ECambioNombre->isAncestorOf(w);
  };
  connect(keys_, &KeyPreview::pingKey, this, [this] { Ping(); });
  connect(keys_, &KeyPreview::quickDestinationKey, destination_,
          &DestinationCompose::SelectQuickDestination);
  connect(keys_, &KeyPreview::escapeKey, this, [this] { viewActions_->Run(viewModes_.Escape()); });

  arrival_->setTrayTip = [this](const std::string& tip) { tray_->SetHint(tip); };
  connect(arrival_, &ArrivalNotification::bannerDoubleClicked, this, [this] { LForroDblClick(); });
  connect(arrival_, &ArrivalNotification::bannerEscape, this,
          [this] { viewActions_->Run(viewModes_.Escape()); });
  connect(arrival_, &ArrivalNotification::restoreHotKeyPressed, this,
          [this] { HotKeyManagerHotKeysRestaurarHotKeyActivation(); });

  ownNameEditor_ = new OwnNameEditor(
      ui_.ECambioNombre, vars_, [this] { destination_->FocusComposeArea(); }, this);
  connect(ui_.StatusBar, &StatusPanels::MouseDown, ownNameEditor_,
          [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint) {
            ownNameEditor_->StatusBarMouseDown(button, modifiers);
          });
  connect(ownNameEditor_, &OwnNameEditor::OwnNameChanged, this,
          [this] { SetStatusText(0, vars_.Text(kRowOrigen) + vars_.OwnName); });
  connect(tray_, &TrayMenu::iconClicked, this, [this] { TrayIconClick(); });
  connect(tray_, &TrayMenu::firstEntryChosen, this, [this] { Opcion1Click(); });
  connect(tray_, &TrayMenu::closeChosen, this, [this] { Cerrar1Click(); });
}

void TDOzuZe::Ping() {
  if (destination_->GroupsTicked()) {
    core_->BPingGruposClick();
  } else {
    core_->BPingClick();
  }
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void TDOzuZe::FormCreate() {
  vars_.ReallyQuit = false;
  // Times carry no AM/PM designator for the whole run.
  timeFormat_ = SystemLongTimeFormat();
  viewModes_.Start();
  for (QuickDestination& q : vars_.QuickDestinations) q = QuickDestination{};

  LoadSettingsStep();
  ApplyLanguage(vars_.LanguageIndex);

  if (endpoints_) {
    // Without the messenger endpoint the program still runs on its two private slots.
    endpoints_->ActivateWinPopup();
    // Only another copy of the program holds the private slots of this machine.
    const bool ok = endpoints_->ActivateMailSlot() && endpoints_->ActivateMSUtils();
    if (!ok) {
      // This copy will not run: its endpoints go at once, so nothing that arrives while the
      // box is open is dispatched into a window that never shows.
      ShutdownEndpoints();
      desktop_->ShowMessage(nullptr, DesktopServices::MessageKind::Warning,
                            QStringLiteral("Pelmora"), ToQ(vars_.Text(kRowAlreadyRunning)));
      terminateRequested_ = true;
    }
  }

  // Only the copy that stays takes the old ini file over (a second copy would write the store
  // under the running one and take the file away from it) and the global key (which the running
  // copy holds: the second would only be told it is taken).
  if (!terminateRequested_) {
    settingsIO_->CompleteMigration();
    RegisterHotKeyStep();
  }
  ReadIdentity();

  destination_->ChooseStartDestination();
  SetStatusText(0, vars_.Text(kRowOrigen) + vars_.OwnName);
  destination_->ShowDestination();
  destination_->FillSelectors();
  vars_.ClearPendingTables();
  RecoverLostMessagesStep();
  // The window opens with the compose button ready, not with a caret in the conversation.
  destination_->GiveRestFocus(this);
}

void TDOzuZe::LoadSettingsStep() {
  // The colours start from their defaults (the time, headings, ... and system colours on
  // black); what the settings load comes on top.
  view_->ResetColors();
  settingsIO_->LoadAtStart(services_.legacySettingsPath);
  if (services_.loadSettings) services_.loadSettings(vars_);
}

void TDOzuZe::RegisterHotKeyStep() { arrival_->RegisterRestoreHotKey(settingsIO_->HotKeyLetter()); }

void TDOzuZe::SetRestoreHotKeyLetter(char letter) {
  settingsIO_->SetHotKeyLetter(letter);
  arrival_->RegisterRestoreHotKey(letter);
}

void TDOzuZe::RecoverLostMessagesStep() {
  // A copy that stops because another one runs must leave that copy's file alone.
  if (terminateRequested_ || services_.lostMessagesPath.empty()) return;
  int shown = 0;
  const RecoveryResult result = RecoverLostMessages(
      services_.lostMessagesPath,
      [this](const std::string& first, const std::string& second, const std::string& text,
             int paletteIndex) { AppendRecoveredLine(first, second, text, paletteIndex); },
      &shown, /*keepFile=*/true);
  // The file goes only once the window has shown its messages; until then they are counted.
  if (result != RecoveryResult::Recovered) return;
  if (shown == 0) {
    DeleteMessageFile(services_.lostMessagesPath);  // nothing in it to lose
    return;
  }
  arrival_->AdoptRecovered(shown);
  viewActions_->Run(viewModes_.Recovered());
}

void TDOzuZe::ReadIdentity() {
  if (!endpoints_) return;
  const MachineNames names = endpoints_->ReadMachineNames();
  vars_.OwnName = text::UpperAscii(names.computerName);
  vars_.WorkgroupName = text::UpperAscii(names.workgroup);
}

void TDOzuZe::ApplyLanguage(std::uint8_t index) {
  vars_.LanguageIndex = index;
  ApplyLanguageTable(this, index);
  SetStatusText(0, vars_.Text(kRowOrigen) + vars_.OwnName);
  destination_->ShowDestination();
  viewActions_->RefreshMenuFirstEntry();
  tray_->SetCloseEntryText(vars_.Text(kRowCerrar));
  ApplyAccessibleNames(ui_, vars_);
}

void TDOzuZe::closeEvent(QCloseEvent* event) { shutdown_->CloseEvent(event); }

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
    viewActions_->Run(viewModes_.Minimized());
  }
}

// ---------------------------------------------------------------------------------------------
// Tray and view mode

void TDOzuZe::ShowIfNoTray() {
  if (terminateRequested_ || !tray_->TrayMissing()) return;
  viewActions_->StartWithoutTray();
}

// ---------------------------------------------------------------------------------------------
// MessagingHost and the conversation view

void TDOzuZe::AppendLine(const std::string& first, const std::string& second,
                         const std::string& text, int paletteIndex) {
  AppendEntry(LongTimeText(clock_->Now()), first, second, text, paletteIndex);
}

void TDOzuZe::AppendRecoveredLine(const std::string& first, const std::string& second,
                                  const std::string& text, int paletteIndex) {
  AppendEntry(kRecoveredTime, first, second, text, paletteIndex);
}

void TDOzuZe::AppendEntry(const std::string& time, const std::string& first,
                          const std::string& second, const std::string& text, int paletteIndex) {
  view_->Append(time, first + vars_.Text(kRowJoin) + second, text, paletteIndex);
  if (services_.entryAppended) services_.entryAppended(time, first, second, text, paletteIndex);
}

void TDOzuZe::BBorrarClick() { view_->Clear(); }

bool TDOzuZe::EReceptorKeyPress(int key) { return destination_->EReceptorKeyPress(key); }

void TDOzuZe::AnswerDeadlineSet() {
  answerTimer_->Arm();
  repaintHold_->Hold();
}

void TDOzuZe::SetStatusText(int panel, const std::string& text) {
  ui_.StatusBar->SetPanelText(panel, ToQ(text));
}

QString TDOzuZe::StatusText(int panel) const { return ui_.StatusBar->PanelText(panel); }

bool TDOzuZe::RepaintHeld() const { return repaintHold_->Holding(); }

std::string TDOzuZe::LongTimeText(DateTime when) {
  return FromQ(FormatTimeOfDay(when, timeFormat_));
}

bool TDOzuZe::GroupsTicked() { return destination_->GroupsTicked(); }

int TDOzuZe::SelectedGroupIndex() { return destination_->SelectedGroupIndex(); }

void TDOzuZe::RestNormalCompose() { destination_->RestNormalCompose(); }

void TDOzuZe::RestHardwayCompose() { destination_->RestHardwayCompose(); }

void TDOzuZe::AddToOptionsNameLists(const std::string& name) { options_->AddToNameLists(name); }

void TDOzuZe::DeliveryStarted(DeliveryId id, const std::string& label,
                              const std::vector<std::string>& targets) {
  view_->BeginDelivery(id, label, targets);
}

void TDOzuZe::DeliveryResult(DeliveryId id, const std::string& target, DeliveryOutcome outcome) {
  const std::string summary = view_->RecordDelivery(id, target, outcome);
  if (!summary.empty()) ui_.StatusBar->ShowMessage(ToQ(summary));
  if (!core_->AnswerDeadlinePending()) repaintHold_->Release();
}

void TDOzuZe::NotifyArrival(std::string& sender, const std::string& receiver,
                            const std::string& text, int paletteIndex) {
  sender = text::UpperAscii(sender);
  // The secure channel can bring an empty sender: nobody to add, store or answer, and never the
  // destination (a message to an empty name would go nowhere anyone reads).
  if (!sender.empty()) {
    if (!vars_.NameList.Contains(sender)) options_->NewSender(sender);
    destination_->ArrivalFrom(sender);
  }
  arrival_->Announce(sender, text);
  viewActions_->Run(viewModes_.Arrival(vars_.OptRestore, vars_.OptPreview, options_->DialogOpen()));
  if (viewModes_.KeepsLostMessages())
    arrival_->KeepLostMessage(paletteIndex, sender, receiver, text);
}

// ---------------------------------------------------------------------------------------------
// Options dialog

void TDOzuZe::BOpcionesClick() { options_->Open(this); }

void TDOzuZe::ApplyOptionsOk() {
  ApplyLanguage(vars_.LanguageIndex);
  destination_->AfterOptions();
  view_->Actualizar_memos(nullptr);
}

}  // namespace pelmora
