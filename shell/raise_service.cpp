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

bool TRaiseService::Register(const QDBusConnection& bus, const QString& workFolder, QString* error) {
  return export_.Register(bus, this, kMainObjectPath, FolderServiceName(workFolder),
                          QStringLiteral("%1 is taken on this session bus"), error);
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
