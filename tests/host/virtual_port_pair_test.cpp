// The host's port on a null-modem pair: the control program's listing and failures, and the
// adapter's logic over a fake driver (answering as the control program does) and a fake end
// that plays the host's lines and bytes.
#include "host/virtual_port_pair.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "base/texts.h"
#include "fake_timer.h"
#include "host/pair_control.h"

namespace kovrel {
namespace {

using Args = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

TEST(PairListing, endsGoByTheirPortNameOrTheirIdentifierAndOnlyWholePairsAndComNamesCount) {
  const char* listing =
      "       CNCA0 PortName=COM5,EmuBR=yes\n"
      "       CNCB0 PortName=-,dcd=ropen,dsr=rdtr\r\n"
      "       CNCA12 PortName=COM#,RealPortName=COM7\n"
      "       CNCB12 PortName=CNCB12\n"
      "       CNCA3 PortName=COM9\n"  // its B end is missing: half a pair
      "cnca4 portname=com2\n"
      "CNCB4\n"
      "       CNCC1 PortName=COM1\n"  // not a pair's end
      "       CNCB0X PortName=COM3\n";
  EXPECT_EQ(parsePairListing(listing),
            (std::vector<PortPair>{{0, "COM5", "CNCB0"}, {4, "com2", "CNCB4"}, {12, "COM7", "CNCB12"}}));
  // Only plain COM names from 1 to 255 go to the control program.
  const std::map<std::string, bool> names = {
      {"COM1", true},   {"com5", true},   {"COM255", true}, {"COM256", false},
      {"COM0", false},  {"COM05", false}, {"COM", false},   {"COM5,EmuBR=yes", false},
      {"COM 5", false}, {"", false},      {"COM-1", false}};
  for (const auto& [name, ok] : names) EXPECT_EQ(isHostComName(name), ok) << name;
}

// A driver answering as its control program does; its changes wait for the operator's consent.
struct FakeDriver {
  bool found = true;
  std::map<int, std::string> pairs;  // index -> host end's name
  std::set<std::string> cablePorts;
  bool installMakesNothing = false;  // the program is there, the driver is not
  bool waiting = false;              // the consented run has not ended yet
  std::optional<ProgramRun> failNext, failChange;
  std::vector<Args> runs;

  ProgramRun run(const Args& args) {
    runs.push_back(args);
    if (failNext) return *std::exchange(failNext, std::nullopt);
    return answer(args);
  }
  ProgramRun answer(const Args& args) {
    ProgramRun r{true, false, false, 0, {}};
    if (args[0] == "list") {
      for (const auto& [n, name] : pairs)
        r.output += "CNCA" + std::to_string(n) + " PortName=" + name + "\nCNCB" + std::to_string(n) + "\n";
    } else if (args[0] == "busynames") {
      if (cablePorts.contains(args[1])) r.output = args[1];
    } else if (args[1] == "install" && !installMakesNothing) {
      int n = 0;
      while (pairs.contains(n)) ++n;
      pairs[n] = args[2].substr(std::string("PortName=").size());
    } else if (args[1] == "change") {
      pairs[std::stoi(args[2].substr(4))] = args[3].substr(std::string("PortName=").size());
    }
    return r;
  }
  std::unique_ptr<PairControl> control() {
    return std::make_unique<CommandPairControl>(
        found, [this](const Args& a) { return run(a); },
        [this](const Args& a) -> RunCheck {
          runs.push_back(a);
          return [this, a]() -> std::optional<ProgramRun> {
            if (waiting) return std::nullopt;
            if (failChange) return *std::exchange(failChange, std::nullopt);
            return answer(a);
          };
        });
  }
};

// ---- the adapter ----------------------------------------------------------------------------------

struct EndState {
  bool opens = true, open = false, lost = false, stalls = false;
  std::string name;
  PairLines lines;
  std::deque<std::uint8_t> arriving;
  Bytes written;
  int purges = 0;
};

class FakeEnd : public PairEnd {
 public:
  explicit FakeEnd(EndState& s) : s_(s) {}
  bool open(const std::string& name) override { return (s_.open = s_.opens) && (s_.name = name, true); }
  void close() override { s_.open = false; }
  std::optional<PairLines> lines() override {
    if (s_.lost) return std::nullopt;
    return std::exchange(s_.lines, {s_.lines.hostOpen, s_.lines.hostDtr, false});
  }
  bool read(std::deque<std::uint8_t>& into) override {
    into.insert(into.end(), s_.arriving.begin(), s_.arriving.end());
    s_.arriving.clear();
    return !s_.lost;
  }
  bool write(const Bytes& b) override {
    if (!s_.stalls) s_.written.insert(s_.written.end(), b.begin(), b.end());
    return !s_.stalls;
  }
  void purgeInput() override { ++s_.purges; }

