// Sends on a real line: a shape read from the tracer simulator goes to the host simulator over
// the program's virtual port, and the host decodes it. Also what the operator sees when the
// host is missing or misbehaves, and the port as the host sees it.

#include <cmath>
#include <sstream>

#include "../geometry/outline_traces.h"
#include "app/texts.h"
#include "cli_run.h"
#include "common/tracer_stream.h"
#include "e2e_rig.h"
#include "host/send_command.h"
#include "host/virtual_port_pty_linux.h"
#include "ports/com_registry.h"

namespace kovrel::e2e {
namespace {

namespace tk = toolkit;
using testing::expectHostOutline;

QString arg(const fs::path& path) { return QString::fromStdString(path.string()); }

// The 800 radii (hundredths of mm) that kovrel-cli works out from a recorded read.
std::vector<int> cliRadii(const fs::path& stream) {
  std::istringstream in;
  std::ostringstream out, err;
  EXPECT_EQ(cli::runCli({"oma", stream.string()}, in, out, err), cli::kExitDone) << err.str();
  OmaTrace trace;
  EXPECT_TRUE(readOmaTrace(out.str(), trace, nullptr)) << out.str();
  return trace.radii;
}

// The host's outline is the traced one about its box centre, grown by the tip and the allowance.
void expectHostOutlineIs(const std::vector<int>& radii, const tk::Outline& traced) {
  std::vector<double> mm;
  for (int r : radii) mm.push_back(r / 100.0);
  expectHostOutline(mm, traced, tk::countSizeMm({}));
}

// === A host that plays its part ========================================================================

TEST_F(EndToEnd, hostGetsExactlyWhatTheCommandLineWorksOutFromTheSameRead) {
  startProgram();
  const fs::path stream = file("read.bin"), saved = file("got.oma");
  auto tracer = startTracer({"--fast", "--outline", "rect:26,18", "--job", "77", "--record", arg(stream)});
  auto host = startHost({"--once", "--save", arg(saved)});
  ASSERT_TRUE(readShape(*tracer)) << tracer->output();
  ASSERT_EQ(text(Control::Text1), texts::kReadFinished);

  sendChoosing(Control::Image_fosca_igual);
  ASSERT_TRUE(waitForText(texts::kSentOk)) << text(Control::Text1) << "\n" << host->output();
  ASSERT_TRUE(host->waitFinished());
  EXPECT_EQ(host->exitCode(), 0) << host->output();
  // The request carries the job number, the answer the label's text.
  EXPECT_NE(host->output().find("request: JOB=\"77\""), std::string::npos) << host->output();
  EXPECT_NE(host->output().find("answer: JOB=\"Rev.[77]\""), std::string::npos) << host->output();
  for (Control c : {Control::interpola, Control::llegirBtn, Control::sortirBtn, Control::cfg_btn})
    EXPECT_TRUE(enabled(c)) << objectName(c);
  for (Control c : {Control::parada, Control::mirallHoritzontal, Control::Horari, Control::antiHorari})
    EXPECT_FALSE(enabled(c)) << objectName(c);

  const std::vector<int> received = savedTrace(saved).radii;
  ASSERT_TRUE(tracer->waitForOutput("read 1: sent"));
  EXPECT_EQ(received, cliRadii(stream));
  expectHostOutlineIs(received, tk::superellipse(26, 18, 6));
}

TEST_F(EndToEnd, sendingAgainRepeatsTheShapeAndTheLargerLensAddsATenthToEveryRadius) {
  startProgram();
  auto tracer = startTracer({"--fast", "--outline", "ellipse:28,20"});
  // One exchange with a fresh host that saves what it decoded.
  auto exchange = [&](const std::string& name, const std::function<void()>& send) {
    const fs::path saved = file(name);
    auto host = startHost({"--once", "--save", arg(saved)});
    send();
    EXPECT_TRUE(waitForText(texts::kSentOk)) << text(Control::Text1) << "\n" << host->output();
    EXPECT_TRUE(host->waitFinished());
    EXPECT_EQ(host->exitCode(), 0) << host->output();
    return savedTrace(saved).radii;
  };

  ASSERT_TRUE(readShape(*tracer)) << tracer->output();
  const TraceTable firstRead = state().forma_treball;
  const std::vector<int> same = exchange("same.oma", [&] { sendChoosing(Control::Image_fosca_igual); });
  ASSERT_EQ(same.size(), 800u);
  // The lens type stays chosen for this read: the send button goes straight out.
  const std::vector<int> again = exchange("again.oma", [&] {
    click(Control::interpola);
    EXPECT_FALSE(app().timer(AppTimer::Timer1).isActive()) << "the lens-type panel opened again";
  });
  EXPECT_EQ(again, same);

  // A new read of the same lens asks for the lens type again.
  ASSERT_TRUE(readShape(*tracer)) << tracer->output();
  ASSERT_TRUE(state().forma_treball == firstRead);
  const std::vector<int> larger = exchange("larger.oma", [&] { sendChoosing(Control::Image_fosca_gran); });
  ASSERT_EQ(larger.size(), 800u);
  for (std::size_t i = 0; i < 800; ++i) ASSERT_EQ(larger[i], same[i] + 10) << "radius " << i;
}

TEST_F(EndToEnd, sendWithNoHostTellsTheOperatorAndALateHostGetsTheShape) {
  startProgram();
  auto tracer = startTracer({"--fast"});
  ASSERT_TRUE(readShape(*tracer)) << tracer->output();
  ASSERT_FALSE(app().hostPort().port_obert_host());

  sendChoosing(Control::Image_fosca_igual);
  ASSERT_TRUE(waitForText(texts::kNoHostWaiting)) << text(Control::Text1);
  for (Control c : {Control::sortirBtn, Control::interpola, Control::parada})
    EXPECT_TRUE(enabled(c)) << objectName(c);
  EXPECT_FALSE(enabled(Control::llegirBtn));

  const fs::path saved = file("late.oma");
  auto host = startHost({"--once", "--save", arg(saved)});
  ASSERT_TRUE(waitUntil([&] { return app().hostPort().port_obert_host(); }));
  click(Control::interpola);
  ASSERT_TRUE(waitForText(texts::kSentOk)) << text(Control::Text1) << "\n" << host->output();
  ASSERT_TRUE(host->waitFinished());
  EXPECT_EQ(host->exitCode(), 0) << host->output();
  expectHostOutlineIs(savedTrace(saved).radii, tk::circle(25));
}

TEST_F(EndToEnd, automaticModeHidesTheWindowAfterASendAndTheHostBringsItBack) {
  startProgram();
  click(Control::autochk);
  ASSERT_TRUE(app().window().isChecked(Control::autochk));
  auto tracer = startTracer({"--fast"});
  auto host = startHost({"--once"});
  ASSERT_TRUE(readShape(*tracer)) << tracer->output();
  sendChoosing(Control::Image_fosca_igual);
  ASSERT_TRUE(waitForText(texts::kSentOk)) << text(Control::Text1) << "\n" << host->output();
  EXPECT_FALSE(app().window().isVisible(Control::Form1));
  ASSERT_TRUE(host->waitFinished());

  // The host opening its port for the next job raises the line: the window is back.
  auto next = startHost({});
  EXPECT_TRUE(waitUntil([&] { return app().window().isVisible(Control::Form1); }));
}

// === A host that misbehaves =============================================================================

class HostMisbehaving : public EndToEnd {
 protected:
  void TearDown() override {
    tracer_.reset();  // gone before its COM folder is
    EndToEnd::TearDown();
  }
  // The program with a read shape, ready for the send button.
  void readFirst(ProgramOptions options = {}) {
    startProgram(options);
    tracer_ = startTracer({"--fast"});
    ASSERT_TRUE(readShape(*tracer_)) << tracer_->output();
    ASSERT_EQ(text(Control::Text1), texts::kReadFinished);
  }
  // A host that misbehaves so, once, waiting a second for an answer that must not come.
  std::unique_ptr<SimProcess> host(const char* misbehaviour) {
    return startHost({"--once", "--timeout", "1", "--misbehave", misbehaviour});
  }

