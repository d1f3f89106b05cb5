// A lab's frame end to end on real lines: the tracer simulator streams the outline over a
// pseudo-terminal, the program reads it by its COM name, a send with no host tells the operator,
// and a host that comes late receives exactly what kovrel-cli works out from the same bytes.

#include <sstream>

#include "../geometry/outline_traces.h"
#include "app/texts.h"
#include "cli_run.h"
#include "common/tracer_stream.h"
#include "e2e_rig.h"

namespace kovrel::e2e {
namespace {

namespace tk = toolkit;

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

TEST_F(EndToEnd, realFrameIsReadSentToALateHostAndReadAgainAtTheMachinesPace) {
  const fs::path frame = fs::path(KOVREL_TEST_DATA) / "oma" / "R360_1.oma";
  ASSERT_TRUE(fs::exists(frame)) << frame;
  const tk::Outline outline = outlineFromTrace(savedTrace(frame));
  const QString outlineArg = arg("oma:" + frame.string());
  startProgram();
  const fs::path stream = file("read.bin"), saved = file("got.oma");
  auto tracer = startTracer({"--fast", "--outline", outlineArg, "--job", "77", "--record", arg(stream)});
  ASSERT_TRUE(readShape(*tracer)) << tracer->output();
  ASSERT_EQ(text(Control::Text1), texts::kReadFinished);
  EXPECT_EQ(text(Control::contadorLectures), "Rev.[77]");
  for (int n = 1; n <= 4095; ++n)  // as finely as one count of the arm allows
    ASSERT_NEAR(state().forma_treball.radius(n), outline(state().forma_treball.angle(n)), tk::countSizeMm({}))
        << "point " << n;
  const TraceTable fastRead = state().forma_treball;

  sendChoosing(Control::Image_fosca_igual);
  ASSERT_TRUE(waitForText(texts::kNoHostWaiting)) << text(Control::Text1);
  EXPECT_FALSE(enabled(Control::llegirBtn));
  auto host = startHost({"--once", "--save", arg(saved)});
  ASSERT_TRUE(waitUntil([&] { return app().hostPort().port_obert_host(); }));
  click(Control::interpola);
  ASSERT_TRUE(waitForText(texts::kSentOk)) << text(Control::Text1) << "\n" << host->output();
  ASSERT_TRUE(host->waitFinished());
  EXPECT_EQ(host->exitCode(), 0) << host->output();
  // The request carries the job number, the answer the label's text.
  EXPECT_NE(host->output().find("request: JOB=\"77\""), std::string::npos) << host->output();
  EXPECT_NE(host->output().find("answer: JOB=\"Rev.[77]\""), std::string::npos) << host->output();
  const std::vector<int> received = savedTrace(saved).radii;
  ASSERT_TRUE(tracer->waitForOutput("read 1: sent"));
  EXPECT_EQ(received, cliRadii(stream));
  std::vector<double> mm;
  for (int r : received) mm.push_back(r / 100.0);
  testing::expectHostOutline(mm, outline, tk::countSizeMm({}));
  tracer->stop();

  // The machine's own pace: the shape grows on screen while the turntable turns, to the same read.
  auto paced = startTracer({"--outline", outlineArg});
  click(Control::llegirBtn);
  ASSERT_EQ(state().esticCapturant, 1);
  paced->writeLine("start");
  bool sawHalfway = false;
  ASSERT_TRUE(waitUntil([&] {
    const int progress = app().window().value(Control::ProgressBar1);
    sawHalfway = sawHalfway || (progress > 1000 && progress < 3000);
    return state().esticCapturant == 0;
  })) << paced->output();
  EXPECT_TRUE(sawHalfway) << "the paced read arrived all at once";
  ASSERT_EQ(text(Control::Text1), texts::kReadFinished);
  EXPECT_TRUE(state().forma_treball == fastRead);
}

}  // namespace
}  // namespace kovrel::e2e
