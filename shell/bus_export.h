// An object of the workstation exported on the session bus under a
// well-known name, given back when this goes: what the bus services of the
// workstation (the raise request, the talk key) have in common.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <optional>

class QObject;

namespace vertamo::ui {

class TBusExport {
 public:
  TBusExport() = default;
  ~TBusExport();  // gives the name back and withdraws the object
  TBusExport(const TBusExport&) = delete;
  TBusExport& operator=(const TBusExport&) = delete;

  // Exports the scriptable slots of `object` at `path` on `bus` and takes the
  // name `service`; true at once when already done. False with the reason in
  // `error` when the bus is not there or the path or the name is taken;
  // `takenText` says the last, with %1 for the name.
  bool Register(const QDBusConnection& bus, QObject* object, const QString& path, const QString& service,
                const QString& takenText, QString* error);
  bool Registered() const { return bus_.has_value(); }

 private:
  std::optional<QDBusConnection> bus_;
  QString path_;
  QString service_;
};

}  // namespace vertamo::ui
