// The host's port on a null-modem pair: the control program's listing and failures, and the
// adapter's logic over a fake driver (answering as the control program does) and a fake end
// that plays the host's lines and bytes.
#include "host/virtual_port_pair.h"

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

// ---- the control program ------------------------------------------------------------------------

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

// A driver answering as its control program does.
struct FakeDriver {
  bool found = true;
  std::map<int, std::string> pairs;  // index -> host end's name
  std::set<std::string> cablePorts;
  bool installMakesNothing = false;  // the program is there, the driver is not
  std::optional<ProgramRun> failNext;
  std::vector<Args> runs;
  std::function<void()> onRemove;

  ProgramRun run(const Args& args) {
    runs.push_back(args);
    if (failNext) return *std::exchange(failNext, std::nullopt);
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
    } else if (args[1] == "remove") {
      if (onRemove) onRemove();
      pairs.erase(std::stoi(args[2]));
    }
    return r;
  }
  std::unique_ptr<PairControl> control() {
    return std::make_unique<CommandPairControl>(found, [this](const Args& a) { return run(a); });
  }
};

TEST(PairControl, failuresOfTheControlProgramReachTheOperatorInHerWords) {
  const std::string failed(texts::kPairControlFailed);
  const std::vector<std::tuple<bool, std::optional<ProgramRun>, std::string>> rows = {
      {false, ProgramRun{}, std::string(texts::kPairControlMissing)},
      {true, ProgramRun{false, false, false, 0, ""}, std::string(texts::kPairControlMissing)},
      {true, ProgramRun{false, true, false, 0, ""}, std::string(texts::kPairNeedsAdministrator)},
      {true, ProgramRun{true, false, true, 0, ""}, failed + "no terminó"},
      {true, ProgramRun{true, false, false, 1, "  CNCA0 PortName=COM5\r\nERROR: access denied\r\n\r\n"},
       failed + "ERROR: access denied"},
      {true, ProgramRun{true, false, false, 2, ""}, failed + "código 2"},
      {true, std::nullopt, std::string(texts::kPairDriverMissing)},  // installed, yet no pair
  };
  for (const auto& [found, run, message] : rows) {
    FakeDriver driver;
    driver.found = found;
    driver.installMakesNothing = true;
    driver.failNext = run;
    try {
      driver.control()->create("COM5");
      ADD_FAILURE() << message;
    } catch (const PairControlError& e) {
      EXPECT_EQ(e.what(), message);
    }
  }
}

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
  // The host's side of the pair, as our end would see it at the next look.
  void host(bool open, bool dtr) { end_.lines = {open, dtr, end_.lines.hostDtr != dtr}; }
  std::string failure(const std::function<void()>& f) {
    try {
      f();
    } catch (const VirtualPortError& e) {
      return e.what();
    }
    return "no error";
  }

  FakeDriver driver_;
  EndState end_;
  testing::FakeTimer* timer_ = nullptr;
  std::unique_ptr<PairVirtualPort> port_;
  std::vector<bool> signals_;  // senyal_extern at each canvi_senyal
  int arrivals_ = 0;
};

TEST_F(PairPort, creatingMakesThePairOnceAndALaterStartFindsItWithoutAdministratorRights) {
  driver_.pairs[0] = "COM3";  // someone else's pair keeps its index
  port_->crear_port("com5");
  EXPECT_EQ(driver_.pairs.at(1), "COM5");
  EXPECT_EQ(end_.name, "CNCB1");
  port_->obrir_port("COM5");  // the ports window's order: harmless again
  EXPECT_TRUE(port_->port_existeix());
  EXPECT_EQ(driver_.runs, (std::vector<Args>{{"list"},
                                             {"busynames", "com5"},
                                             {"--silent", "install", "PortName=COM5", "dcd=ropen,dsr=rdtr"},
                                             {"list"}}));  // nothing for the open
  port_.reset();  // ending the program closes our end and keeps the pair for the next start
  EXPECT_FALSE(end_.open);
  end_.name.clear();
  driver_.runs.clear();
  make();
  port_->obrir_port("com5");
  EXPECT_TRUE(port_->port_existeix());
  EXPECT_EQ(end_.name, "CNCB1");
  EXPECT_EQ(driver_.runs, (std::vector<Args>{{"list"}}));
}

TEST_F(PairPort, noPairYetIsForStartUpToCreateButOtherDevicesAndBadNamesAreRefused) {
  port_->obrir_port("COM5");
  EXPECT_FALSE(port_->port_existeix());
  EXPECT_FALSE(end_.open);
  driver_.cablePorts = {"COM4"};
  const std::string inUse = "COM4" + std::string(texts::kVirtualPortInUse);
  EXPECT_EQ(failure([&] { port_->obrir_port("COM4"); }), inUse);
  EXPECT_EQ(failure([&] { port_->crear_port("COM4"); }), inUse);
  EXPECT_EQ(failure([&] { port_->crear_port("COM5,HiddenMode=yes"); }),
            std::string(texts::kVirtualPortBadName) + "COM5,HiddenMode=yes");
  EXPECT_TRUE(driver_.pairs.empty());
  driver_.found = false;  // without the control program every way in says what to install
  make();
  EXPECT_EQ(failure([&] { port_->obrir_port("COM5"); }), std::string(texts::kPairControlMissing));
  EXPECT_EQ(failure([&] { port_->crear_port("COM5"); }), std::string(texts::kPairControlMissing));
}