  std::unique_ptr<SimProcess> tracer_;
};

TEST_F(HostMisbehaving, refusedRequestEndsTheSendAsATimeOutWithoutAnAnswer) {
  readFirst();
  auto nak = host("nak");
  sendChoosing(Control::Image_fosca_igual);
  ASSERT_TRUE(waitForText(texts::kOmaTimeout)) << text(Control::Text1) << "\n" << nak->output();
  EXPECT_TRUE(enabled(Control::parada));
  EXPECT_FALSE(enabled(Control::interpola));
  EXPECT_FALSE(enabled(Control::llegirBtn));
  EXPECT_EQ(state().ja_Enviat, 0);
  ASSERT_TRUE(nak->waitFinished());
  EXPECT_EQ(nak->exitCode(), 0) << nak->output();
}

TEST_F(HostMisbehaving, hostMessageLongerThanTheProgramKeepsIsAnOutputPortError) {
  readFirst();
  auto many = host("many-records");
  sendChoosing(Control::Image_fosca_igual);
  ASSERT_TRUE(waitForText(texts::kOutputPortMissing)) << text(Control::Text1) << "\n" << many->output();
  EXPECT_TRUE(enabled(Control::sortirBtn));
  EXPECT_EQ(state().ja_Enviat, 0);
  ASSERT_TRUE(many->waitFinished());
  EXPECT_EQ(many->exitCode(), 0) << many->output();
}

TEST_F(HostMisbehaving, silentOrUnfinishedHostTimesOutOnTheProgramsClock) {
  struct Case {
    const char* misbehaviour;
    SendCommand::Phase waiting;
    int limitSeconds;
  };
  const Case cases[] = {
      {"silence", SendCommand::Phase::WaitingAck, SendCommand::kAckWaitSeconds},
      {"no-gs", SendCommand::Phase::ReadingMessage, SendCommand::kMessageWaitSeconds},
  };
  readFirst({.fakeClock = true});
  bool firstSend = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.misbehaviour);
    auto misbehaving = host(c.misbehaviour);
    if (!firstSend) {
      click(Control::parada);  // the operator gives the read button back, reads again
      ASSERT_TRUE(readShape(*tracer_)) << tracer_->output();
    }
    firstSend = false;
    sendChoosing(Control::Image_fosca_igual);
    ASSERT_TRUE(waitUntil([&] { return app().sendCommand().phase() == c.waiting; }));

