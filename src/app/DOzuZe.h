#pragma once
// TDOzuZe, the main window. It builds its parts (conversation view, destination and compose
// controls, key preview, tray and menu, view-mode machine), wires them to each other and to the
// messaging core, and keeps the order of start-up and shutdown. It is the MessagingHost of the
// core, which holds every protocol rule; the window only forwards to the part concerned. What the
// view-mode machine decides is carried out by a ViewActionRunner, and the end of the program
// (close button, "&Cerrar", the session's end) by a WindowShutdown.
//
// The window lives from program start to program end. Closing it only sends it to the tray; the
// tray menu's "&Cerrar" and the desktop session's end finish the program.

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "app/DestinationCompose.h"
#include "app/Endpoints.h"
#include "app/ViewActionRunner.h"
#include "app/ViewModeMachine.h"
#include "app/WindowServices.h"
#include "app/WindowShutdown.h"
#include "messaging/MessagingCore.h"
#include "messaging/MessagingHost.h"
#include "messaging/Variables.h"
#include "widgets/AnsiText.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;

namespace pelmora {

class AnswerTimer;
class RepaintHold;
class ArrivalNotification;
class ArrivalNotifier;
class ConversationView;
class OwnNameEditor;
class SettingsIO;
class DesktopServices;
class KeyPreview;
class QtMailSlotDispatcher;
class TCoolTrayIcon;
class TScrollRichEdit;
class StatusPanels;
class TrayMenu;
class WindowOptions;

class TDOzuZe : public QWidget, public MessagingHost {
  Q_OBJECT

 public:
  explicit TDOzuZe(WindowServices services, QWidget* parent = nullptr);
  ~TDOzuZe() override;

  // True when start-up found the private slots taken: the program must end without showing
  // the window.
  bool TerminateRequested() const { return terminateRequested_; }

  Variables& Vars() { return vars_; }
  // The settings of the window and their store: the options dialog saves before it opens and
  // after OK, and loads again on Cancel, through it.
  SettingsIO& Settings() { return *settingsIO_; }
  // Writes the captions, hints, status panels and tray menu texts of one language (0 Spanish,
  // 1 German, 2 English); at start, and after the options dialog closes with OK.
  void ApplyLanguage(std::uint8_t index);
  MessagingCore& Core() { return *core_; }

  // The parts the tests look into.
  ConversationView& View() { return *view_; }
  WindowOptions& Options() { return *options_; }

  // "&Opciones": the options dialog, modal; on OK the window saves the settings and brings its
  // language, selectors, compose mode, status bar and conversation view up to date.
  void BOpcionesClick();

  // --- MessagingHost -----------------------------------------------------------------------
  void AppendLine(const std::string& first, const std::string& second, const std::string& text,
                  int paletteIndex) override;
  void NotifyArrival(std::string& sender, const std::string& receiver, const std::string& text,
                     int paletteIndex) override;
  void SetStatusText(int panel, const std::string& text) override;
  std::string LongTimeText(DateTime when) override;
  bool GroupsTicked() override;
  int SelectedGroupIndex() override;
  void RestNormalCompose() override;
  void RestHardwayCompose() override;
  void AddToOptionsNameLists(const std::string& name) override;
  void AnswerDeadlineSet() override;
  // The sent entry's heading and tool tip (the conversation view), the status bar's message.
  void DeliveryStarted(DeliveryId id, const std::string& label,
                       const std::vector<std::string>& targets) override;
  void DeliveryResult(DeliveryId id, const std::string& target, DeliveryOutcome outcome) override;

  // An entry restored from the lost-messages file: "------" in the time column.
  void AppendRecoveredLine(const std::string& first, const std::string& second,
                           const std::string& text, int paletteIndex);
  void BBorrarClick();
  // Keys 13 (Enter) and 27 (Esc) of the name field; true when consumed.
  bool EReceptorKeyPress(int key);

