#include "shell/bus_export.h"

#include <QDBusError>

namespace vertamo::ui {

TBusExport::~TBusExport() {
  if (!bus_) return;
  bus_->unregisterService(service_);
  bus_->unregisterObject(path_);
}

bool TBusExport::Register(const QDBusConnection& bus, QObject* object, const QString& path,
                          const QString& service, const QString& takenText, QString* error) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (bus_) return true;
  if (!bus.isConnected()) return fail("no session bus (" + bus.lastError().message() + ")");
  QDBusConnection connection = bus;
  if (!connection.registerObject(path, object, QDBusConnection::ExportScriptableSlots))
    return fail(QStringLiteral("the object %1 is taken on this bus").arg(path));
  if (!connection.registerService(service)) {
    connection.unregisterObject(path);
    return fail(takenText.arg(service));
  }
  bus_ = connection;
  path_ = path;
  service_ = service;
  return true;
}

}  // namespace vertamo::ui
