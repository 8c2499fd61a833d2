// Program entry of the workstation.
#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/desktop_session.h"
#include "platform/work_folder_lock.h"
#include "settings/app_settings.h"
#include "shell/demo/demo_process.h"
#include "shell/demo/demo_settings.h"
#include "shell/form_vertamo.h"
#include "shell/qt_translations.h"
#include "shell/raise_service.h"
#include "records/record_player.h"
#include "shell/talk_key_service.h"
#include "shell/termination_notifier.h"

namespace {

struct Options {
  QCommandLineOption workdir{
      "workdir",
      "Keep settings, cache and logs in DIR (created when missing) instead of ~/.local/share/Vertamo.",
      "DIR"};
  QCommandLineOption demo{"demo",
                          "Connect to the demo dispatch server (a district served by orvex-sim "
                          "in vertamo-demo, a program beside this one that ends with it), with a work folder of its own: ~/.local/share/Vertamo-demo "
                          "unless --workdir says otherwise. kelmo-sim plays its voice gateway (port 4000 on "
                          "127.0.0.2, or the next loopback address where it is free). With baresip installed the calls are "
                          "real SIP calls to the demo's lift intercoms and subscribers; without it phone-sim "
                          "plays the phone program and carries no voice."};
  QCommandLineOption mute{"mute", "Play no notification sounds."};
  QCommandLineOption phoneProgram{"phone-program",
                                  "Start PATH as the phone program instead of ohphone in the program's folder.",
                                  "PATH"};
  QCommandLineOption phonePort{"phone-port", "The phone program's control port on 127.0.0.1 (3001).", "N"};
  QCommandLineOption talk{"talk",
                          "Send the talk key to the workstation running on this session bus and exit: "
                          "press, release, none or f2.",
                          "KEY"};
  QCommandLineOption playRecord{"play-record",
                                 "Play a conversation's record (a file of the work folder's Records) through the "
                                 "sound server and exit: 0 played, 1 not a readable record, 2 no sound server.",
                                 "FILE"};
  QCommandLineOption talkFocus{"talk-focus",
                               "Ask the workstation running on this session bus to give its voice window the "
                               "keyboard focus, and exit."};
};

// How long --talk and --talk-focus wait for the workstation's answer.
constexpr int kRequestTimeoutMs = 2000;
// How long a second start waits for the running workstation to answer.
constexpr int kRaiseTimeoutMs = 5000;

void Describe(QCoreApplication& app, QCommandLineParser& parser, const Options& options) {
  QCoreApplication::setApplicationName("Vertamo");
  QCoreApplication::setApplicationVersion(VERTAMO_VERSION);
  parser.setApplicationDescription(
      "Vertamo: the workstation of a lift dispatch service.\n"
      "Work folder (settings Vertamo.ini, picture cache, logs): ~/.local/share/Vertamo,\n"
      "or $XDG_DATA_HOME/Vertamo when XDG_DATA_HOME is set; the demo keeps its own,\n"
      "Vertamo-demo, beside it. Settings that name no server open the settings dialog.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(options.workdir);
  parser.addOption(options.demo);
  parser.addOption(options.mute);
  parser.addOption(options.phoneProgram);
  parser.addOption(options.phonePort);
  parser.addOption(options.talk);
  parser.addOption(options.talkFocus);
  parser.addOption(options.playRecord);
  parser.process(app);  // --help, --version and errors end the program here
}

// --help and --version need no display.
bool AsksForInformationOnly(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    for (const char* flag : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
      if (std::strcmp(argv[i], flag) == 0) return true;
  }
  return false;
}

// --talk and --talk-focus only send a request: no display, no window.
bool SendsARequestOnly(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--talk") == 0 || std::strncmp(argv[i], "--talk=", 7) == 0 ||
        std::strcmp(argv[i], "--talk-focus") == 0)
      return true;
  }
  return false;
}

// --play-record plays a file and ends: no display, no window.
bool PlaysARecordOnly(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--play-record") == 0 || std::strncmp(argv[i], "--play-record=", 14) == 0) return true;
  }
  return false;
}

int PlayRecord(const QCommandLineParser& parser, const Options& options) {
  std::string error;
  const int result = vertamo::PlayRecordToEnd(parser.value(options.playRecord).toStdString(), {}, &error);
  if (result != 0) std::fprintf(stderr, "vertamo: --play-record: %s\n", error.c_str());
  return result;
}