    // The whole limit passes and the program still waits; one second more and it gives up.
    clock_->advance(c.limitSeconds);
    const int ticks = pollTicks_;
    waitUntil([&] { return pollTicks_ >= ticks + 3 || !app().sendCommand().busy(); });
    ASSERT_EQ(app().sendCommand().phase(), c.waiting) << "gave up at the limit: " << text(Control::Text1);
    clock_->advance(1);
    ASSERT_TRUE(waitForText(texts::kOmaTimeout)) << text(Control::Text1) << "\n" << misbehaving->output();
    EXPECT_TRUE(enabled(Control::parada));
    EXPECT_EQ(state().ja_Enviat, 0);
  }
}

// === The virtual port as the host sees it ===============================================================

TEST_F(EndToEnd, hostOpeningAndClosingThePortIsSeenByTheProgram) {
  startProgram();
  ComRegistry registry(systemComFolders());
  const fs::path link = registry.linkPath(kHostCom);
  auto* pty = dynamic_cast<PtyVirtualPort*>(&app().hostPort());
  ASSERT_NE(pty, nullptr);
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), fs::path(pty->devicePath()));
  EXPECT_EQ(text(Control::port_oma_info_lbl), " COM 5");
  EXPECT_FALSE(app().hostPort().port_obert_host());

  auto host = startHost({});
  ASSERT_TRUE(waitUntil([&] { return app().hostPort().port_obert_host(); }));
  // The operator may not leave while the host holds the port.
  click(Control::sortirBtn);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].first, texts::kExitWhileHostHolds);
  EXPECT_EQ(quits_, 0);

  host->stop();
  ASSERT_TRUE(waitUntil([&] { return !app().hostPort().port_obert_host(); }));
  click(Control::sortirBtn);
  EXPECT_EQ(quits_, 1);
  app_.reset();
  EXPECT_FALSE(fs::is_symlink(link)) << "the COM name outlived the program";
}

}  // namespace
}  // namespace kovrel::e2e
