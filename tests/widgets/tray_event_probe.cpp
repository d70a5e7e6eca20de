// The tray component on a real desktop, for tray_events_xvfb_test.sh: prints "READY" once the icon
// is shown, then one line per event, as it happens:
//   qt REASON          what Qt reported (Trigger, DoubleClick, Context, MiddleClick, Unknown)
//   ev NAME            the component's event (DownL, Click, UpL, DblClick, DownR, ...)
// so the script compares what a real click and double-click become with what the component
// promises, instead of an order the tests assume.

#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "widgets/CoolTrayIcon.h"

using namespace pelmora;

namespace {

void Print(const char* kind, const char* name) {
  std::printf("%s %s\n", kind, name);
  std::fflush(stdout);
}

const char* ReasonName(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return "Trigger";
    case QSystemTrayIcon::DoubleClick:
      return "DoubleClick";
    case QSystemTrayIcon::Context:
      return "Context";
    case QSystemTrayIcon::MiddleClick:
      return "MiddleClick";
    case QSystemTrayIcon::Unknown:
      break;
  }
  return "Unknown";
}

const char* ButtonName(Qt::MouseButton b, bool down) {
  if (b == Qt::LeftButton) return down ? "DownL" : "UpL";
  if (b == Qt::RightButton) return down ? "DownR" : "UpR";
  return down ? "DownM" : "UpM";
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget owner;
  QPixmap picture(16, 16);
  picture.fill(Qt::darkGreen);
  TCoolTrayIcon tray(&owner);
  tray.SetIcon(QIcon(picture));
  // Qt's own report; it is connected after the component's handler, so it prints after the
  // events that report made.
  QObject::connect(tray.SystemTrayIcon(), &QSystemTrayIcon::activated,
                   [](QSystemTrayIcon::ActivationReason r) { Print("qt", ReasonName(r)); });
  tray.Loaded();
  QObject::connect(&tray, &TCoolTrayIcon::OnClick, [] { Print("ev", "Click"); });
  QObject::connect(&tray, &TCoolTrayIcon::OnDblClick, [] { Print("ev", "DblClick"); });
  QObject::connect(
      &tray, &TCoolTrayIcon::OnMouseDown,
      [](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint) { Print("ev", ButtonName(b, true)); });
  QObject::connect(
      &tray, &TCoolTrayIcon::OnMouseUp,
      [](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint) { Print("ev", ButtonName(b, false)); });
  Print("READY", QSystemTrayIcon::isSystemTrayAvailable() ? "tray" : "notray");
  return app.exec();
}
