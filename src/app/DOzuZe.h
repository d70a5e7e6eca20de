#pragma once
// TDOzuZe, the main window: conversation view, destination selectors, compose boxes, status bar,
// tray icon and the three endpoints. It is the MessagingHost of the messaging core, which holds
// every protocol rule; the window only shows, selects and hands keys on.
//
// The window lives from program start to program end. Closing it only sends it to the tray; the
// tray menu's "&Cerrar" and the desktop session's end finish the program.

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/Endpoints.h"
#include "messaging/MessagingCore.h"
#include "messaging/MessagingHost.h"
#include "messaging/Variables.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QSessionManager;
class QTimer;
class QToolButton;

namespace pelmora {

class SettingsStore;
class TComposeMemo;
class TOwnNameEditor;
class TSettingsIO;
class TKeyLineEdit;
class QtMailSlotDispatcher;
class TCoolTrayIcon;
class TScrollRichEdit;
class TStatusPanels;

// Everything the window takes from outside, so tests can build it without the machine's slots,
// at a fixed time and with a message box they can read.
struct WindowEnvironment {
  // Makes the endpoints, whose wait threads hand their datagrams to the window through the
  // dispatcher it is given; null means none at all (every activation succeeds, nothing is
  // written and the machine names are empty).
  std::function<std::unique_ptr<WindowEndpoints>(MailSlotDispatcher&)> endpoints;
  // Local time for the conversation view and the clock; null means the system clock.
  Clock* clock = nullptr;
  // The "already running" warning; null means a modal warning box.
  std::function<void(const QString& text)> warningBox;
  // The settings store; null means the defaults of Variables, nothing loaded or saved.
  SettingsStore* settings = nullptr;
  // The old program's ini file, migrated into the store at start when it is there.
  std::string legacySettingsPath;
  // Runs after the settings step of start-up (a test host adds to the address book here).
  std::function<void(Variables&)> loadSettings;
  // The lost-messages file shown again at start; empty means none.
  std::string lostMessagesPath;
  // Whether the tray icon is created (tests without a desktop leave it out).
  bool trayIcon = true;
  // Whether the desktop has a notification area to put the icon in; null asks the desktop.
  std::function<bool()> trayAvailable;
};

class TDOzuZe : public QWidget, public MessagingHost {
  Q_OBJECT

 public:
  explicit TDOzuZe(WindowEnvironment env, QWidget* parent = nullptr);
  ~TDOzuZe() override;

  // True when start-up found the private slots taken: the program must end without showing
  // the window.
  bool TerminateRequested() const { return terminateRequested_; }

  Variables& Vars() { return vars_; }
  // The settings of the window and their store (the options dialog loads and saves through it).
  TSettingsIO& Settings() { return *settingsIO_; }
  MessagingCore& Core() { return *core_; }

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

  // --- Conversation view -------------------------------------------------------------------
  // An entry restored from the lost-messages file: "------" in the time column.
  void AppendRecoveredLine(const std::string& first, const std::string& second,
                           const std::string& text, int paletteIndex);
  // Keeps the three panes and the scroll bar in step; `sender` is the scroll bar when the user
  // moved it (the position then stays where the user put it).
  void Actualizar_memos(QObject* sender);
  void ScrollBy(int lines);
  void BBorrarClick();
  // Removes every CR LF pair from the clipboard's text.
  static void JoinClipboardLines();

  // --- Destination selection and compose ---------------------------------------------------
  void FillSelectors();
  void ChBGruposClick();
  void CBNombresChange();
  void CBGruposChange();
  void BReceptorClick();
  // Keys 13 (Enter) and 27 (Esc) of the typed-destination fields; true when consumed.
  bool EReceptorKeyPress(int key);
  void BTextoClick();
  void BReceptor_hardwayClick();
  bool EReceptor_hardwayKeyPress(int key);
  // Switches between the normal and the typed-destination compose area.
  void ApplyHardwayLayout();
  // Alt+digit on the window: quick destination 0..9.
  void SelectQuickDestination(int index);

  // --- Tray and view mode ------------------------------------------------------------------
  void TrayIconClick();
  void Opcion1Click();
  void Cerrar1Click();
  // Called by the program entry once the window is made: on a desktop without a notification
  // area the window cannot start hidden in it, so it starts shown instead.
  void ShowIfNoTray();
  void AppMinimize();
  // Minimises the application to the tray (the title-bar close, Esc on the window).
  void MinimizeApplication();
  void HandleShutdownQuery();
  // Releases the wait threads and deactivates the endpoints; runs once, at the real end.
  void ShutdownEndpoints();

