#include "shell/raise_service.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QThread>

namespace vertamo::ui {

QString FolderServiceName(const QString& workFolder) {
  QString path = QFileInfo(workFolder).canonicalFilePath();
  if (path.isEmpty()) path = QDir::cleanPath(QDir(workFolder).absolutePath());
  const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex();
  return QStringLiteral("org.vertamo.Workstation.Folder.f") + QString::fromLatin1(hash.left(16));
}

TRaiseService::TRaiseService(QObject* parent) : QObject(parent) {}

TRaiseService::~TRaiseService() {
  if (!bus_) return;
  bus_->unregisterService(service_);
  bus_->unregisterObject(kMainObjectPath);
}

bool TRaiseService::Register(const QDBusConnection& bus, const QString& workFolder, QString* error) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (bus_) return true;
  if (!bus.isConnected()) return fail("no session bus (" + bus.lastError().message() + ")");
  QDBusConnection connection = bus;
  const QString service = FolderServiceName(workFolder);
  if (!connection.registerObject(kMainObjectPath, this, QDBusConnection::ExportScriptableSlots))
    return fail(QStringLiteral("the object %1 is taken on this bus").arg(kMainObjectPath));
  if (!connection.registerService(service)) {
    connection.unregisterObject(kMainObjectPath);
    return fail(QStringLiteral("%1 is taken on this session bus").arg(service));
  }
  bus_ = connection;
  service_ = service;
  return true;
}

void TRaiseService::Raise() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (onRaise) onRaise();
      },
      Qt::QueuedConnection);
}

TRequestOutcome SendRaiseRequest(const QDBusConnection& bus, const QString& workFolder, int timeoutMs) {
  const QString service = FolderServiceName(workFolder);
  QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    const int left = static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1));
    const TRequestOutcome outcome = CallWorkstation(bus, service, kMainObjectPath, kMainInterface,
                                                    QStringLiteral("Raise"), {}, left);
    // The lock is taken before the name: a workstation that is just starting
    // has it a moment later.
    if (outcome.result != TRequestResult::NoWorkstation || deadline.hasExpired()) return outcome;
    QThread::msleep(100);
  }
}

}  // namespace vertamo::ui