// Exit codes: 0 delivered, 1 a bad command line, 2 no session bus, 3 no
// workstation answered (or it refused).
int SendRequest(const QCommandLineParser& parser, const Options& options) {
  vertamo::ui::TRequestOutcome outcome;
  if (parser.isSet(options.talk)) {
    const QString key = parser.value(options.talk);
    const QStringList keys = {"press", "release", "none", "f2"};
    const int code = static_cast<int>(keys.indexOf(key));
    if (code < 0) {
      std::fprintf(stderr, "vertamo: --talk: \"%s\" is not press, release, none or f2\n", qPrintable(key));
      return 1;
    }
    outcome = vertamo::ui::SendTalkKey(QDBusConnection::sessionBus(), code, kRequestTimeoutMs);
  }
  if (outcome.result == vertamo::ui::TRequestResult::Delivered && parser.isSet(options.talkFocus))
    outcome = vertamo::ui::SendFocusRequest(QDBusConnection::sessionBus(), kRequestTimeoutMs);
  if (outcome.result == vertamo::ui::TRequestResult::Delivered) return 0;
  std::fprintf(stderr, "vertamo: %s\n", qPrintable(outcome.message));
  return outcome.result == vertamo::ui::TRequestResult::NoBus ? 2 : 3;
}

// Another workstation holds the work folder: it is asked over the session
// bus to come forward (exit 0); without a bus, or when it does not answer, a
// box says that it runs (exit 1).
int BringRunningForward(const QString& workFolder) {
  const vertamo::ui::TRequestOutcome outcome =
      vertamo::ui::SendRaiseRequest(QDBusConnection::sessionBus(), workFolder, kRaiseTimeoutMs);
  if (outcome.result == vertamo::ui::TRequestResult::Delivered) {
    std::fprintf(stderr, "vertamo: a workstation already works in %s: it was brought forward\n",
                 qPrintable(workFolder));
    return 0;
  }
  std::fprintf(stderr, "vertamo: a workstation already works in %s (%s)\n", qPrintable(workFolder),
               qPrintable(outcome.message));
  QMessageBox::information(nullptr, QStringLiteral("Vertamo"),
                           QStringLiteral("Рабочее место диспетчера уже запущено с рабочей папкой\n%1\n\n"
                                          "Перейдите к его окну.")
                               .arg(QDir::toNativeSeparators(workFolder)));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (AsksForInformationOnly(argc, argv)) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    Describe(app, parser, options);
    return 0;
  }
  if (PlaysARecordOnly(argc, argv)) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    Describe(app, parser, options);
    return PlayRecord(parser, options);
  }
  if (SendsARequestOnly(argc, argv)) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    Describe(app, parser, options);
    return SendRequest(parser, options);
  }

  // On Wayland the voice window could not be placed, kept above or given the
  // keyboard: XWayland, unless the environment names a platform.
  vertamo::ChooseXWaylandOnWayland();
  // Qt's own scaling stays on: on a desktop scaled to 150 % or 200 % the
  // windows, texts and maps are drawn at the screen's density (maps and
  // pictures smoothed), rather than stretched afterwards by the compositor.
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("vertamo"));  // the menu entry, for the window's icon
  // The standard dialogs and buttons speak Russian like the rest.
  if (!vertamo::ui::InstallQtTranslations(app))
    std::fprintf(stderr, "vertamo: Qt's Russian translation (qtbase_ru.qm) is missing: standard dialogs stay English\n");
  // From here on a SIGTERM or SIGINT closes the window the ordinary way, even
  // one that arrives before the window is up.
  vertamo::ui::TTerminationNotifier termination;
  QCommandLineParser parser;
  Describe(app, parser, options);

  vertamo::TAppSettings settings;
  const std::string dir = parser.isSet(options.workdir)
                              ? QFile::encodeName(parser.value(options.workdir)).toStdString()
                              : std::string();
  if (!settings.ChooseWorkFolder(parser.isSet(options.demo) ? vertamo::ui::kDemoFolderName : "Vertamo", dir)) {
    std::fprintf(stderr, "vertamo: cannot create the work folder %s\n", dir.c_str());
    return 1;
  }
  // One workstation per work folder: a second start brings the first forward.
  vertamo::TWorkFolderLock folderLock;
  const QString workFolder = QFile::decodeName(settings.WorkFolder.c_str());
  switch (folderLock.Take(settings.WorkFolder)) {
    case vertamo::TWorkFolderLock::TResult::Taken:
      break;
    case vertamo::TWorkFolderLock::TResult::Held:
      return BringRunningForward(workFolder);
    case vertamo::TWorkFolderLock::TResult::Failed:
      std::fprintf(stderr, "vertamo: the work folder cannot be locked, so a second start is not kept out: %s\n",
                   folderLock.Error().c_str());
      break;
  }
  vertamo::ui::TRaiseService raiseService;
  QString raiseProblem;
  if (folderLock.Holds() && !raiseService.Register(QDBusConnection::sessionBus(), workFolder, &raiseProblem))
    std::fprintf(stderr, "vertamo: a second start on this work folder will not bring this one forward: %s\n",
                 qPrintable(raiseProblem));

  // The demo's servers run in a process of their own, which lives longer
  // than the window (the window stops its connection before it goes) and
  // ends with this one however it ends.
  std::unique_ptr<vertamo::ui::TDemoProcess> demo;
  if (parser.isSet(options.demo)) {
    // The demo's phone is the one the workstation would start, when it can run.
    vertamo::ui::TDemoProcess::TOptions demoOptions;
    demoOptions.program = settings.ProgramFolder + vertamo::ui::TDemoProcess::kProgramName;
    demoOptions.phoneProgram = parser.isSet(options.phoneProgram)
                                   ? QFile::encodeName(parser.value(options.phoneProgram)).toStdString()
                                   : settings.ProgramFolder + "ohphone";
    demoOptions.workFolder = settings.WorkFolder;
    demo = std::make_unique<vertamo::ui::TDemoProcess>();
    std::string error;
    if (!demo->Start(demoOptions, &error)) {
      std::fprintf(stderr, "vertamo: the demo cannot start: %s\n", error.c_str());
      return 1;
    }
  }
  vertamo::ui::TFormOptions formOptions;
  formOptions.phone.start = true;
  formOptions.muteSounds = parser.isSet(options.mute);
  formOptions.setupWhenUnconfigured = true;  // a first start asks for the server
  if (parser.isSet(options.phoneProgram))
    formOptions.phone.programPath = QFile::encodeName(parser.value(options.phoneProgram)).toStdString();
  if (parser.isSet(options.phonePort)) {
    bool ok = false;
    formOptions.phone.port = parser.value(options.phonePort).toInt(&ok);
    if (!ok || formOptions.phone.port <= 0 || formOptions.phone.port > 65535) {
      std::fprintf(stderr, "vertamo: --phone-port: not a port\n");
      return 1;
    }
  }
  if (demo) {
    formOptions.phone.port = demo->PhonePort();
    formOptions.phone.processes = demo.get();
  }

  vertamo::ui::TScreenArea screen;
  if (const QScreen* primary = QGuiApplication::primaryScreen()) {
    const QRect area = primary->availableGeometry();
    screen = {area.x(), area.y(), area.width(), area.height()};
  }
  if (demo && (!vertamo::ui::PrepareDemoSettings(settings.WorkFolder, demo->Port(), screen) ||
               !vertamo::ui::PrepareDemoPhoneBook(settings.WorkFolder, demo->Subscribers()))) {
    std::fprintf(stderr, "vertamo: cannot write the demo settings in %s\n", settings.WorkFolder.c_str());
    return 1;
  }
  if (demo) {
    std::fprintf(stderr, "vertamo: demo district served on 127.0.0.1:%u, %s, work folder %s\n",
                 static_cast<unsigned>(demo->Port()), demo->PhoneDescription().c_str(), settings.WorkFolder.c_str());
    if (demo->GatewayHost().empty())
      std::fprintf(stderr, "vertamo: the demo runs without a voice gateway: %s\n", demo->GatewayProblem().c_str());
    else
      std::fprintf(stderr, "vertamo: demo voice gateway (kelmo-sim) on %s:%u\n", demo->GatewayHost().c_str(),
                   static_cast<unsigned>(demo->GatewayPort()));
  }

  vertamo::ui::TFormVertamo form(settings, formOptions);
  raiseService.onRaise = [&form] {
    std::fprintf(stderr, "vertamo: started again on this work folder: the window comes forward\n");
    if (form.isMinimized()) form.showNormal();
    form.ShowJournal();  // also when the dispatcher had closed it
    form.raise();
    form.activateWindow();
  };
  QObject::connect(&termination, &vertamo::ui::TTerminationNotifier::terminationRequested, &form, [&form] {
    if (form.close()) QApplication::quit();
  });
  // Talk-key and focus requests of other programs go to the voice window;
  // before it exists they do nothing.
  vertamo::ui::TTalkKeyService talkKeys;
  vertamo::ui::RouteTalkKeys(talkKeys, [&form] { return form.Calls(); });
  QString busProblem;
  if (!talkKeys.Register(QDBusConnection::sessionBus(), &busProblem))
    std::fprintf(stderr, "vertamo: talk-key requests of other programs are not taken: %s\n", qPrintable(busProblem));
  form.show();
  return app.exec();
}
