#include "widgets/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QVariantMap>
#include <cstdio>

namespace pelmora {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kEllipsis = 0x2026;

// The session bus, without ever starting one: libdbus would "autolaunch" a bus of its own (and
// leave it running) when the session gave none, and a notification sent there reaches nobody.
QDBusConnection SessionBus() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
    return QDBusConnection::sessionBus();
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const QString socket = runtime + QStringLiteral("/bus");
  if (!runtime.isEmpty() && QFileInfo(socket).exists())
    return QDBusConnection::connectToBus(QStringLiteral("unix:path=") + socket,
                                         QStringLiteral("pelmora-session"));
  return QDBusConnection(QStringLiteral("pelmora-no-session-bus"));
}

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

// Visits the code points of `text` (a lone surrogate counts as one, and becomes U+FFFD) until
// `visit` returns false or `limit` were visited; true when all of the text was visited.
template <typename Visit>
bool ForCodePoints(const QString& text, int limit, Visit visit) {
  int count = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (count == limit) return false;
    char32_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text[i], text[i + 1]);
      ++i;
    } else if (QChar::isSurrogate(c)) {
      c = kReplacement;
    }
    if (!visit(c, i)) return true;
    ++count;
  }
  return true;
}

void Append(QString& out, char32_t c) {
  if (QChar::requiresSurrogates(c)) {
    out += QChar(QChar::highSurrogate(c));
    out += QChar(QChar::lowSurrogate(c));
  } else {
    out += QChar(static_cast<char16_t>(c));
  }
}

}  // namespace

QString NotificationBody(const QString& plainText) {
  QString out;
  out.reserve(plainText.size() + 16);
  bool lastWasCr = false;
  const bool whole =
      ForCodePoints(plainText, kNotificationMaxTextChars, [&](char32_t c, qsizetype) {
        if (c == '\n' && lastWasCr) {  // the LF of a CR LF pair is already a line break
          lastWasCr = false;
          return true;
        }
        lastWasCr = c == '\r';
        switch (c) {
          case '&':
            out += QStringLiteral("&amp;");
            break;
          case '<':
            out += QStringLiteral("&lt;");
            break;
          case '>':
            out += QStringLiteral("&gt;");
            break;
          case '"':
            out += QStringLiteral("&quot;");
            break;
          case '\'':
            out += QStringLiteral("&apos;");
            break;
          case '\r':
          case '\n':
            out += QLatin1Char('\n');
            break;
          case '\t':
            out += QLatin1Char(' ');
            break;
          default:
            Append(out, IsControl(c) ? kReplacement : c);
        }
        return true;
      });
  if (!whole) Append(out, kEllipsis);
  return out;
}

QString NotificationSummary(const QString& sender) {
  QString out;
  const bool whole = ForCodePoints(sender, kNotificationMaxSenderChars, [&](char32_t c, qsizetype) {
    Append(out, c == '\t' ? U' ' : IsControl(c) ? kReplacement : c);
    return true;
  });
  if (!whole) Append(out, kEllipsis);
  return out;
}

DBusArrivalNotifier::DBusArrivalNotifier(QString desktopEntry, QString iconName, QObject* parent)
    : QObject(parent),
      desktopEntry_(std::move(desktopEntry)),
      iconName_(std::move(iconName)),
      openLabel_(QStringLiteral("Open")) {}

DBusArrivalNotifier::~DBusArrivalNotifier() = default;

void DBusArrivalNotifier::Notify(const QString& sender, const QString& text) {
  QDBusConnection bus = SessionBus();
  if (!bus.isConnected()) {
    if (!toldNoBus_) {
      std::fprintf(stderr, "pelmora: no session bus, so no desktop notifications\n");
      toldNoBus_ = true;
    }
    return;
  }
  if (!connected_) {
    // The signals come from whichever process owns the name now; QtDBus follows the owner.
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(OnActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(OnNotificationClosed(uint, uint)));
    connected_ = true;
  }
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), desktopEntry_);
  hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(1)));
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  call << QStringLiteral("Pelmora") << uint{0} << iconName_ << NotificationSummary(sender)
       << NotificationBody(text) << QStringList{kDefaultAction, openLabel_} << hints << int{-1};
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  ++unanswered_;
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    --unanswered_;
    const QDBusPendingReply<uint> reply = *w;
    bool clicked = false;
    if (reply.isValid()) {
      clicked = earlyClicks_.remove(reply.value());
      if (!earlyCloses_.remove(reply.value())) shown_.insert(reply.value());
    }
    if (unanswered_ == 0) {
      earlyClicks_.clear();
      earlyCloses_.clear();
    }
    if (clicked && onActivated) onActivated();
  });
}

void DBusArrivalNotifier::OnActionInvoked(uint id, const QString& actionKey) {
  // Other programs' notifications raise the same signal; only ours open the window.
  if (actionKey != kDefaultAction) return;
  if (!shown_.contains(id)) {
    if (unanswered_ > 0) earlyClicks_.insert(id);
    return;
  }
  if (onActivated) onActivated();
}

void DBusArrivalNotifier::OnNotificationClosed(uint id, uint) {
  if (!shown_.remove(id) && unanswered_ > 0) earlyCloses_.insert(id);
}

}  // namespace pelmora
