// The host links without sockets: the exchange over TCP against a fake network, hostile peers,
// the reconnect's pauses, the folder link and the link's settings file.

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "../host/send_rig.h"
#include "archive/kept_read.h"
#include "archive/trace_file.h"
#include "base/texts.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "host/oma_framing.h"
#include "links/folder_link.h"
#include "links/link_choice.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "program_folder.h"

namespace kovrel {
namespace {

using namespace kovrel::testing;
using Bytes = std::vector<std::uint8_t>;

struct FakeNet : NetPeers {
  void connectTo(const std::string& a, int p) override { attempts.push_back(addressAndPort(a, p)); }
  void send(int peer, const Bytes& b) override { sent[peer].insert(sent[peer].end(), b.begin(), b.end()); }
  void drop(int peer) override { dropped.push_back(peer); }
  void connect(int peer, const std::string& from = "127.0.0.1") { onConnected(peer, from); }
  void bytes(int peer, const Bytes& b) { onBytes(peer, b.data(), b.size()); }
  std::vector<std::string> attempts;
  std::map<int, Bytes> sent;
  std::vector<int> dropped;
};

const Bytes kHostMessage = bytesOf("\x06\x1cJOB=\"345\"\r\nVEN=LAB\x1e\x1d");

// The same send over the serial port: what the host reads there, the reference for the other links.
Bytes serialExchange() {
  FakeVirtualPort port;
  port.exists = port.hostHolds = true;
  SharedState state;
  SerialLink serial(port, state);
  SendRig rig(serial);
  rig.cmd->interpola_Click();
  port.hostSends(kHostMessage);
  EXPECT_EQ(rig.text(), texts::kSentOk);
  return port.written;
}

TEST(TcpLink, theExchangeOnTheSocketIsByteForByteTheSerialOneInBothModes) {
  const Bytes serial = serialExchange();

  for (auto mode : {TcpLink::Mode::Listen, TcpLink::Mode::Connect}) {
    FakeNet net;
    FakeTimer retry;
    TcpLink link(mode, "192.168.1.20", 5000, {}, net, retry);
    SendRig rig(link);
    EXPECT_EQ(link.label(), mode == TcpLink::Mode::Connect ? " TCP 192.168.1.20:5000 sin conexión"
                                                           : " TCP :5000 sin conexión");
    rig.cmd->interpola_Click();
    EXPECT_EQ(rig.text(), texts::kNoHostWaiting) << "no host connected: nobody holds the port";
    net.connect(7);
    EXPECT_EQ(link.label(), mode == TcpLink::Mode::Connect ? " TCP 192.168.1.20:5000" : " TCP :5000");
    rig.cmd->interpola_Click();
    // The host's message arrives cut anywhere.
    for (std::size_t i = 0; i < kHostMessage.size(); i += 5)
      net.bytes(7, Bytes(kHostMessage.begin() + static_cast<long>(i),
                         kHostMessage.begin() + static_cast<long>(std::min(i + 5, kHostMessage.size()))));
    EXPECT_EQ(rig.text(), texts::kSentOk);
    EXPECT_TRUE(net.sent[7] == serial && net.dropped.empty());
  }
}

TEST(TcpLink, aConnectionLostMidSendEndsItAsAHostThatStoppedReadingAndTheClientReconnectsEachTimeLater) {
  FakeNet net;
  FakeTimer retry;
  TcpLink link(TcpLink::Mode::Connect, "::1", 5000, {}, net, retry);
  SendRig rig(link);
  EXPECT_EQ(net.attempts, std::vector<std::string>{"[::1]:5000"});
  // Refused again and again: each pause is twice the last, up to 32 ticks.
  std::vector<int> pauses;
  for (int attempt = 0; attempt < 7; ++attempt) {
    net.onConnectFailed();
    int ticks = 0;
    for (const std::size_t before = net.attempts.size(); net.attempts.size() == before && ticks < 100;
         ++ticks)
      retry.tick();
    pauses.push_back(ticks);
  }
  EXPECT_EQ(pauses, (std::vector<int>{1, 2, 4, 8, 16, 32, 32}));
  EXPECT_FALSE(retry.active);

  net.connect(3), net.bytes(3, Bytes(256, 'Z'));  // the host reached may chatter unasked, up to a bound
  rig.cmd->interpola_Click();
  net.bytes(3, {oma::ACK});
  net.onGone(3);
  EXPECT_TRUE(rig.text() == texts::kOmaTimeout && !rig.cmd->busy());
  EXPECT_FALSE(rig.w.isEnabled(Control::interpola)) << "as for a host that stopped after its ACK";
  EXPECT_EQ(link.label(), " TCP [::1]:5000 sin conexión");
  const std::size_t tried = net.attempts.size();
  retry.tick();
  EXPECT_EQ(net.attempts.size(), tried + 1) << "a connection that was up retries after the first pause";
  net.connect(4), net.bytes(4, Bytes(257, 'Z'));
  EXPECT_EQ(net.dropped, std::vector<int>{4});
}

// Peers that are not the host, while Kovrel waits for the host: each is dropped, the host's send
// goes through and only the host sees the answer.
TEST(TcpLink, hostilePeersAreDroppedAndTheRealHostsSendSucceeds) {
  struct Row {
    const char* name;
    std::function<void(FakeNet&)> before;  // peer 1 is the real host, connected first
    std::function<void(FakeNet&)> during;  // after the request went out
    std::vector<int> dropped;
    bool atOnce = false;  // dropped before any request
  };
  const Bytes endless(5000, 'A');
  const auto stranger = [](FakeNet& n) { n.connect(2); };
  // clang-format off
  const Row rows[] = {
      {"another machine", [](FakeNet& n) { n.connect(2, "10.0.0.9"); }, nullptr, {2}, true},
      {"garbage unasked", [](FakeNet& n) { n.connect(2), n.bytes(2, bytesOf("GET / HTTP/1.0\r\n")); }, nullptr, {2}, true},
      {"slow drip unasked", [](FakeNet& n) { n.connect(2), n.bytes(2, {'x'}); }, nullptr, {2}, true},
      {"garbage for an answer", [](FakeNet& n) { n.connect(2, "::1"); }, [](FakeNet& n) { n.bytes(2, bytesOf("\x1d\x1d")); }, {2}},
      {"an endless line", stranger, [&](FakeNet& n) { n.bytes(2, Bytes{oma::ACK} + endless); }, {2}},
      {"silent through the request", stranger, nullptr, {2}},
      {"nine half-open", [](FakeNet& n) { for (int p = 2; p <= 10; ++p) n.connect(p); }, nullptr, {2, 3, 4, 5, 6, 7, 8, 9, 10}},
  };
  // clang-format on
  for (const Row& row : rows) {
    FakeNet net;
    FakeTimer retry;
    TcpLink link(TcpLink::Mode::Listen, "", 5000, {}, net, retry);
    SendRig rig(link);
    net.connect(1), rig.cmd->interpola_Click(), net.bytes(1, kHostMessage);  // proven by an earlier send
    ASSERT_EQ(rig.text(), texts::kSentOk);
    const Bytes firstSend = net.sent[1];

    row.before(net);
    EXPECT_TRUE(!row.atOnce || net.dropped == std::vector<int>{2}) << row.name;
    rig.cmd->interpola_Click();
    if (row.during) row.during(net);
    net.bytes(1, kHostMessage);
    EXPECT_EQ(rig.text(), texts::kSentOk) << row.name;
    EXPECT_EQ(net.sent[1], firstSend + firstSend) << row.name;
    rig.cmd->interpola_Click();  // the next request drops peers silent through the last one
    net.bytes(1, kHostMessage);
    EXPECT_EQ(net.dropped, row.dropped) << row.name;
    EXPECT_EQ(link.peerCount(), 1u) << row.name;
  }
}

TEST(TcpLink, theHostsOwnFloodOrEndlessLineDropsItAndTheSendEndsWithoutWaiting) {
  for (std::size_t size : {std::size_t{4095}, std::size_t{4097}, std::size_t{70000}}) {
    FakeNet net;
    FakeTimer retry;
    TcpLink link(TcpLink::Mode::Listen, "", 5000, {"192.168.1.20"}, net, retry);
    SendRig rig(link);
    net.connect(1, "192.168.1.20"), rig.cmd->interpola_Click();
    Bytes flood{oma::ACK};
    for (std::size_t i = 0; i < size; ++i) flood.push_back(i % 1000 == 999 && size > 5000 ? oma::RS : 'Z');
    net.bytes(1, flood);
    const bool dropped = size > 4095;  // the ACK and 4095 bytes are one whole record
    EXPECT_EQ(rig.text() == texts::kOmaTimeout, dropped) << size;
    EXPECT_EQ(net.dropped, dropped ? std::vector<int>{1} : std::vector<int>{}) << size;
  }
}

// A folder as the host: the file that lands there holds the radii the serial host decodes.
TEST(FolderLink, theSendDropsAVcaFileWithTheSerialHostsRadiiAndAFolderGoneSaysWhichAndWhatToDo) {
  ProgramFolder folder;
  const Bytes serial = serialExchange();
  std::vector<int> radii;
  ASSERT_TRUE(oma::decodeAnswerRadii(
      Bytes(serial.begin() + static_cast<long>(oma::requestBytes("345").size()), serial.end()), radii));

  FolderLink link(folder.path());
  SendRig rig(link);
  rig.cmd->interpola_Click();
  EXPECT_EQ(rig.text(), texts::kSentOk);
  EXPECT_EQ(link.lastFile(), folder.path() / "345.vca");
  const std::string text = testing::fileBytes(folder.path() / "345.vca");
  EXPECT_EQ(text, vcaTraceText("345", radii, parseTraceFile(text).time.value()));  // the archive's form
  OmaTrace trace;
  EXPECT_TRUE(readOmaTrace(text, trace, nullptr) && trace.radii == radii && text.starts_with("JOB=345\r") &&
              !std::filesystem::exists(folder.path() / "345.vca.tmp"));
  // Readable by the host's account, as any file made there is (0644), not the settings' owner-only.
  std::ofstream(folder.path() / "plain") << "x";
  using P = std::filesystem::perms;
  const auto readBits = [&](const char* name) {
    return std::filesystem::status(folder.path() / name).permissions() &
           (P::owner_read | P::group_read | P::others_read);
  };
  EXPECT_EQ(readBits("345.vca"), readBits("plain"));

  FolderLink gone(folder.path() / "share");
  SendRig goneRig(gone);
  goneRig.cmd->interpola_Click();
  const std::string where = (folder.path() / "share").string();
  EXPECT_EQ(goneRig.text(), "Carpeta no disponible: " + where + " >conectar la unidad o elegir otra carpeta");
  EXPECT_EQ(folderProblem(folder.path() / "share"), goneRig.text());
  EXPECT_EQ(folderProblem(folder.path()), std::nullopt);
}

TEST(LinkChoice, theFileRoundTripsEachChoiceRefusesBadValuesAndAForeignFileIsKeptAside) {
  const LinkChoice choices[] = {{},
                                {LinkKind::TcpConnect, "192.168.1.20", 5000, {}, ""},
                                {LinkKind::TcpListen, "", 1, {"10.0.0.9", "fe80::1"}, ""},
                                {LinkKind::Folder, "", 0, {}, "/srv/trazas de Óptica"}};
  for (const LinkChoice& c : choices) EXPECT_EQ(parseLinkFile(linkFileText(c)), c) << linkFileText(c);

  const char* refused[] = {"",
                           "ENLACE=modem\r\n",
                           "ENLACE=tcp\r\nDIRECCION=1.2.3.4\r\nPUERTO=0\r\n",
                           "ENLACE=tcp\r\nDIRECCION=1.2.3.4\r\nPUERTO=65536\r\n",
                           "ENLACE=tcp\r\nDIRECCION=a b\r\nPUERTO=5000\r\n",
                           "ENLACE=escucha\r\nPUERTO=5x\r\n",
                           "ENLACE=carpeta\r\n",
                           "random bytes\x01\x02"};
  for (const char* text : refused) EXPECT_EQ(parseLinkFile(text), std::nullopt) << text;
  EXPECT_EQ(parseLinkFile(std::string(kLinkFileMaxBytes + 1, '\n')), std::nullopt);

  ProgramFolder folder;
  EXPECT_EQ(loadLinkChoice(folder.path()).choice, LinkChoice{}) << "absent: the serial port, as before";
  ASSERT_EQ(saveLinkChoice(folder.path(), choices[1]), "");
  EXPECT_EQ(loadLinkChoice(folder.path()).choice, choices[1]);
  { std::ofstream(folder.path() / kLinkFileName) << "PK\x03\x04 not ours"; }
  const LinkLoad load = loadLinkChoice(folder.path());
  EXPECT_EQ(load.choice, LinkChoice{});
  EXPECT_TRUE(load.setAside.starts_with("kovrel_enlace.cfg.") &&
              std::filesystem::exists(folder.path() / load.setAside));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / kLinkFileName));
}

}  // namespace
}  // namespace kovrel
