// Program entry of the workstation.
#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vertamo");
  QApplication::setApplicationVersion(VERTAMO_VERSION);
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(app);
  return 0;
}
