// SPDX-License-Identifier: MIT
#include "platform/portal/remote_desktop.h"

#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <optional>

#include "base/text.h"

namespace tavrino {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
constexpr std::uint32_t kKeyboardDevice = 1;
// Restore tokens that outlive the program, until the user revokes them.
constexpr std::uint32_t kPersistUntilRevoked = 2;
// A plain method call answers at once; only the Response may take a while.
constexpr int kCallTimeoutMs = 10000;
constexpr std::chrono::milliseconds kSetupWait{30000};

// Response codes of a request.
constexpr std::uint32_t kGranted = 0;
constexpr std::uint32_t kCancelled = 1;

std::u16string text_of(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<std::size_t>(text.size()));
}

Status refused(const QString& what, const QDBusError& error) {
  return Status::failure(u"Nothing was typed: the desktop's remote-desktop portal refused to " +
                         text_of(what) + u" (" + text_of(error.name()) + u": " +
                         text_of(error.message()) + u").");
}

// A handle may come as an object path or, from some portals, as a string.
QString handle_of(const QVariant& value) {
  if (value.canConvert<QDBusObjectPath>()) {
    const QString path = value.value<QDBusObjectPath>().path();
    if (!path.isEmpty()) return path;
  }
  return value.toString();
}

}  // namespace

// Hears the portal's signals; a local event loop waits on it.
class PortalSignals : public QObject {
  Q_OBJECT

 public:
  std::optional<std::uint32_t> response;
  QVariantMap results;
  bool closed = false;
  QEventLoop* waiting = nullptr;

 public Q_SLOTS:
  void on_response(uint code, const QVariantMap& values) {
    response = code;
    results = values;
    if (waiting != nullptr) waiting->quit();
  }
  void on_closed(const QVariantMap&) {
    closed = true;
    if (waiting != nullptr) waiting->quit();
  }
};

class RemoteDesktop::Conversation {
 public:
  QDBusConnection bus = QDBusConnection::sessionBus();
  PortalSignals heard;
  QString session;

  // Calls `method` of the portal with `arguments` and `options` (which get
  // the request's handle token) and waits up to `wait` for its Response.
  Status request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                 std::chrono::milliseconds wait, const QString& doing);
  void close();

 private:
  QString request_path(const QString& token) const;
  bool listen_for_response(const QString& path, bool on);
};

QString RemoteDesktop::Conversation::request_path(const QString& token) const {
  // The portal names the request after the caller's unique bus name.
  QString sender = bus.baseService().mid(1);
  sender.replace(u'.', u'_');
  return kPath + QStringLiteral("/request/") + sender + u'/' + token;
}

bool RemoteDesktop::Conversation::listen_for_response(const QString& path, bool on) {
  if (on) {
    return bus.connect(kService, path, kRequest, QStringLiteral("Response"), &heard,
                       SLOT(on_response(uint, QVariantMap)));
  }
  return bus.disconnect(kService, path, kRequest, QStringLiteral("Response"), &heard,
                        SLOT(on_response(uint, QVariantMap)));
}

Status RemoteDesktop::Conversation::request(const QString& method, QList<QVariant> arguments,
                                            QVariantMap options, std::chrono::milliseconds wait,
                                            const QString& doing) {
  // Unique for the connection as long as it lasts, which is the program's.
  static int requests = 0;
  const QString token = QStringLiteral("tavrino%1_%2").arg(getpid()).arg(++requests);
  options.insert(QStringLiteral("handle_token"), token);
  arguments.append(options);
  // Listening before the call: the answer may come before the call returns.
  const QString expected = request_path(token);
  listen_for_response(expected, true);
  heard.response.reset();
  heard.results.clear();

  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  call.setArguments(arguments);
  const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    listen_for_response(expected, false);
    return refused(doing, QDBusError(reply));
  }
  QString handle = expected;
  if (!reply.arguments().isEmpty()) {
    const QString returned = handle_of(reply.arguments().constFirst());
    if (!returned.isEmpty() && returned != expected) {
      // An older portal names the request itself.
      handle = returned;
      listen_for_response(handle, true);
    }
  }
  if (!heard.response) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(wait);
    heard.waiting = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
    heard.waiting = nullptr;
  }
  listen_for_response(expected, false);
  if (handle != expected) listen_for_response(handle, false);
  if (!heard.response) {
    // Nobody answered: the request is withdrawn so that a late dialog does
    // not start a session that nothing uses.
    bus.call(QDBusMessage::createMethodCall(kService, handle, kRequest, QStringLiteral("Close")),
             QDBus::Block, kCallTimeoutMs);
    return Status::failure(u"Nothing was typed: the desktop did not answer the request to " +
                           text_of(doing) + u" within " +
                           to_text(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) +
                           u" seconds.");
  }
  return Status::success();
}

void RemoteDesktop::Conversation::close() {
  if (session.isEmpty()) return;
  bus.disconnect(kService, session, kSession, QStringLiteral("Closed"), &heard,
                 SLOT(on_closed(QVariantMap)));
  if (!heard.closed) {
    // Waited for, so that the session is gone before the program goes on
    // (or ends).
    bus.call(QDBusMessage::createMethodCall(kService, session, kSession, QStringLiteral("Close")),
             QDBus::Block, kCallTimeoutMs);
  }
  session.clear();
}