 private:
  EndState& s_;
};

class PairPort : public ::testing::Test {
 protected:
  PairPort() { make(); }
  void make() {
    auto timer = std::make_unique<testing::FakeTimer>();
    timer_ = timer.get();
    port_ = std::make_unique<PairVirtualPort>(driver_.control(), std::make_unique<FakeEnd>(end_),
                                              std::move(timer));
    port_->canvi_senyal = [this] { signals_.push_back(port_->senyal_extern()); };
    port_->onBytesArrived = [this] { ++arrivals_; };
  }
  void made() { driver_.pairs[0] = "COM5", port_->crear_port("COM5"); }
  // The host's side of the pair, as our end would see it at the next look.
  void host(bool open, bool dtr) { end_.lines = {open, dtr, end_.lines.hostDtr != dtr}; }
  // What a creation told: "ok", or its failure (and whose remedy it is).
  PortCreated tell_ = [this](const std::optional<VirtualPortError>& f) {
    told_.push_back(!f ? "ok" : f->what() + std::string(f->administrator() ? " (administrador)" : ""));
  };
  std::vector<std::string> told_;
  // The failure a call must throw, told in `message`.
  static auto refusal(std::string_view message) {
    return ::testing::ThrowsMessage<VirtualPortError>(std::string(message));
  }

