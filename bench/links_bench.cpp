// The TCP link on loopback (127.0.0.1 only): a thousand sends in a row, the time from the host's
// GS to the whole answer at the host (compare with bench_host's figure for the serial port's
// answer), and two hundred hostile connections mixed with real sends while a window's 20 ms timer
// runs on the same loop (how late it fired at worst).

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <memory>

#include "base/texts.h"
#include "fake_plot.h"
#include "fake_timer.h"
#include "fake_window.h"
#include "host/oma_framing.h"
#include "host/send_command.h"
#include "links/qt_tcp_peers.h"
#include "links/tcp_link.h"

namespace kovrel {
namespace {

bool runUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  return done();
}

long residentKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}

// Kovrel waiting on loopback, a host connected, the send button ready to re-send a trace.
struct Loopback {
  Loopback() {
    std::string error;
    peers.listen(0, error);
    s.tipoMontura = 1, s.ja_Enviat = 1, s.contador_treballs = 1;
    s.forma_auxiliar.radius(1) = 2750;
    const int codes[] = {0, 1, 6, 255, 28, 2, 30, 254, 64, 3};
    for (int n = 2; n <= 800; ++n) s.forma_auxiliar.radius(n) = codes[n % 10];
    w.setText(Control::contadorLectures, "1");
    host = connect();
    QObject::connect(host.get(), &QTcpSocket::readyRead, [this] {
      const QByteArray in = host->readAll();
      received.append(in);
      if (received.endsWith("\x1e\x1d") && !answered) {
        answered = true;
        host->write("\x06\x1cJOB=\"1\"\r\n\x1e");
        host->flush();
        gsSent.start();
        host->write("\x1d");
        host->flush();
      }
      if (answered && received.size() > 40 && received.endsWith("\x1e\x1d\x06"))
        gsToAnswerNs = gsSent.nsecsElapsed();
    });
    runUntil([&] { return link.present(); });
  }
  std::unique_ptr<QTcpSocket> connect() {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(peers.listeningPort()));
    runUntil([&] { return socket->state() == QAbstractSocket::ConnectedState; });
    // The host's own GS goes out at once (no Nagle wait): the figure is Kovrel's.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return socket;
  }
  // One send; true when the host has the whole answer.
  bool send() {
    received.clear(), answered = false, gsToAnswerNs = -1;
    cmd.interpola_Click();
    return runUntil([&] { return !cmd.busy() && gsToAnswerNs >= 0; }) &&
           w.text(Control::Text1) == texts::kSentOk;
  }

  QtTcpPeers peers;
  testing::FakeTimer retry, poll;
  TcpLink link{TcpLink::Mode::Listen, "", 0, {}, peers, retry};
  SharedState s;
  testing::FakeWindow w;
  testing::FakePlot plot;
  testing::FakeClock clock;
  SendCommand cmd{s, w, plot, link, clock, poll, {}};
  std::unique_ptr<QTcpSocket> host;
  QByteArray received;
  bool answered = false;
  QElapsedTimer gsSent;
  qint64 gsToAnswerNs = -1;
};

void BM_TcpThousandSendsInARow(benchmark::State& st) {
  Loopback rig;
  int failures = 0;
  double gsToAnswerUs = 0;
  const long before = residentKb();
  for (auto _ : st) {
    for (int i = 0; i < 1000; ++i) {
      if (!rig.send()) ++failures;
      gsToAnswerUs += static_cast<double>(rig.gsToAnswerNs) / 1000.0;
      rig.w.text1History.clear();
    }
  }
  st.counters["failures"] = failures;
  st.counters["gs_to_answer_us"] = gsToAnswerUs / 1000.0 / static_cast<double>(st.iterations());
  st.counters["rss_growth_kb"] = static_cast<double>(residentKb() - before);
}
BENCHMARK(BM_TcpThousandSendsInARow)->Iterations(1)->Unit(benchmark::kMillisecond);

// A window's periodic timer (the rotate buttons repeat every 20 ms, the send polls every 50):
// how late its ticks come while the link deals with hostile peers on the same event loop.
// Precise, so that the figure is the loop's delay and not the timer's own slack.
struct TimerLateness {
  static constexpr int kPeriodMs = 20;
  TimerLateness() {
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      lateMaxMs = std::max(lateMaxMs, since.restart() - kPeriodMs);
      ++ticks;
    });
    since.start();
    timer.start(kPeriodMs);
  }
  QTimer timer;
  QElapsedTimer since;
  qint64 lateMaxMs = 0;
  int ticks = 0;
};

void BM_TcpHostileConnectionsAmongSends(benchmark::State& st) {
  Loopback rig;
  int failures = 0, hostileLeftOpen = 0;
  TimerLateness window;
  for (auto _ : st) {
    std::vector<std::unique_ptr<QTcpSocket>> hostile;
    for (int round = 0; round < 50; ++round) {
      for (const QByteArray& junk :
           {QByteArray("GET / HTTP/1.1\r\n\r\n"), QByteArray(70000, 'A'), QByteArray(), QByteArray("x")}) {
        hostile.push_back(rig.connect());
        if (!junk.isEmpty()) hostile.back()->write(junk);
      }
      if (!rig.send()) ++failures;
    }
    rig.send();
    runUntil([&] {
      return std::all_of(hostile.begin(), hostile.end(),
                         [](const auto& h) { return h->state() == QAbstractSocket::UnconnectedState; });
    });
    for (const auto& h : hostile) hostileLeftOpen += h->state() != QAbstractSocket::UnconnectedState;
  }
  st.counters["hostile"] = 200;
  st.counters["failures"] = failures;
  st.counters["hostile_left_open"] = hostileLeftOpen;
  window.timer.stop();
  st.counters["timer_ticks"] = window.ticks;
  st.counters["timer_late_max_ms"] = static_cast<double>(window.lateMaxMs);
}
BENCHMARK(BM_TcpHostileConnectionsAmongSends)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kovrel

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
