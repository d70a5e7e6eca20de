// Start-up and shutdown of the main window on the machine's real endpoints.
//
// The test moves itself into a network namespace of its own first (when it may), so the slots it
// opens are seen by nobody else on the machine and a running Pelmora is not disturbed; it only
// ever writes to this machine (".").

#include <sched.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "AppTestSupport.h"
#include "app/DOzuZe.h"
#include "app/Program.h"
#include "app/QtDispatcher.h"
#include "messaging/Formats.h"
#include "transport/MailSlot.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;

namespace {

// One recording desktop per box list; they live as long as the test program.
DesktopServices* RecordingDesktop(std::vector<QString>* boxes) {
  static std::vector<std::unique_ptr<testing::FakeDesktop>> desktops;
  desktops.push_back(std::make_unique<testing::FakeDesktop>(boxes));
  return desktops.back().get();
}

WindowServices MachineEnvironment(std::vector<QString>* boxes) {
  WindowServices env;
  env.endpoints = MakeMachineEndpoints;
  env.desktop = RecordingDesktop(boxes);
  env.trayIcon = false;
  return env;
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    isolated_ = unshare(CLONE_NEWNET) == 0;
    if (!isolated_) qInfo("no network namespace of its own: running on the machine's slots");
    QVERIFY(conf_.isValid());
    const QString path = conf_.filePath(QStringLiteral("pelmora.conf"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const int port = 20000 + static_cast<int>(QCoreApplication::applicationPid() % 20000);
    f.write(QStringLiteral("[RED]\nGRUPO_TRABAJO = PRUEBAS\nPUERTO = %1\n").arg(port).toUtf8());
    f.close();
    qputenv("PELMORA_MACHINE_CONF", path.toLocal8Bit());
  }

  void heldUtilsSlotShowsTheBoxAndEnds() {
    TmdMailSlot held;
    held.SetSlot("Utils");
    held.SetActive(true);

    std::vector<QString> boxes;
    {
      TDOzuZe w(MachineEnvironment(&boxes));
      QCOMPARE(boxes.size(), std::size_t(1));
      QCOMPARE(boxes[0], QString::fromUtf8("Pelmora ya está ejecutándose"));
      QVERIFY(w.TerminateRequested());
      QVERIFY(!w.isVisible());
    }
    QVERIFY(held.Active());  // the first copy keeps its slot

    // The program entry refuses to run: no loop, no window, a failure status.
    boxes.clear();
    QCOMPARE(RunMainWindow(*qApp, MachineEnvironment(&boxes)), 1);
    QCOMPARE(boxes.size(), std::size_t(1));

    // Once the slot is free the program starts; its own slots were all given back.
    held.SetActive(false);
    boxes.clear();
    TDOzuZe w(MachineEnvironment(&boxes));
    QVERIFY(boxes.empty());
    QVERIFY(!w.TerminateRequested());
    QVERIFY(!w.isVisible());
    QCOMPARE(w.Vars().WorkgroupName, std::string("PRUEBAS"));
    QVERIFY(!w.Vars().OwnName.empty());
    QCOMPARE(w.StatusText(0), QString::fromStdString("Origen: " + w.Vars().OwnName));
  }

  void arrivalTravelsFromTheWaitThreadIntoTheView() {
    std::vector<QString> boxes;
    TDOzuZe w(MachineEnvironment(&boxes));
    QVERIFY(!w.TerminateRequested());
    const std::string own = w.Vars().OwnName;
    QVERIFY(WriteSlotString(".", "SEGURO", BuildSecureDatagram("mirlo", own, "<b>hola</b>")));
    QTRY_COMPARE_WITH_TIMEOUT(w.Ui().SRChat->LineCount(), 1, 5000);
    QCOMPARE(w.Ui().SRChat->GetLine(0), std::string("<b>hola</b>"));
    QCOMPARE(w.Ui().SRChat->GetLineColorIndex(0), std::uint8_t(kPaletteSecure));
    QVERIFY(w.Vars().NameList.Contains("MIRLO"));

    // "&Cerrar" gives the slots back at once, even with a datagram waiting to be handed over.
    QVERIFY(WriteSlotString(".", "SEGURO", BuildSecureDatagram("mirlo", own, "otra")));
    w.Cerrar1Click();
    TmdMailSlot again;
    again.SetSlot("seguro");
    again.SetActive(true);
    QVERIFY(again.Active());
    QCoreApplication::processEvents();  // a dropped hand-off runs nothing
    QCOMPARE(w.Ui().SRChat->LineCount(), 1);
  }

  void sessionEndEndsTheLoop() {
    // The session manager asks at log-off; the window only goes to the tray and the loop ends.
    bool asked = false;
    QTimer::singleShot(0, [&asked] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<TDOzuZe*>(w)) {
          window->HandleShutdownQuery();
          asked = true;
        }
      }
    });
    WindowServices env;
    env.trayIcon = false;
    QCOMPARE(RunMainWindow(*qApp, std::move(env)), 0);
    QVERIFY(asked);
  }

  void withoutANotificationAreaTheWindowStaysReachable() {
    // A desktop with no tray: the window starts shown, and its close button ends the program,
    // since neither the icon nor its "&Cerrar" could ever be reached.
    bool shownAtStart = false;
    QTimer::singleShot(0, [&shownAtStart] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<TDOzuZe*>(w)) {
          shownAtStart = window->isVisible();
          window->close();
        }
      }
    });
    testing::FakeDesktop noTray;
    noTray.trayAvailable = false;
    WindowServices env;
    env.desktop = &noTray;
    QCOMPARE(RunMainWindow(*qApp, std::move(env)), 0);
    QVERIFY(shownAtStart);
  }

  void handOffRunsOnTheGuiThreadAndCanBeReleased() {
    QObject gui;
    QtMailSlotDispatcher dispatcher(&gui);
    std::atomic<bool> returned{false};
    std::thread::id ranOn;
    std::thread waiter([&] {
      dispatcher.RunAndWait([&] { ranOn = std::this_thread::get_id(); });
      returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 5000);  // the loop ran it, the waiter went on
    waiter.join();
    QCOMPARE(ranOn, std::this_thread::get_id());

    // A hand-off the GUI thread never gets to is released by Shutdown, and dropped later.
    std::atomic<int> runs{0};
    returned = false;
    std::thread stuck([&] {
      dispatcher.RunAndWait([&] { ++runs; });
      returned = true;
    });
    QTest::qSleep(100);  // no events are processed: the call stays queued
    QVERIFY(!returned.load());
    dispatcher.Shutdown();
    stuck.join();
    QCoreApplication::processEvents();
    QCOMPARE(runs.load(), 0);
    dispatcher.RunAndWait([&] { ++runs; });  // the GUI thread itself runs at once
    QCOMPARE(runs.load(), 1);
  }

 private:
  bool isolated_ = false;
  QTemporaryDir conf_;
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
