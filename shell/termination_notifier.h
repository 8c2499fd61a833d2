// Turns SIGTERM and SIGINT into a Qt signal of the main thread, so that a
// logout, `kill` or Ctrl+C closes the main window as "Выход" does.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace vertamo::ui {

class TTerminationNotifier : public QObject {
  Q_OBJECT
 public:
  explicit TTerminationNotifier(QObject* parent = nullptr);
  // False when the system gave no pipe for the signals.
  bool isActive() const { return notifier_ != nullptr; }

 signals:
  void terminationRequested(int signal);

 private:
  void OnReadable();
  int fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vertamo::ui
