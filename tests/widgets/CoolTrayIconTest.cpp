// TCoolTrayIcon on the offscreen platform. There is no notification area there, so these check
// the component's own behaviour: the tip, the events it raises for Qt's activations, the menu,
// the owner's window and the icon cycling.
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest/QtTest>
#include <memory>

#include "text/CodePage.h"
#include "widgets/CoolTrayIcon.h"
#include "widgets/PelmoraIcon.h"
#include "widgets/Screenshot.h"

using namespace pelmora;

namespace {

QString ButtonLetter(Qt::MouseButton b) {
  if (b == Qt::LeftButton) return QStringLiteral("L");
  return b == Qt::RightButton ? QStringLiteral("R") : QStringLiteral("M");
}

// "DownL Click UpL" as a list of names.
QStringList Names(const char* spaced) { return QString::fromUtf8(spaced).split(u' '); }

// Names the events in the order they were raised.
struct EventLog {
  QStringList names;
  void Attach(TCoolTrayIcon& tray) {
    QObject::connect(&tray, &TCoolTrayIcon::OnClick, [this] { names << QStringLiteral("Click"); });
    QObject::connect(&tray, &TCoolTrayIcon::OnDblClick,
                     [this] { names << QStringLiteral("DblClick"); });
    QObject::connect(&tray, &TCoolTrayIcon::OnMouseDown,
                     [this](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint) {
                       names << QStringLiteral("Down%1").arg(ButtonLetter(b));
                     });
    QObject::connect(&tray, &TCoolTrayIcon::OnMouseUp,
                     [this](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint) {
                       names << QStringLiteral("Up%1").arg(ButtonLetter(b));
                     });
  }
};

QIcon Coloured(Qt::GlobalColor colour) {
  QPixmap p(16, 16);
  p.fill(colour);
  return QIcon(p);
}

}  // namespace

class CoolTrayIconTest : public QObject {
  Q_OBJECT

 private slots:
  void tipIsCutShownOnlyWhenWantedAndPlain();
  void clicksBecomeEventsInOrder();
  void disabledIgnoresEverything();
  void menuOpensAndForgetsADestroyedMenu();
  void startMinimizedAndMinimizeToTray();
  void iconsCycleOnlyWithAnInterval();
  void programIcon();
};

void CoolTrayIconTest::tipIsCutShownOnlyWhenWantedAndPlain() {
  QWidget owner;
  TCoolTrayIcon tray(&owner);
  const std::string hundred(100, 'h');
  tray.SetHint(hundred);
  QCOMPARE(tray.EffectiveTip(), QString());  // ShowHint is off by default
  tray.SetShowHint(true);
  QCOMPARE(tray.EffectiveTip(), QString(63, QLatin1Char('h')));
  QCOMPARE(tray.SystemTrayIcon()->toolTip(), QString(63, QLatin1Char('h')));
  QCOMPARE(tray.Hint(), hundred);  // the property keeps what it was given

  tray.SetHint("");
  QCOMPARE(tray.SystemTrayIcon()->toolTip(), QString());

  // Windows-1252 in, the same letters out.
  tray.SetHint(text::Utf8ToAnsi("Pelmora (Señor Muñoz)"));
  QCOMPARE(tray.EffectiveTip(), QStringLiteral("Pelmora (Señor Muñoz)"));

  // A message text with markup in the tip is escaped for trays that would render it.
  tray.SetHint("Pelmora (<b>x</b>)");
  QCOMPARE(tray.EffectiveTip(), QStringLiteral("Pelmora (<b>x</b>)"));
  QVERIFY(tray.SystemTrayIcon()->toolTip().contains(QStringLiteral("&lt;b&gt;x&lt;/b&gt;")));
}

void CoolTrayIconTest::clicksBecomeEventsInOrder() {
  QWidget owner;
  TCoolTrayIcon tray(&owner);
  EventLog log;
  log.Attach(tray);

  tray.HandleActivation(QSystemTrayIcon::Trigger);
  QCOMPARE(log.names, (Names("DownL Click UpL")));

  log.names.clear();
  tray.HandleActivation(QSystemTrayIcon::Trigger);
  tray.HandleActivation(QSystemTrayIcon::DoubleClick);
  QCOMPARE(log.names, (Names("DownL Click UpL DblClick UpL")));

  // A double click runs the menu's default entry; with LeftPopup it does not.
  QMenu menu;
  QAction* restore = menu.addAction(QStringLiteral("&Restaurar"));
  menu.setDefaultAction(restore);
  QSignalSpy triggered(restore, &QAction::triggered);
  tray.SetPopupMenu(&menu);
  tray.HandleActivation(QSystemTrayIcon::DoubleClick);
  QCOMPARE(triggered.count(), 1);
  tray.SetLeftPopup(true);
  tray.HandleActivation(QSystemTrayIcon::DoubleClick);
  QCOMPARE(triggered.count(), 1);
  menu.hide();

  log.names.clear();
  tray.HandleActivation(QSystemTrayIcon::MiddleClick);
  tray.HandleActivation(QSystemTrayIcon::Unknown);
  QCOMPARE(log.names, (Names("DownM UpM")));
}

void CoolTrayIconTest::disabledIgnoresEverything() {
  QWidget owner;
  TCoolTrayIcon tray(&owner);
  QMenu menu;
  menu.addAction(QStringLiteral("&Cerrar"));
  tray.SetPopupMenu(&menu);
  EventLog log;
  log.Attach(tray);
  tray.SetEnabled(false);
  for (auto r : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context,
                 QSystemTrayIcon::MiddleClick}) {
    tray.HandleActivation(r);
  }
  tray.HandleNotification(TrayNotification::MouseMove);
  QVERIFY(log.names.isEmpty());
  QVERIFY(!menu.isVisible());

  tray.SetEnabled(true);
  tray.HandleActivation(QSystemTrayIcon::Trigger);
  QCOMPARE(log.names, (Names("DownL Click UpL")));
}

