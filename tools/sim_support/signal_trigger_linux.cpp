#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "signal_trigger.h"

namespace kovrel::tools {
namespace {

int pipeFds[2] = {-1, -1};

void onSignal(int number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(number);
  [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
  errno = saved;
}

void install(int number) {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(number, &action, nullptr);
}

}  // namespace

SignalTrigger::SignalTrigger(QObject* parent) : QObject(parent) {
  if (pipeFds[0] < 0 && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalTrigger::readPipe);
  install(SIGUSR1);
  install(SIGINT);
  install(SIGTERM);
}

SignalTrigger::~SignalTrigger() {
  ::signal(SIGUSR1, SIG_DFL);
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
}

void SignalTrigger::readPipe() {
  unsigned char byte = 0;
  while (::read(pipeFds[0], &byte, 1) == 1) {
    if (byte == SIGUSR1) {
      emit startRequested();
    } else {
      emit quitRequested();
    }
  }
}

}  // namespace kovrel::tools
