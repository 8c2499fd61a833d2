// The workstation's voice object on the session bus: other programs (a foot
// switch, a desk console) press and release the talk key of the voice window
// and ask it for the keyboard focus.
//
//   service  org.vertamo.Workstation
//   object   /Voice
//   interface org.vertamo.Workstation.Voice
//     TalkKey(int code)  0 talk key pressed, 1 released, 2 nothing, 3 the key F2
//     Focus()            the voice window takes the keyboard focus
//
// A call is answered at once and reaches its callback afterwards, from the
// main thread's event loop, as a posted message would. Codes outside 0 … 3
// are refused with the error org.vertamo.Workstation.Error.UnknownCode and
// reach no callback. One workstation per session bus owns the name; a second
// one runs without it.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <functional>

#include "shell/bus_export.h"

namespace vertamo::ui {

inline constexpr char kWorkstationService[] = "org.vertamo.Workstation";
inline constexpr char kVoiceObjectPath[] = "/Voice";
inline constexpr char kVoiceInterface[] = "org.vertamo.Workstation.Voice";
inline constexpr char kUnknownCodeError[] = "org.vertamo.Workstation.Error.UnknownCode";

// The codes of TalkKey.
enum TTalkKeyCode : int { kTalkPress = 0, kTalkRelease = 1, kTalkNothing = 2, kTalkF2 = 3 };

class TTalkKeyService : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.vertamo.Workstation.Voice")

 public:
  explicit TTalkKeyService(QObject* parent = nullptr);

  // Run on the main thread, one call each, in the order the calls came.
  std::function<void(int code)> onTalkKey;
  std::function<void()> onFocus;

  // Exports the object on `bus` and takes the service name. False with the
  // reason in `error` when the bus is not there or another workstation owns
  // the name.
  bool Register(const QDBusConnection& bus, QString* error);
  bool Registered() const { return export_.Registered(); }

 public slots:
  Q_SCRIPTABLE void TalkKey(int code);
  Q_SCRIPTABLE void Focus();

 private:
  TBusExport export_;  // gives the name back when the service goes
};

// The other side: what `vertamo --talk` and `--talk-focus` send.
enum class TRequestResult {
  Delivered,
  NoBus,          // no session bus to talk on
  NoWorkstation,  // nobody owns the name, or the owner did not answer in time
  Refused,        // the workstation answered with an error
};

struct TRequestOutcome {
  TRequestResult result = TRequestResult::Delivered;
  QString message;  // what went wrong, for the user; empty when delivered
};

// Sends TalkKey(code) or Focus() to the workstation on `bus` and waits for its
// answer at most `timeoutMs`.
TRequestOutcome SendTalkKey(const QDBusConnection& bus, int code, int timeoutMs);
TRequestOutcome SendFocusRequest(const QDBusConnection& bus, int timeoutMs);
// Calls `method` of a workstation's object on `bus` and waits for its answer
// at most `timeoutMs`; what the requests above and the other objects of the
// workstation share.
TRequestOutcome CallWorkstation(const QDBusConnection& bus, const QString& service, const QString& path,
                                const QString& interface, const QString& method, const QVariantList& args,
                                int timeoutMs);

}  // namespace vertamo::ui