void CoolTrayIconTest::menuOpensAndForgetsADestroyedMenu() {
  QWidget owner;
  TCoolTrayIcon tray(&owner);
  EventLog log;
  log.Attach(tray);
  auto* menu = new QMenu;
  menu->addAction(QStringLiteral("&Restaurar"));
  menu->addSeparator();
  menu->addAction(QStringLiteral("&Cerrar"));
  tray.SetPopupMenu(menu);

  // The left button opens no menu unless LeftPopup says so.
  tray.HandleActivation(QSystemTrayIcon::Trigger);
  QVERIFY(!menu->isVisible());
  tray.HandleActivation(QSystemTrayIcon::Context);
  QTRY_VERIFY(menu->isVisible());
  menu->hide();
  tray.SetLeftPopup(true);
  tray.HandleActivation(QSystemTrayIcon::Trigger);
  QTRY_VERIFY(menu->isVisible());
  menu->hide();

  delete menu;
  QCOMPARE(tray.PopupMenu(), nullptr);
  log.names.clear();
  tray.HandleActivation(QSystemTrayIcon::Context);  // must not touch the dead menu
  QCOMPARE(log.names, (Names("DownR UpR")));
}

void CoolTrayIconTest::startMinimizedAndMinimizeToTray() {
  {
    QWidget owner;
    TCoolTrayIcon tray(&owner);
    tray.SetIcon(PelmoraIcon());
    tray.SetStartMinimized(true);
    tray.Loaded();
    QVERIFY(!owner.isVisible());
    QVERIFY(tray.IconVisible());
    tray.ShowMainForm();
    QVERIFY(owner.isVisible());
    tray.HideMainForm();
    QVERIFY(!owner.isVisible());
  }
  {
    QWidget owner;
    owner.resize(200, 100);
    TCoolTrayIcon tray(&owner);
    tray.SetIcon(PelmoraIcon());
    tray.SetMinimizeToTray(true);
    tray.Loaded();
    tray.HideIcon();
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    owner.showMinimized();
    QTRY_VERIFY(!owner.isVisible());
    QVERIFY(tray.IconVisible());
    // Coming back from the tray restores the window, not a minimised one.
    tray.ShowMainForm();
    QVERIFY(owner.isVisible());
    QVERIFY(!owner.isMinimized());

    // Without MinimizeToTray a minimised window stays where the desktop puts it.
    tray.SetMinimizeToTray(false);
    owner.showMinimized();
    QTest::qWait(50);
    QVERIFY(owner.isVisible());
  }
}

void CoolTrayIconTest::iconsCycleOnlyWithAnInterval() {
  QWidget owner;
  TCoolTrayIcon tray(&owner);
  QSignalSpy cycled(&tray, &TCoolTrayIcon::OnCycle);

  // Interval 0: the timer never runs, even with cycling on.
  tray.SetIconList({Coloured(Qt::red), Coloured(Qt::green), Coloured(Qt::blue)});
  tray.SetCycleIcons(true);
  QVERIFY(!tray.CycleTimerActive());
  QTest::qWait(30);
  QCOMPARE(cycled.count(), 0);

  tray.SetCycleInterval(5);
  QVERIFY(tray.CycleTimerActive());
  QTRY_VERIFY(cycled.count() >= 5);
  tray.SetCycleIcons(false);
  QVERIFY(!tray.CycleTimerActive());
  for (int i = 0; i < 5; ++i) QCOMPARE(cycled.at(i).at(0).toInt(), i % 3);
  // The icon shown is the image just reported.
  const int last = cycled.last().at(0).toInt();
  QCOMPARE(tray.Icon().pixmap(16).toImage().pixel(0, 0),
           tray.IconList()[last].pixmap(16).toImage().pixel(0, 0));

  // Turning cycling on again starts from the first image; a shorter list never indexes past it.
  cycled.clear();
  tray.SetCycleIcons(true);
  tray.CycleStep();
  QCOMPARE(cycled.last().at(0).toInt(), 0);
  tray.CycleStep();
  QCOMPARE(cycled.last().at(0).toInt(), 1);
  tray.SetIconList({Coloured(Qt::yellow)});
  tray.CycleStep();
  QCOMPARE(cycled.last().at(0).toInt(), 0);
  tray.SetIconList({});
  const int before = static_cast<int>(cycled.count());
  tray.CycleStep();
  QCOMPARE(cycled.count(), before);
}

void CoolTrayIconTest::programIcon() {
  const QIcon icon = PelmoraIcon();
  QVERIFY(!icon.isNull());
  for (int size : {16, 22, 32, 48, 64}) QVERIFY(icon.availableSizes().contains(QSize(size, size)));
  // Something is drawn, and not over the whole square (the corners stay clear).
  const QImage image = icon.pixmap(64).toImage();
  QVERIFY(qAlpha(image.pixel(32, 40)) > 0);
  QCOMPARE(qAlpha(image.pixel(63, 63)), 0);

  QLabel label;
  label.setPixmap(icon.pixmap(64));
  label.setStyleSheet(QStringLiteral("background: white"));
  label.resize(64, 64);
  SaveScreenshot(&label, QStringLiteral("widgets-icon"));
}

QTEST_MAIN(CoolTrayIconTest)
#include "CoolTrayIconTest.moc"