TEST_F(PairPort, removingClosesOurEndFirstAndAFailedRemovalOrOpenLeavesThePairRemovable) {
  port_->crear_port("COM5");
  bool openAtRemoval = true;
  driver_.onRemove = [&] { openAtRemoval = end_.open; };
  driver_.failNext = ProgramRun{false, true, false, 0, ""};
  EXPECT_EQ(failure([&] { port_->eliminar_port(); }), std::string(texts::kPairNeedsAdministrator));
  EXPECT_FALSE(end_.open);
  port_->eliminar_port();
  EXPECT_FALSE(openAtRemoval);
  EXPECT_TRUE(driver_.pairs.empty());
  EXPECT_FALSE(timer_->isActive());
  end_.opens = false;
  EXPECT_EQ(failure([&] { port_->crear_port("COM5"); }), std::string(texts::kVirtualPortNotOpened) + "CNCB0");
  EXPECT_FALSE(timer_->isActive());
  port_->eliminar_port();
  EXPECT_TRUE(driver_.pairs.empty());
  port_->eliminar_port();  // nothing left: nothing to do
  EXPECT_EQ(driver_.runs.back(), (Args{"--silent", "remove", "0"}));
}

// ---- the host's presence and line, tick by tick -------------------------------------------------

TEST_F(PairPort, eachChangeOfTheHostsLinesIsToldOnceAtTheNextTick) {
  port_->crear_port("COM5");
  struct Step {
    PairLines lines;
    std::vector<bool> told;  // senyal_extern at each canvi_senyal of this tick
  };
  const std::vector<Step> steps = {
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
      {{true, true, true}, {true}},           // back
  };
  for (std::size_t k = 0; k < steps.size(); ++k) {
    end_.lines = steps[k].lines;
    signals_.clear();
    timer_->tick();
    EXPECT_EQ(signals_, steps[k].told) << k;
    EXPECT_EQ(port_->port_obert_host(), steps[k].lines.hostOpen) << k;
  }
  end_.lost = true;  // the pair removed under us is the host gone
  signals_.clear();
  timer_->tick();
  EXPECT_EQ(signals_, (std::vector<bool>{false}));
  EXPECT_FALSE(port_->port_obert_host());
  EXPECT_FALSE(timer_->isActive());
  EXPECT_EQ(failure([&] { port_->escriure_bytes({0x06}); }), std::string(texts::kVirtualPortMissing));
}

TEST_F(PairPort, aHandlerThatRemovesThePortEndsTheTick) {
  port_->crear_port("COM5");
  port_->canvi_senyal = [this] { port_->eliminar_port(); };
  host(true, true);
  end_.arriving = {'R', 'E', 'Q'};
  timer_->tick();
  EXPECT_TRUE(driver_.pairs.empty());
  EXPECT_EQ(arrivals_, 0);
}

// ---- bytes --------------------------------------------------------------------------------------

TEST_F(PairPort, bytesAreSeenAtOnceByTheExchangeAndAnnouncedOnceAtTheTick) {
  port_->crear_port("COM5");
  host(true, true);
  timer_->tick();
  end_.arriving = {0x06, 'A'};
  EXPECT_EQ(port_->bytes_pendents(), 2);  // inside the exchange's busy loop, no tick
  EXPECT_EQ(port_->llegir_bytes(1), Bytes{0x06});
  timer_->tick();
  timer_->tick();
  EXPECT_EQ(arrivals_, 1);
  EXPECT_EQ(port_->llegir_bytes(5), Bytes{'A'});
  end_.arriving = {'x'};
  port_->preparar_port();  // an old answer is not the answer to the next request
  EXPECT_EQ(port_->bytes_pendents(), 0);
  port_->tancar_port();
  end_.arriving = {'y'};
  EXPECT_EQ(port_->bytes_pendents(), 0);
  EXPECT_TRUE(port_->port_obert_host());  // closing our side still watches the host
  EXPECT_EQ(failure([&] { port_->escriure_bytes({1}); }), std::string(texts::kVirtualPortClosed));
}

TEST_F(PairPort, whatADepartedHostSentIsDroppedAndNothingIsWrittenToNobody) {
  EXPECT_EQ(failure([&] { port_->escriure_bytes({1}); }), std::string(texts::kVirtualPortMissing));
  port_->crear_port("COM5");
  host(true, true);
  timer_->tick();
  end_.arriving = {'R', 'E', 'Q'};
  host(false, false);
  timer_->tick();
  EXPECT_EQ(port_->bytes_pendents(), 0);
  EXPECT_EQ(end_.purges, 1);
  EXPECT_EQ(arrivals_, 0);
  port_->escriure_bytes({0x06});
  EXPECT_TRUE(end_.written.empty());
  host(true, false);
  port_->escriure_bytes({0x06, 0x1c});
  EXPECT_EQ(end_.written, (Bytes{0x06, 0x1c}));
  end_.stalls = true;  // the host stopped reading and the pair's queue is full
  EXPECT_EQ(failure([&] { port_->escriure_bytes({1}); }), std::string(texts::kVirtualPortNotRead));
}

}  // namespace
}  // namespace kovrel
