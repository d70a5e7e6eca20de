#pragma once
// Desktop notifications for arrivals: on desktops without a notification area, or where the
// window manager refuses to bring a window forward, a message must still be noticed. The window
// talks to the interface; the D-Bus implementation speaks org.freedesktop.Notifications, and the
// tests put a recording stand-in in its place.

#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

namespace pelmora {

// Longest message text a notification shows; the rest is cut and marked with an ellipsis.
// Messages from the compose box are shorter, but a datagram from the network may be far longer.
inline constexpr int kNotificationMaxTextChars = 1000;
inline constexpr int kNotificationMaxSenderChars = 64;

// The body for a server that interprets its small markup language (<b>, <i>, <a href>, ...,
// entities): the text as plain text, with "&", "<", ">" and quotes written as entities, line breaks
// (CR LF, CR, LF) as "\n", a tab as a blank, every other control character as U+FFFD (a server's
// markup parser would refuse the whole body for one of them), cut after kNotificationMaxTextChars
// characters, never inside a character or an entity.
QString NotificationBody(const QString& plainText);

// The summary: the sender's name on one line, control characters replaced as above, cut after
// kNotificationMaxSenderChars. The summary is never markup, so it is not escaped.
QString NotificationSummary(const QString& sender);

class ArrivalNotifier {
 public:
  virtual ~ArrivalNotifier() = default;
  // One notification for one arrival. `sender` and `text` are plain text; nothing in them is
  // ever taken as markup.
  virtual void Notify(const QString& sender, const QString& text) = 0;
  // The label of the action that opens the window, in the interface language.
  virtual void SetOpenLabel(const QString& label) = 0;

  // Runs on the GUI thread when the user clicks one of this program's notifications.
  std::function<void()> onActivated;
};

// org.freedesktop.Notifications on the session bus. Calls are asynchronous: a missing or slow
// server never holds up the window. Without a session bus nothing is shown, and that is said
// once on stderr.
class DBusArrivalNotifier : public QObject, public ArrivalNotifier {
  Q_OBJECT

 public:
  // `desktopEntry` is the name of the menu entry without ".desktop"; `iconName` the theme icon.
  DBusArrivalNotifier(QString desktopEntry, QString iconName, QObject* parent = nullptr);
  ~DBusArrivalNotifier() override;

  void Notify(const QString& sender, const QString& text) override;
  void SetOpenLabel(const QString& label) override { openLabel_ = label; }

  // The ids the server gave to notifications of ours that are still shown.
  const QSet<uint>& ShownIds() const { return shown_; }

 private slots:
  void OnActionInvoked(uint id, const QString& actionKey);
  void OnNotificationClosed(uint id, uint reason);

 private:
  QString desktopEntry_;
  QString iconName_;
  QString openLabel_;
  QSet<uint> shown_;
  // Clicks on ids not yet known while a Notify call is still unanswered: a server may signal
  // before its reply reaches us.
  QSet<uint> earlyClicks_;
  QSet<uint> earlyCloses_;
  int unanswered_ = 0;
  bool connected_ = false;
  bool toldNoBus_ = false;
};

}  // namespace pelmora
