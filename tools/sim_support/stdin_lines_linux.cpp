#include <unistd.h>

#include <cerrno>

#include "stdin_lines.h"

namespace kovrel::tools {

StdinLines::StdinLines(QObject* parent) : QObject(parent) {
  notifier_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &StdinLines::readAvailable);
}

void StdinLines::readAvailable() {
  char buffer[256];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n < 0 && errno == EINTR) return;
  if (n <= 0) {
    notifier_->setEnabled(false);  // end of input: nothing more will come
    return;
  }
  pending_.append(buffer, static_cast<std::size_t>(n));
  std::size_t end;
  while ((end = pending_.find('\n')) != std::string::npos) {
    emit line(QString::fromStdString(pending_.substr(0, end)).trimmed());
    pending_.erase(0, end + 1);
  }
}

}  // namespace kovrel::tools