RemoteDesktop::RemoteDesktop() = default;

RemoteDesktop::~RemoteDesktop() {
  close();
}

RemoteDesktop::Offer RemoteDesktop::probe() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return {};
  QDBusMessage call = QDBusMessage::createMethodCall(
      kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
  call.setArguments({kInterface});
  const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  const QVariantMap properties =
      qdbus_cast<QVariantMap>(reply.arguments().constFirst().value<QDBusArgument>());
  Offer offer;
  offer.version = properties.value(QStringLiteral("version")).toUInt();
  offer.keyboard =
      (properties.value(QStringLiteral("AvailableDeviceTypes")).toUInt() & kKeyboardDevice) != 0;
  return offer;
}

Status RemoteDesktop::open(std::uint32_t version, std::string& restore_token,
                           const std::function<void()>& before_dialog,
                           std::chrono::milliseconds answer_wait) {
  close();
  conversation_ = std::make_unique<Conversation>();
  Conversation& c = *conversation_;
  if (!c.bus.isConnected()) {
    return Status::failure(
        u"Nothing was typed: there is no D-Bus session bus to reach the "
        u"desktop's remote-desktop portal through.");
  }

  QVariantMap create;
  static int sessions = 0;
  create.insert(QStringLiteral("session_handle_token"),
                QStringLiteral("tavrino%1_%2").arg(getpid()).arg(++sessions));
  if (Status status = c.request(QStringLiteral("CreateSession"), {}, create, kSetupWait,
                                QStringLiteral("create a session"));
      !status) {
    return status;
  }
  if (*c.heard.response != kGranted) {
    return Status::failure(
        u"Nothing was typed: the desktop would not create a remote-desktop "
        u"session.");
  }
  c.session = handle_of(c.heard.results.value(QStringLiteral("session_handle")));
  if (c.session.isEmpty()) {
    return Status::failure(u"Nothing was typed: the desktop's portal named no session.");
  }
  c.bus.connect(kService, c.session, kSession, QStringLiteral("Closed"), &c.heard,
                SLOT(on_closed(QVariantMap)));
  const QDBusObjectPath session(c.session);

  QVariantMap select;
  select.insert(QStringLiteral("types"), kKeyboardDevice);
  if (version >= 2) {
    select.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
    if (!restore_token.empty()) {
      select.insert(QStringLiteral("restore_token"), QString::fromStdString(restore_token));
    }
  }
  Status status = c.request(QStringLiteral("SelectDevices"), {QVariant::fromValue(session)}, select,
                            kSetupWait, QStringLiteral("select the keyboard"));
  if (status && *c.heard.response != kGranted) {
    status = Status::failure(u"Nothing was typed: the desktop would not hand over the keyboard.");
  }
  if (!status) {
    close();
    return status;
  }

  if (before_dialog) before_dialog();
  status = c.request(QStringLiteral("Start"), {QVariant::fromValue(session), QString()}, {},
                     answer_wait, QStringLiteral("start the session"));
  if (status && *c.heard.response == kCancelled) {
    status = Status::failure(
        u"Nothing was typed: the desktop's dialog asking whether tavrino may control the "
        u"keyboard was cancelled.");
  } else if (status && *c.heard.response != kGranted) {
    status = Status::failure(
        u"Nothing was typed: the desktop did not allow tavrino to control the keyboard.");
  } else if (status &&
             (c.heard.results.value(QStringLiteral("devices")).toUInt() & kKeyboardDevice) == 0) {
    status =
        Status::failure(u"Nothing was typed: the desktop allowed a session without the keyboard.");
  }
  if (!status) {
    close();
    return status;
  }
  restore_token = c.heard.results.value(QStringLiteral("restore_token")).toString().toStdString();
  return Status::success();
}

std::size_t RemoteDesktop::send(std::span<const Key> keys, Status& status) {
  status = Status::success();
  if (!conversation_ || conversation_->session.isEmpty()) {
    status = Status::failure(u"there is no remote-desktop session to type through.");
    return 0;
  }
  Conversation& c = *conversation_;
  if (c.heard.closed) {
    status = Status::failure(u"the desktop ended tavrino's permission to control the keyboard.");
    return 0;
  }
  // Each key waits for the portal's answer before the next goes: the portal
  // handles calls on threads of their own, so keys sent without waiting
  // reached the desktop out of order (a Shift's release before its press,
  // 5 before 4). The portal passes a call on before it answers it, so the
  // order holds from there.
  const QDBusObjectPath session(c.session);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("NotifyKeyboardKeysym"));
    call.setArguments({QVariant::fromValue(session), QVariantMap(),
                       static_cast<qint32>(keys[i].keysym),
                       static_cast<quint32>(keys[i].down ? 1 : 0)});
    const QDBusMessage reply = c.bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
      const QDBusError error(reply);
      status = Status::failure(u"the desktop's portal refused a key (" + text_of(error.name()) +
                               u": " + text_of(error.message()) + u").");
      return i;
    }
  }
  return keys.size();
}

bool RemoteDesktop::closed() const {
  return conversation_ && conversation_->heard.closed;
}

void RemoteDesktop::close() {
  if (conversation_) conversation_->close();
}

}  // namespace tavrino

#include "remote_desktop.moc"
