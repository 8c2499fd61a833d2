#include "shell/talk_key_service.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QMetaObject>
#include <QVariant>

namespace vertamo::ui {

TTalkKeyService::TTalkKeyService(QObject* parent) : QObject(parent) {}

bool TTalkKeyService::Register(const QDBusConnection& bus, QString* error) {
  return export_.Register(bus, this, kVoiceObjectPath, kWorkstationService,
                          QStringLiteral("another workstation owns %1 on this session bus"), error);
}

void TTalkKeyService::TalkKey(int code) {
  if (code < kTalkPress || code > kTalkF2) {
    if (calledFromDBus())
      sendErrorReply(kUnknownCodeError,
                     QStringLiteral("unknown talk-key code %1 (0 press, 1 release, 2 nothing, 3 F2)").arg(code));
    return;
  }
  QMetaObject::invokeMethod(
      this,
      [this, code] {
        if (onTalkKey) onTalkKey(code);
      },
      Qt::QueuedConnection);
}

void TTalkKeyService::Focus() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (onFocus) onFocus();
      },
      Qt::QueuedConnection);
}

TRequestOutcome CallWorkstation(const QDBusConnection& bus, const QString& service, const QString& path,
                                const QString& interface, const QString& method, const QVariantList& args,
                                int timeoutMs) {
  if (!bus.isConnected())
    return {TRequestResult::NoBus, "no session bus to reach the workstation on (" + bus.lastError().message() + ")"};
  QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
  call.setArguments(args);
  call.setAutoStartService(false);
  const QDBusMessage reply = QDBusConnection(bus).call(call, QDBus::Block, timeoutMs);
  if (reply.type() == QDBusMessage::ReplyMessage) return {};
  const QDBusError error(reply);
  if (error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
    return {TRequestResult::NoWorkstation, "no workstation is running on this session bus"};
  switch (error.type()) {
    case QDBusError::ServiceUnknown:
      return {TRequestResult::NoWorkstation, "no workstation is running on this session bus"};
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
      return {TRequestResult::NoWorkstation,
              QStringLiteral("the workstation did not answer within %1 ms").arg(timeoutMs)};
    case QDBusError::Disconnected:
      return {TRequestResult::NoBus, "the session bus went away (" + error.message() + ")"};
    default:
      return {TRequestResult::Refused, "the workstation refused the request: " + error.message()};
  }
}

namespace {

TRequestOutcome Call(const QDBusConnection& bus, const QString& method, const QVariantList& args,
                     int timeoutMs) {
  return CallWorkstation(bus, kWorkstationService, kVoiceObjectPath, kVoiceInterface, method, args, timeoutMs);
}

}  // namespace

TRequestOutcome SendTalkKey(const QDBusConnection& bus, int code, int timeoutMs) {
  return Call(bus, QStringLiteral("TalkKey"), {QVariant(code)}, timeoutMs);
}

TRequestOutcome SendFocusRequest(const QDBusConnection& bus, int timeoutMs) {
  return Call(bus, QStringLiteral("Focus"), {}, timeoutMs);
}

}  // namespace vertamo::ui