  // The controls, for the tests.
  struct Controls {
    QWidget* PGeneral = nullptr;
    QWidget* ScrollingText = nullptr;
    QLabel* LForro = nullptr;
    TScrollRichEdit* SRTime = nullptr;
    TScrollRichEdit* SRCab = nullptr;
    TScrollRichEdit* SRChat = nullptr;
    QScrollBar* ScrollBar = nullptr;
    QPushButton* BOpciones = nullptr;
    QPushButton* BBorrar = nullptr;
    QWidget* PNoHardway = nullptr;
    QCheckBox* ChBGrupos = nullptr;
    QWidget* PNombres = nullptr;
    QPushButton* BReceptor = nullptr;
    TKeyLineEdit* EReceptor = nullptr;
    QComboBox* CBNombres = nullptr;
    QToolButton* BPing = nullptr;
    QWidget* PGrupos = nullptr;
    QComboBox* CBGrupos = nullptr;
    QToolButton* BPingGrupos = nullptr;
    TComposeMemo* MTexto = nullptr;
    QPushButton* BTexto = nullptr;
    QWidget* PHardway = nullptr;
    QPushButton* BReceptor_hardway = nullptr;
    TKeyLineEdit* EReceptor_hardway = nullptr;
    TComposeMemo* MTexto_hardway = nullptr;
    QLineEdit* ECambioNombre = nullptr;
    TStatusPanels* StatusBar = nullptr;
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

 signals:
  // One entry appended to the conversation view, in the window's own Windows-1252 texts: the
  // time column's text, the two names of the heading, the text and its palette index. For
  // observers (test hosts); the view itself does not need it.
  void lineAppended(const std::string& time, const std::string& first, const std::string& second,
                    const std::string& text, int paletteIndex);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void CreateControls();
  void ConnectControls();
  void FormCreate();
  // Start-up steps whose own work arrives later keep their place in the order.
  void LoadSettingsStep();
  void ApplyLanguage(std::uint8_t index);
  void RegisterHotKeyStep();
  void RecoverLostMessagesStep();
  void ReadIdentity();

  // Keys previewed on the window before the focused control sees them.
  bool FormKeyDown(QKeyEvent* e);
  bool FormKeyPress(QKeyEvent* e, QWidget* target);
  void PaneKeyReleased(int key, Qt::KeyboardModifiers modifiers);
  void CopyChatSelection();

  void AppendEntry(const std::string& time, const std::string& first, const std::string& second,
                   const std::string& text, int paletteIndex);
  void ShowDestination();
  void ShowDestinationText(const std::string& text);
  void RefillNames(const std::string& select);
  void SetGroupsHint(int groupIndex);
  void GiveRestFocus();
  void ShowMainForm();
  void HideMainForm();
  // A tray icon exists but the desktop has nowhere to show it: hiding would lose the window.
  bool TrayMissing() const;
  void ForceForeground();
  void SetMenuFirstEntry(int row);
  void SetTrayHint(const std::string& hint);

  // Back to the compose area of the current layout, where the own-name field returns.
  void FocusComposeArea();

  // Whether `w` is one of the compose or name fields that handle Esc themselves.
  bool HandlesOwnEscape(QWidget* w) const;

  Variables vars_;
  WindowEnvironment env_;
  std::unique_ptr<QtMailSlotDispatcher> dispatcher_;
  std::unique_ptr<WindowEndpoints> endpoints_;
  std::unique_ptr<MessagingTransport> nullTransport_;
  std::unique_ptr<Clock> systemClock_;
  Clock* clock_ = nullptr;
  std::unique_ptr<MessagingCore> core_;
  Controls ui_;
  std::unique_ptr<TSettingsIO> settingsIO_;
  TOwnNameEditor* ownNameEditor_ = nullptr;
  QString timeFormat_;
  bool terminateRequested_ = false;
  bool endpointsDown_ = false;
  bool centredOnce_ = false;
  // The key press being previewed: a key a control ignores travels on to its parents, and the
  // window must act on it only once.
  const QEvent* previewedPress_ = nullptr;
  QPointer<QWidget> previewedAt_;  // the widget the previewed press was last seen at
};

// Text conversions where program texts meet Qt controls.
QString ToQ(const std::string& ansi);
std::string FromQ(const QString& text);

}  // namespace pelmora
