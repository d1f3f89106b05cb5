// kovrel-tracer-sim: the lens-shape tracer on a pseudo-terminal, published under a COM name so
// that the program reads from it exactly as from the machine.

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "ports/com_registry.h"
#include "pty_link.h"
#include "read_source.h"
#include "sim_args.h"
#include "sim_support/signal_trigger.h"
#include "sim_support/stdin_lines.h"
#include "sim_window.h"
#include "tracer_simulator.h"

namespace {

using namespace kovrel;
using namespace kovrel::tools;

constexpr int kLingerTickMs = 20;
constexpr int kLingerMs = 2000;

std::unique_ptr<ReadSource> makeSource(const SimArgs& args, std::string& error) {
  if (!args.replayPath.empty()) {
    std::ifstream in(args.replayPath, std::ios::binary);
    if (!in) {
      error = "cannot open " + args.replayPath;
      return nullptr;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
      error = args.replayPath + " is empty";
      return nullptr;
    }
    return std::make_unique<ReadSource>(std::move(bytes));
  }
  if (args.centre)
    return std::make_unique<ReadSource>(CentreRead{*args.centre, args.spread}, args.calibration);
  auto outline = parseOutline(args.outline, error);
  if (!outline) return nullptr;
  return std::make_unique<ReadSource>(std::move(*outline), args.calibration, args.fault);
}

int writeOneRead(const SimArgs& args, ReadSource& source) {
  const std::vector<std::uint8_t> bytes = source.read(args.firstJob);
  if (args.streamPath == "-") {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  std::ofstream out(args.streamPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::cerr << "kovrel-tracer-sim: cannot write " << args.streamPath << "\n";
    return 1;
  }
  return 0;
}

// Leaves once the program has read every byte sent (closing the line would drop them), or
// after two seconds when nobody reads.
void leaveWhenRead(const PtyLink& link) {
  auto* poll = new QTimer(QCoreApplication::instance());
  auto waited = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, [poll, waited, &link] {
    *waited += kLingerTickMs;
    if (link.unread() == 0 || *waited >= kLingerMs) {
      poll->stop();
      QCoreApplication::quit();
    }
  });
  poll->start(kLingerTickMs);
}

int serve(int argc, char** argv, const SimArgs& args, ReadSource& source) {
  std::unique_ptr<QCoreApplication> app;
  if (args.window) {
    app = std::make_unique<QApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }

  std::string error;
  std::unique_ptr<PtyLink> link = PtyLink::open(error);
  if (!link) {
    std::cerr << "kovrel-tracer-sim: " << error << "\n";
    return 1;
  }

  // Published as a USB serial adapter would be listed, so the port search finds the tracer.
  ComRegistry registry(systemComFolders());
  const int pid = currentProcessId();
  try {
    registry.publish(args.com, link->devicePath(), pid, PortKind::UsbSerial);
  } catch (const ComRegistryError& e) {
    std::cerr << "kovrel-tracer-sim: cannot publish " << comNameOf(args.com) << ": " << e.what() << "\n";
    return 1;
  }

  TracerSimulator::Options options;
  options.fast = args.fast;
  options.recordPath = args.recordPath;
  options.firstJob = args.firstJob;
  TracerSimulator simulator(*link, source, options);

  auto say = [](const std::string& text) { std::cout << text << std::endl; };
  QObject::connect(&simulator, &TracerSimulator::readStarted, [&](int n, int bytes) {
    say("read " + std::to_string(n) + ": sending " + std::to_string(bytes) + " bytes");
  });
  QObject::connect(&simulator, &TracerSimulator::readFinished, [&](int n) {
    say("read " + std::to_string(n) + ": sent");
    if (args.reads > 0 && n >= args.reads) leaveWhenRead(*link);
  });
  QObject::connect(&simulator, &TracerSimulator::message, [&](const QString& m) { say(m.toStdString()); });
  QObject::connect(&simulator, &TracerSimulator::lineLost, [&] {
    say("line lost");
    QCoreApplication::exit(1);  // a write failed: the pseudo-terminal itself is gone
  });

  SignalTrigger unixSignals;
  QObject::connect(&unixSignals, &SignalTrigger::startRequested, &simulator, &TracerSimulator::start);
  QObject::connect(&unixSignals, &SignalTrigger::quitRequested, [] { QCoreApplication::quit(); });
  StdinLines input;
  QObject::connect(&input, &StdinLines::line, [&](const QString& line) {
    if (line.isEmpty() || line == QLatin1String("start")) {
      simulator.start();
    } else if (line == QLatin1String("quit")) {
      QCoreApplication::quit();
    } else {
      say("type Enter or 'start' for START, 'quit' to leave");
    }
  });

  // Encoder mode: the arm's readings go out without stopping, as the monitor expects them.
  QTimer encoderTimer;
  long encoderSent = 0;
  double encoderDue = 0;
  constexpr int kEncoderTickMs = 20;
  QObject::connect(&encoderTimer, &QTimer::timeout, [&] {
    encoderDue += args.encoderRate * kEncoderTickMs / 1000.0;
    std::vector<std::uint8_t> bytes;
    for (; encoderDue >= 1; encoderDue -= 1) {
      const int reading =
          encoderReading(encoderSent++, static_cast<int>(args.centre.value_or(1000)), args.spread);
      bytes.push_back(static_cast<std::uint8_t>(reading >> 8));
      bytes.push_back(static_cast<std::uint8_t>(reading & 0xFF));
    }
    // Readings nobody takes are dropped, as the machine's line would drop them.
    if (!bytes.empty() && link->write(bytes.data(), bytes.size()) < 0) QCoreApplication::exit(1);
  });
  auto setEncoder = [&](bool on) {
    if (on) {
      encoderTimer.start(kEncoderTickMs);
    } else {
      encoderTimer.stop();
    }
    say(on ? "encoder: streaming" : "encoder: stopped");
  };

  std::unique_ptr<SimWindow> window;
  if (args.window) {
    window = std::make_unique<SimWindow>(simulator, QString::fromStdString(comNameOf(args.com)),
                                         QString::fromStdString(args.outline), args.calibration, args.fault);
    if (args.encoder) window->addEncoderToggle(setEncoder);
    window->show();
  }
  if (args.encoder) setEncoder(true);

  say("ready: " + comNameOf(args.com) + " is " + link->devicePath());
  if (args.startNow) simulator.start();
  const int code = app->exec();
  registry.unpublish(args.com, pid);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> raw(argv + 1, argv + argc);
  std::string error;
  auto args = parseSimArgs(raw, error);
  if (!args) {
    std::cerr << "kovrel-tracer-sim: " << error << "\n" << simUsage();
    return 2;
  }
  if (args->help) {
    std::cout << simUsage();
    return 0;
  }
  auto source = makeSource(*args, error);
  if (!source) {
    std::cerr << "kovrel-tracer-sim: " << error << "\n";
    return 2;
  }
  try {
    if (!args->streamPath.empty()) return writeOneRead(*args, *source);
    return serve(argc, argv, *args, *source);
  } catch (const std::exception& e) {
    // A calibration that does not fit the header's fields, an outline the arm cannot reach.
    std::cerr << "kovrel-tracer-sim: " << e.what() << "\n";
    return 1;
  }
}
