// Desktop notifications: what reaches the server from hostile message texts, and one round trip
// through a stand-in server on a private session bus (notifier_dbus_test.sh runs that case).

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "widgets/DesktopNotifier.h"

using namespace pelmora;

class NotifierTest : public QObject {
  Q_OBJECT

 private slots:
  void bodyEscapesMarkupAndEntities() {
    QCOMPARE(NotificationBody(QStringLiteral("<b>bold</b> & <a href=\"x\">it's</a>")),
             QStringLiteral("&lt;b&gt;bold&lt;/b&gt; &amp; &lt;a href=&quot;x&quot;&gt;it&apos;s"
                            "&lt;/a&gt;"));
    // An entity typed by the sender stays the text the sender typed.
    QCOMPARE(NotificationBody(QStringLiteral("&amp; &#60;")),
             QStringLiteral("&amp;amp; &amp;#60;"));
    QCOMPARE(NotificationBody(QString()), QString());
    QCOMPARE(NotificationBody(QStringLiteral("Grüße, señor €")), QStringLiteral("Grüße, señor €"));
  }

  void bodyKeepsLineBreaksAndReplacesOtherControls() {
    QCOMPARE(NotificationBody(QStringLiteral("a\r\nb\rc\nd\te")), QStringLiteral("a\nb\nc\nd e"));
    QCOMPARE(NotificationBody(QStringLiteral("a\r\r\nb")), QStringLiteral("a\n\nb"));
    const QString controls = QString(QChar(0)) + QChar(1) + QChar(0x1B) + QStringLiteral("[31m") +
                             QChar(0x7F) + QChar(0x85) + QChar(0x9B);
    QCOMPARE(NotificationBody(controls),
             QStringLiteral("\uFFFD\uFFFD\uFFFD[31m\uFFFD\uFFFD\uFFFD"));
    // A lone half of a surrogate pair is no character either.
    QCOMPARE(NotificationBody(QString(QChar(0xD800)) + QLatin1Char('x')),
             QStringLiteral("\uFFFDx"));
  }

  void longTextIsCutOnACharacterAndOutsideAnEntity() {
    const QString exact(kNotificationMaxTextChars, QLatin1Char('a'));
    QCOMPARE(NotificationBody(exact), exact);
    QCOMPARE(NotificationBody(exact + QLatin1Char('b')), exact + QChar(0x2026));
    // Ampersands at the cut: each counts as one character and is escaped whole.
    const QString amps(kNotificationMaxTextChars + 5, QLatin1Char('&'));
    QString expected;
    for (int i = 0; i < kNotificationMaxTextChars; ++i) expected += QStringLiteral("&amp;");
    QCOMPARE(NotificationBody(amps), expected + QChar(0x2026));
    // A character outside the basic plane at the cut is kept whole or left out whole.
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    QString music;
    for (int i = 0; i < kNotificationMaxTextChars + 1; ++i) music += clef;
    const QString body = NotificationBody(music);
    QCOMPARE(body.size(), 2 * kNotificationMaxTextChars + 1);
    QVERIFY(body.at(body.size() - 2).isLowSurrogate());
    // 64 KiB, as the largest datagram could carry, stays bounded.
    QVERIFY(NotificationBody(QString(65535, QLatin1Char('<'))).size() <=
            4 * kNotificationMaxTextChars + 1);
  }

  void summaryIsOneLineOfPlainText() {
    QCOMPARE(NotificationSummary(QStringLiteral("TEJO")), QStringLiteral("TEJO"));
    // The summary is not markup: it is left as it is, but kept on one line.
    QCOMPARE(NotificationSummary(QStringLiteral("<A&B>")), QStringLiteral("<A&B>"));
    QCOMPARE(NotificationSummary(QStringLiteral("A\nB\tC")), QStringLiteral("A\uFFFDB C"));
    QCOMPARE(NotificationSummary(QString(200, QLatin1Char('N'))),
             QString(kNotificationMaxSenderChars, QLatin1Char('N')) + QChar(0x2026));
  }

  void withoutASessionBusNothingIsStartedOrShown() {
    if (!qEnvironmentVariableIsEmpty("PELMORA_NOTIFY_LOG")) QSKIP("runs without the stand-in");
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", "/nonexistent-pelmora-runtime");
    {
      DBusArrivalNotifier notifier(QStringLiteral("pelmora"), QStringLiteral("pelmora"));
      notifier.Notify(QStringLiteral("A"), QStringLiteral("b"));
      notifier.Notify(QStringLiteral("A"), QStringLiteral("c"));
      QTest::qWait(50);
      QVERIFY(notifier.ShownIds().isEmpty());
    }
    if (!address.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    if (runtime.isEmpty()) {
      qunsetenv("XDG_RUNTIME_DIR");
    } else {
      qputenv("XDG_RUNTIME_DIR", runtime);
    }
  }

  // Needs the stand-in server: run by notifier_dbus_test.sh, which sets PELMORA_NOTIFY_LOG.
  void standInServerShowsAndClicks() {
    const QString log = qEnvironmentVariable("PELMORA_NOTIFY_LOG");
    if (log.isEmpty()) QSKIP("needs the stand-in notification server (notifier_dbus_test.sh)");
    DBusArrivalNotifier notifier(QStringLiteral("pelmora"), QStringLiteral("pelmora"));
    notifier.SetOpenLabel(QStringLiteral("Abrir"));
    int activated = 0;
    notifier.onActivated = [&] { ++activated; };
    const QString text = QStringLiteral("<i>hola</i> & adiós\r\nsegunda\x01línea");
    notifier.Notify(QStringLiteral("MIRLO"), text);
    QTRY_COMPARE_WITH_TIMEOUT(activated, 1, 10000);
    // The server's click also closed it; a click on another program's id did nothing.
    QTRY_VERIFY_WITH_TIMEOUT(notifier.ShownIds().isEmpty(), 5000);
    QTest::qWait(200);
    QCOMPARE(activated, 1);

    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 1);
    const QJsonObject n = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(n.value(QStringLiteral("app_name")).toString(), QStringLiteral("Pelmora"));
    QCOMPARE(n.value(QStringLiteral("app_icon")).toString(), QStringLiteral("pelmora"));
    QCOMPARE(n.value(QStringLiteral("summary")).toString(), QStringLiteral("MIRLO"));
    QCOMPARE(n.value(QStringLiteral("body")).toString(),
             QStringLiteral("&lt;i&gt;hola&lt;/i&gt; &amp; adiós\nsegunda\uFFFDlínea"));
    QCOMPARE(n.value(QStringLiteral("actions")).toArray(),
             (QJsonArray{QStringLiteral("default"), QStringLiteral("Abrir")}));
    const QJsonObject hints = n.value(QStringLiteral("hints")).toObject();
    QCOMPARE(hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("pelmora"));
    QCOMPARE(hints.value(QStringLiteral("category")).toString(), QStringLiteral("im.received"));
    QCOMPARE(n.value(QStringLiteral("replaces_id")).toInt(), 0);
  }
};

QTEST_GUILESS_MAIN(NotifierTest)
#include "NotifierTest.moc"
