// kovrel-host-sim: the lab's host program on the program's virtual port, for trying the trace
// exchange on a real line without the lab's software.

#include <QApplication>
#include <QCoreApplication>
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <thread>

#include "archive/trace_file.h"
#include "host_args.h"
#include "host_line.h"
#include "host_simulator.h"
#include "outline_view.h"
#include "ports/com_registry.h"
#include "sim_support/signal_trigger.h"

namespace {

using namespace kovrel;
using namespace kovrel::tools;

std::string outcomeText(HostSession::Outcome o) {
  switch (o) {
    case HostSession::Outcome::Pending:
      return "pending";
    case HostSession::Outcome::GoodAnswer:
      return "good answer";
    case HostSession::Outcome::BadAnswer:
      return "bad answer";
    case HostSession::Outcome::NoAnswer:
      return "no answer";
    case HostSession::Outcome::BadRequest:
      return "bad request (refused with NAK)";
    case HostSession::Outcome::ClosedMidway:
      return "closed the line midway, as asked";
  }
  return "?";
}

// The path a host opens for the COM name: the program's published link, resolved the way the
// port list resolves it (a stale link is never followed).
std::string devicePath(const HostArgs& args, std::string& error) {
  if (!args.device.empty()) return args.device;
  ComRegistry registry(systemComFolders());
  auto path = registry.resolve(args.com);
  if (!path) {
    error = comNameOf(args.com) + " does not exist (is the program running with its virtual port?)";
    return {};
  }
  return path->string();
}

// Plays the host on `line` until the program is done with it (or for good, without --once).
int serve(std::unique_ptr<HostLine> line, std::function<std::unique_ptr<HostLine>()> reopen,
          const HostArgs& args, QCoreApplication& app, const std::string& where) {
  HostSimulator host(std::move(line), args.config, args.once, std::move(reopen));
  std::unique_ptr<OutlineView> view;
  if (args.window) {
    view = std::make_unique<OutlineView>();
    view->show();
  }

  auto say = [](const std::string& text) { std::cout << text << std::endl; };
  int exitCode = 1;
  QObject::connect(&host, &HostSimulator::requestReceived,
                   [&](const QString& job) { say("request: JOB=\"" + job.toStdString() + "\""); });
  QObject::connect(&host, &HostSimulator::exchangeDone, [&](int) {
    const HostSession& s = host.session();
    say("exchange: " + outcomeText(s.outcome()) +
        (s.problem().empty() ? std::string() : " (" + s.problem() + ")"));
    if (s.outcome() == HostSession::Outcome::GoodAnswer) {
      say("answer: JOB=\"" + s.answerJob() + "\", " + std::to_string(s.radii().size()) + " radii");
      if (!args.quiet) std::cout << formatRadii(s.radii()) << std::flush;
      if (!args.savePath.empty()) {
        std::ofstream out(args.savePath, std::ios::binary | std::ios::trunc);
        out << writeOmaTrace(s.radii());
        if (!out) say("cannot save " + args.savePath);
      }
      if (view) view->setRadii(s.radii());
    }
    exitCode = s.outcomeAsExpected() ? 0 : 1;
    if (args.once) QCoreApplication::exit(exitCode);
  });
  QObject::connect(&host, &HostSimulator::lineLost, [&] {
    say("line lost: the program closed its side");
    QCoreApplication::exit(1);
  });
  SignalTrigger unixSignals;
  QObject::connect(&unixSignals, &SignalTrigger::quitRequested,
                   [&] { QCoreApplication::exit(args.once ? 1 : 0); });

  say("ready: holding " + where +
      (args.config.misbehaviour == Misbehaviour::None
           ? std::string()
           : ", misbehaving: " + std::string(misbehaviourName(args.config.misbehaviour))));
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> raw(argv + 1, argv + argc);
  std::string error;
  auto args = parseHostArgs(raw, error);
  if (!args) {
    std::cerr << "kovrel-host-sim: " << error << "\n" << hostUsage();
    return 2;
  }
  if (args->help) {
    std::cout << hostUsage();
    return 0;
  }

  std::unique_ptr<QCoreApplication> app;
  if (args->window) {
    app = std::make_unique<QApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }

  if (args->tcpPort != 0) {
    const HostArgs a = *args;
    auto line = HostLine::tcp(a.tcpAddress, a.tcpPort, a.waitSeconds, error);
    if (!line) {
      std::cerr << "kovrel-host-sim: " << error << "\n";
      return 1;
    }
    return serve(
        std::move(line),
        [a] {
          std::string why;
          return HostLine::tcp(a.tcpAddress, a.tcpPort, a.waitSeconds, why);
        },
        *args, *app,
        a.tcpAddress.empty() ? "127.0.0.1:" + std::to_string(a.tcpPort)
                             : a.tcpAddress + ":" + std::to_string(a.tcpPort));
  }

  // A host started before the program waits for the program's port to appear, as a lab's host
  // program polls for its tracer.
  std::string path = devicePath(*args, error);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(args->waitSeconds);
  while (path.empty() && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    path = devicePath(*args, error);
  }
  if (path.empty()) {
    std::cerr << "kovrel-host-sim: " << error << "\n";
    return 1;
  }
  auto line = HostLine::open(path, error);
  if (!line) {
    std::cerr << "kovrel-host-sim: " << error << "\n";
    return 1;
  }

  auto reopen = [path]() {
    std::string why;
    return HostLine::open(path, why);
  };
  return serve(std::move(line), reopen, *args, *app, path);
}