  // --- Tray and view mode ------------------------------------------------------------------
  void TrayIconClick() { viewActions_->TrayIconClick(); }
  // A double click on the banner: back to the normal window.
  void LForroDblClick() { viewActions_->Run(viewModes_.BannerDoubleClick()); }
  // The global hot key "Restaurar" (Ctrl+Alt+letter).
  void HotKeyManagerHotKeysRestaurarHotKeyActivation() { viewActions_->RestoreHotKey(); }
  // The letter of the restore hot key, kept with the settings; registered again at once. Whoever
  // changes the settings' letter (the options dialog) calls this, or the key stays the old one.
  void SetRestoreHotKeyLetter(char letter);
  ArrivalNotification& Arrival() { return *arrival_; }
  void Opcion1Click() { viewActions_->MenuFirstEntry(); }
  void Cerrar1Click() { shutdown_->Close(); }
  // Called by the program entry once the window is made: on a desktop without a notification
  // area the window cannot start hidden in it, so it starts shown instead.
  void ShowIfNoTray();
  // Minimises the application to the tray (the title-bar close, Esc on the window).
  void MinimizeApplication() { viewActions_->Run(viewModes_.MinimizeRequested()); }
  void HandleShutdownQuery() { shutdown_->SessionEnds(); }
  // Releases the wait threads and deactivates the endpoints; runs once, at the real end.
  void ShutdownEndpoints() { shutdown_->ShutdownEndpoints(); }

  // The controls, for the tests: the window's own and those of its parts. The destination and
  // compose controls are their part's, as it holds them.
  struct Controls {
    const DestinationCompose::Controls* Destination = nullptr;
    QWidget* PGeneral = nullptr;
    QWidget* ScrollingText = nullptr;
    QLabel* LForro = nullptr;
    TScrollRichEdit* SRTime = nullptr;
    TScrollRichEdit* SRCab = nullptr;
    TScrollRichEdit* SRChat = nullptr;
    QScrollBar* ScrollBar = nullptr;
    QPushButton* BOpciones = nullptr;
    QPushButton* BBorrar = nullptr;
    QLineEdit* ECambioNombre = nullptr;
    StatusPanels* StatusBar = nullptr;
    TCoolTrayIcon* TrayIcon = nullptr;
    QTimer* Timer = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* Restaurar1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Cerrar1 = nullptr;
  };
  const Controls& Ui() const { return ui_; }

  // Status panel text, for the tests.
  QString StatusText(int panel) const;
  // Whether the window's repaint waits for the answers of a send, for the tests.
  bool RepaintHeld() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void CreateParts();
  void CreateOwnControls();
  void CreateNameFieldAndStatusBar();
  void ConnectParts();
  void FormCreate();
  // The steps of start-up that FormCreate runs in order.
  void LoadSettingsStep();
  void RegisterHotKeyStep();
  void RecoverLostMessagesStep();
  void ReadIdentity();

  void AppendEntry(const std::string& time, const std::string& first, const std::string& second,
                   const std::string& text, int paletteIndex);
  void Ping();
  // The window's part of the options dialog's OK.
  void ApplyOptionsOk();

  Variables vars_;
  WindowServices services_;
  std::unique_ptr<DesktopServices> ownDesktop_;
  DesktopServices* desktop_ = nullptr;
  std::unique_ptr<ArrivalNotifier> ownNotifier_;
  ArrivalNotifier* notifier_ = nullptr;
  std::unique_ptr<QtMailSlotDispatcher> dispatcher_;
  std::unique_ptr<WindowEndpoints> endpoints_;
  std::unique_ptr<MessagingTransport> nullTransport_;
  std::unique_ptr<Clock> systemClock_;
  Clock* clock_ = nullptr;
  std::unique_ptr<MessagingCore> core_;
  ViewModeMachine viewModes_{vars_.ViewMode};
  ConversationView* view_ = nullptr;
  DestinationCompose* destination_ = nullptr;
  KeyPreview* keys_ = nullptr;
  TrayMenu* tray_ = nullptr;
  ArrivalNotification* arrival_ = nullptr;
  AnswerTimer* answerTimer_ = nullptr;
  RepaintHold* repaintHold_ = nullptr;
  std::unique_ptr<WindowOptions> options_;
  std::unique_ptr<SettingsIO> settingsIO_;
  OwnNameEditor* ownNameEditor_ = nullptr;
  std::unique_ptr<ViewActionRunner> viewActions_;
  std::unique_ptr<WindowShutdown> shutdown_;
  Controls ui_;
  QString timeFormat_;
  bool terminateRequested_ = false;
  bool centredOnce_ = false;
};

}  // namespace pelmora
