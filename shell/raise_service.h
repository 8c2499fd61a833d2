// One workstation per work folder, on the session bus: the workstation that
// holds a work folder (platform/work_folder_lock.h) owns a name made from that
// folder, and a second start on the same folder asks it to come forward
// instead of opening a second set of windows.
//
//   service   org.vertamo.Workstation.Folder.f<16 hex digits of the folder's hash>
//   object    /Workstation
//   interface org.vertamo.Workstation.Main
//     Raise()  the main window and the journal come to the front
//
// A call is answered at once and reaches onRaise afterwards, from the main
// thread's event loop.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

#include "shell/bus_export.h"
#include "shell/talk_key_service.h"

namespace vertamo::ui {

inline constexpr char kMainObjectPath[] = "/Workstation";
inline constexpr char kMainInterface[] = "org.vertamo.Workstation.Main";

// The bus name of the workstation working in `workFolder` (the same for every
// spelling of the folder's path).
QString FolderServiceName(const QString& workFolder);

class TRaiseService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.vertamo.Workstation.Main")

 public:
  explicit TRaiseService(QObject* parent = nullptr);

  std::function<void()> onRaise;

  // Exports the object on `bus` and takes the folder's name. False with the
  // reason in `error` when the bus is not there or the name is taken.
  bool Register(const QDBusConnection& bus, const QString& workFolder, QString* error);

 public slots:
  Q_SCRIPTABLE void Raise();

 private:
  TBusExport export_;  // gives the name back when the service goes
};

// Asks the workstation working in `workFolder` to come forward. One that is
// still starting gets until `timeoutMs` to take its name.
TRequestOutcome SendRaiseRequest(const QDBusConnection& bus, const QString& workFolder, int timeoutMs);

}  // namespace vertamo::ui
