#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include "base/shared_state.h"
#include "fake_virtual_port.h"
#include "real_links.h"

namespace kovrel::cli {

struct RealLinksOwner::Parts {
  int& argc;
  char** argv;
  std::unique_ptr<QCoreApplication> app;  // started by the first send only
  testing::FakeVirtualPort noSerialPort;  // send names no serial link
  SharedState noState;
  RealLinks links;
};

RealLinksOwner::RealLinksOwner(int& argc, char** argv) : parts_(new Parts{argc, argv, nullptr, {}, {}, {}}) {
  Parts& p = *parts_;
  p.links.make = [&p](const LinkChoice& choice) {
    if (!QCoreApplication::instance()) p.app = std::make_unique<QCoreApplication>(p.argc, p.argv);
    return makeHostLink(choice, p.noSerialPort, p.noState);
  };
  p.links.runUntil = [](const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake;  // the deadline is seen even when no event comes
    wake.start(10);
    while (!done() && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
  };
}

RealLinksOwner::~RealLinksOwner() = default;

const RealLinks* RealLinksOwner::links() const { return &parts_->links; }

}  // namespace kovrel::cli
