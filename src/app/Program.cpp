#include "app/Program.h"

#include <QApplication>
#include <QSessionManager>
#include <memory>
#include <optional>

#include "app/DOzuZe.h"
#include "app/Startup.h"
#include "messaging/Variables.h"
#include "model/MessageFile.h"
#include "model/SettingsStore.h"
#include "widgets/Accessibility.h"
#include "widgets/DesktopPlatform.h"
#include "widgets/PelmoraIcon.h"

namespace pelmora {

int RunMainWindow(QApplication& app, WindowServices services, const ProgramHooks& hooks) {
  const QString title = QStringLiteral("Pelmora ") + ToQ(std::string(ProgramVersion));
  if (hooks.adjustServices) hooks.adjustServices(services);
  TDOzuZe window(std::move(services));
  window.setWindowTitle(title);
  app.setApplicationDisplayName(title);
  if (window.TerminateRequested()) {
    // Another copy holds the private slots; the user has been told.
    return 1;
  }

  window.ShowIfNoTray();
  if (hooks.windowCreated) hooks.windowCreated(window);
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                   [&window](QSessionManager&) { window.HandleShutdownQuery(); });
  // However the loop ends, the wait threads stop while the window and its core still exist.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                   [&window] { window.ShutdownEndpoints(); });
  return app.exec();
}

int RunPelmora(int argc, char** argv, const ProgramHooks& hooks) {
  std::optional<startup::PlatformFailureGuard> platformGuard(std::in_place);
  // Through shared memory every repaint of a window is answered by the X server with an event
  // of its own: three wake-ups for each step of the banner instead of one. The program's windows
  // are small enough to go through the connection itself. A user's own setting is kept.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  ListPopupMenusOnTheAccessibilityBus();
  QApplication app(argc, argv);  // also takes the user's locale for collation
  platformGuard.reset();
  // Qt has its own connection now; the display check's may go without the server resetting.
  desktop::ReleaseProbedXDisplay();
  // The window goes to the tray rather than closing; only "&Cerrar" and the session end quit.
  app.setQuitOnLastWindowClosed(false);
  app.setApplicationName(QStringLiteral("Pelmora"));
  app.setWindowIcon(PelmoraIcon());
  // Open for the whole run: the arrival of a new sender writes into it.
  FileSettingsStore settings(SettingsFilePath());
  WindowServices services;
  services.endpoints = MakeMachineEndpoints;
  services.settingsStore = &settings;
  services.legacySettingsPath = LegacySettingsFilePath();
  services.lostMessagesPath = LostMessagesPath();
  // Global keys on X11; elsewhere the backend takes nothing and says so when asked. It outlives
  // the window, which gives its keys back as it goes.
  const std::unique_ptr<HotKeyBackend> hotKeys = desktop::MakeHotKeyBackend();
  services.hotKeys = hotKeys.get();
  return RunMainWindow(app, std::move(services), hooks);
}

}  // namespace pelmora