  FakeDriver driver_;
  EndState end_;
  testing::FakeTimer* timer_ = nullptr;
  std::unique_ptr<PairVirtualPort> port_;
  std::vector<bool> signals_;  // senyal_extern at each canvi_senyal
  int arrivals_ = 0;
};

TEST_F(PairPort, creatingAsksConsentOnceWhileTheWindowGoesOnAndALaterStartNeedsNone) {
  driver_.pairs[0] = "COM3";  // someone else's pair keeps its index
  driver_.waiting = true;
  port_->createPort("com5", tell_);
  timer_->tick();  // the operator has not answered yet: nothing told, the window goes on
  EXPECT_TRUE(told_.empty() && timer_->isActive());
  port_->createPort("COM6", tell_);  // one change at a time
  EXPECT_EQ(told_, (std::vector<std::string>{std::string(texts::kPairControlFailed) + "ocupado"}));
  driver_.waiting = false, timer_->tick();
  EXPECT_TRUE(told_.back() == "ok" && driver_.pairs.at(1) == "COM5" && end_.name == "CNCB1");
  EXPECT_EQ(driver_.runs, (std::vector<Args>{{"list"},
                                             {"busynames", "com5"},
                                             {"--silent", "install", "PortName=COM5", "dcd=ropen,dsr=rdtr"},
                                             {"list"}}));  // nothing for the open
  port_.reset();  // ending the program closes our end and keeps the pair for the next start
  EXPECT_FALSE(end_.open);
  end_.name.clear(), driver_.runs.clear(), make();
  port_->crear_port("com5");
  EXPECT_TRUE(port_->port_existeix() && end_.name == "CNCB1" && driver_.runs == std::vector<Args>{{"list"}});
}

// CONFIG lets go of the pair; the set-up takes it again as it is, or moves it with one consent,
// and a refusal leaves it where it was, our end on it.
TEST_F(PairPort, aSetUpTakesItsPairAgainOrMovesItAndARefusalChangesNothing) {
  made();
  port_->eliminar_port();
  EXPECT_TRUE(!end_.open && !timer_->isActive() && port_->port_existeix() && driver_.pairs.size() == 1);
  driver_.runs.clear(), port_->createPort("COM5", tell_);
  EXPECT_TRUE(told_.back() == "ok" && end_.open && driver_.runs.empty());
  driver_.failChange = ProgramRun{false, true, false, 0, ""}, port_->eliminar_port();
  port_->createPort("COM2", tell_);
  EXPECT_FALSE(end_.open);  // the driver moves no port held open
  timer_->tick();
  EXPECT_EQ(told_.back(), std::string(texts::kPairNeedsAdministrator) + " (administrador)");
  EXPECT_TRUE(end_.open && end_.name == "CNCB0" &&
              driver_.pairs == (std::map<int, std::string>{{0, "COM5"}}));
  port_->createPort("COM2", tell_);
  timer_->tick();
  EXPECT_TRUE(told_.back() == "ok" && end_.open &&
              driver_.pairs == (std::map<int, std::string>{{0, "COM2"}}));
  EXPECT_EQ(driver_.runs.end()[-2], (Args{"--silent", "change", "CNCA0", "PortName=COM2"}));
}

TEST_F(PairPort, failuresOfTheControlProgramReachTheOperatorInHerWordsWithWhoseRemedyItIs) {
  const std::string failed(texts::kPairControlFailed),
      admin = " (administrador)", missing = std::string(texts::kPairControlMissing) + admin,
      last = "ERROR: denied" + std::string(100, '!');  // told up to its 100th character
  using Run = std::optional<ProgramRun>;
  // Found; how listing ends, how the consented change ends; what is told.
  // clang-format off
  const std::tuple<bool, Run, Run, std::string> rows[] = {
      {false, {}, {}, missing},
      {true, ProgramRun{false, false, false, 0, ""}, {}, missing},
      {true, ProgramRun{true, false, true, 0, ""}, {}, failed + "no terminó"},
      {true, ProgramRun{true, false, false, 1, "CNCA0 PortName=COM5\r\n" + last + "\r\n\r\n"}, {}, failed + last.substr(0, 100)},
      {true, {}, ProgramRun{false, true, false, 0, ""}, std::string(texts::kPairNeedsAdministrator) + admin},
      {true, {}, ProgramRun{true, false, false, 2, ""}, failed + "código 2"},
      {true, {}, {}, std::string(texts::kPairDriverMissing) + admin}};  // installed, yet no pair
  // clang-format on
  for (const auto& [found, list, change, told] : rows) {
    driver_ = {};
    driver_.found = found, driver_.installMakesNothing = true, driver_.failNext = list,
    driver_.failChange = change;
    make();
    port_->createPort("COM5", tell_);
    timer_->tick();
    EXPECT_EQ(told_.back(), told);
    EXPECT_FALSE(end_.open || timer_->isActive());
  }
  EXPECT_THAT([&] { port_->crear_port("COM5"); }, refusal(texts::kPairMissing));  // start-up
}

TEST_F(PairPort, noPairYetIsForTheSetUpToCreateButOtherDevicesAndBadNamesAreRefused) {
  port_->obrir_port("COM5");
  EXPECT_FALSE(port_->port_existeix() || end_.open);
  driver_.cablePorts = {"COM4"};
  const std::string inUse = "COM4" + std::string(texts::kVirtualPortInUse);
  EXPECT_THAT([&] { port_->obrir_port("COM4"); }, refusal(inUse));
  port_->createPort("COM4", tell_), port_->createPort("COM5,HiddenMode=yes", tell_);
  EXPECT_EQ(told_, (std::vector<std::string>{
                       inUse, std::string(texts::kVirtualPortBadName) + "COM5,HiddenMode=yes"}));
  EXPECT_TRUE(driver_.pairs.empty());
  driver_.pairs[0] = "COM5", end_.opens = false;
  EXPECT_THAT([&] { port_->crear_port("COM5"); },
              refusal(std::string(texts::kVirtualPortNotOpened) + "CNCB0"));
  EXPECT_FALSE(timer_->isActive());
}

// ---- the host's presence and line, tick by tick -------------------------------------------------

TEST_F(PairPort, eachChangeOfTheHostsLinesIsToldOnceAtTheNextTick) {
  made();
  // The host's lines at a tick; senyal_extern at each canvi_senyal of that tick.
  const std::vector<std::pair<PairLines, std::vector<bool>>> steps = {
      {{false, false, false}, {}},            // nobody there
      {{false, false, true}, {true, false}},  // a second start raised and dropped between ticks
      {{false, false, false}, {}},            // told once
      {{true, false, false}, {false}},        // the host opens without DTR
      {{true, true, true}, {true}},           // raises it
      {{true, true, false}, {}},              // nothing new
      {{true, false, true}, {false}},         // drops it
      {{false, false, false}, {false}},       // closes
      {{true, true, true}, {true}},           // opens with DTR raised: one change, told once
      {{false, true, false}, {false}},        // gone: a DTR without the host means nothing
      {{true, false, false}, {false}},        // back, without DTR
  };
  for (std::size_t k = 0; k < steps.size(); ++k) {
    end_.lines = steps[k].first;
    signals_.clear(), timer_->tick();
    EXPECT_EQ(signals_, steps[k].second) << k;
    EXPECT_EQ(port_->port_obert_host(), steps[k].first.hostOpen) << k;
  }
  end_.lost = true;  // the pair removed under us is the host gone
  signals_.clear();
  timer_->tick();
  EXPECT_EQ(signals_, (std::vector<bool>{false}));
  EXPECT_FALSE(port_->port_obert_host() || timer_->isActive());
  EXPECT_THAT([&] { port_->escriure_bytes({0x06}); }, refusal(texts::kVirtualPortMissing));
  end_.lost = false, end_.lines = {}, made();  // made again and removed with no host there: nothing to tell
  end_.lost = true, signals_.clear(), timer_->tick();
  EXPECT_TRUE(signals_.empty() && !timer_->isActive());
}

TEST_F(PairPort, bytesAreSeenAtOnceAnnouncedOnceAtTheTickAndWhatADepartedHostSentIsDropped) {
  EXPECT_THAT([&] { port_->escriure_bytes({1}); }, refusal(texts::kVirtualPortMissing));
  made();
  host(true, true);
  end_.arriving = {'Q'};  // with the host's arrival: announced at the same tick
  timer_->tick();
  EXPECT_TRUE(arrivals_ == 1 && port_->llegir_bytes(5) == Bytes{'Q'});
  end_.arriving = {0x06, 'A'};
  EXPECT_EQ(port_->bytes_pendents(), 2);  // inside the exchange's busy loop, no tick
  EXPECT_EQ(port_->llegir_bytes(1), Bytes{0x06});
  timer_->tick();
  timer_->tick();
  EXPECT_EQ(arrivals_, 2);
  EXPECT_EQ(port_->llegir_bytes(5), Bytes{'A'});
  end_.arriving = {'x'};
  port_->preparar_port();  // an old answer is not the answer to the next request
  EXPECT_EQ(port_->bytes_pendents(), 0);
  end_.arriving = {'z'};
  EXPECT_EQ(port_->bytes_pendents(), 1);  // taken before our side closes: dropped with it
  port_->tancar_port();
  end_.arriving = {'y'};
  EXPECT_EQ(port_->bytes_pendents(), 0);
  EXPECT_TRUE(port_->port_obert_host());  // closing our side still watches the host
  EXPECT_THAT([&] { port_->escriure_bytes({1}); }, refusal(texts::kVirtualPortClosed));
  port_->obrir_port("COM5");
  end_.arriving = {'R', 'E', 'Q'}, host(false, false), timer_->tick();
  EXPECT_TRUE(port_->bytes_pendents() == 0 && end_.purges == 1 && arrivals_ == 2);
  port_->escriure_bytes({0x06});  // nothing is written to nobody
  EXPECT_TRUE(end_.written.empty());
  host(true, false), port_->escriure_bytes({0x06, 0x1c});
  EXPECT_EQ(end_.written, (Bytes{0x06, 0x1c}));
  end_.stalls = true;  // the host stopped reading and the pair's queue is full
  EXPECT_THAT([&] { port_->escriure_bytes({1}); }, refusal(texts::kVirtualPortNotRead));
  port_->canvi_senyal = [this] { port_->eliminar_port(); };  // a handler that lets go ends the tick
  host(true, true), end_.arriving = {'R', 'E', 'Q'}, timer_->tick();
  EXPECT_TRUE(!end_.open && !port_->port_obert_host() && arrivals_ == 2);  // through an end let go: nothing
}

}  // namespace
}  // namespace kovrel
