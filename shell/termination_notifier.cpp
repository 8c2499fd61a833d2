#include "shell/termination_notifier.h"

#include <QSocketNotifier>

#include "platform/termination_signals.h"

namespace vertamo::ui {

TTerminationNotifier::TTerminationNotifier(QObject* parent) : QObject(parent), fd_(InstallTerminationPipe()) {
  if (fd_ < 0) return;
  notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TTerminationNotifier::OnReadable);
}

void TTerminationNotifier::OnReadable() {
  while (const int signal = TakeTerminationSignal(fd_)) {
    InstallTerminationPipe();  // serve the next one too, as long as the program runs
    emit terminationRequested(signal);
  }
}

}  // namespace vertamo::ui
