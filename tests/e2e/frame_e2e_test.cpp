// A lab's frame end to end on real lines: the tracer streams a real outline, the program reads it
// by its COM name, a send with no host tells the operator, and a host that comes late receives
// exactly what kovrel-cli works out from the same bytes.

#include <sstream>

#include "../geometry/outline_traces.h"
#include "app/texts.h"
#include "cli_run.h"
#include "common/oma_file.h"
#include "common/tracer_stream.h"
#include "e2e_rig.h"
#include "host/send_command.h"

namespace kovrel::e2e {
namespace {

namespace tk = toolkit;

OmaTrace omaFile(const std::string& text) {
  OmaTrace trace;
  EXPECT_TRUE(readOmaTrace(text, trace, nullptr)) << text;
  return trace;
}

TEST_F(EndToEnd, realFrameIsReadAndSentToALateHost) {
  const fs::path frame = fs::path(KOVREL_TEST_DATA) / "oma" / "R360_1.oma";
  const tk::Outline outline = outlineFromTrace(omaFile(testing::fileBytes(frame)));
  const QString outlineArg = QString::fromStdString("oma:" + frame.string());
  auto fast = tracer({"--fast", "--outline", outlineArg, "--job", "77", "--record", path("read.bin")});
  ASSERT_TRUE(readShape(*fast)) << fast->output();
  ASSERT_EQ(text(), texts::kReadFinished);
  EXPECT_EQ(app_->window().text(Control::contadorLectures), "Rev.[77]");
  for (int n = 1; n <= 4095; ++n)  // as finely as one count of the arm allows
    ASSERT_NEAR(state().forma_treball.radius(n), outline(state().forma_treball.angle(n)), tk::countSizeMm({}))
        << "point " << n;

  // The send button opens the lens-type panel; once it has slid up, "same size" sends.
  click(Control::interpola);
  ASSERT_TRUE(waitUntil([&] {
    return app_->window().isVisible(Control::Picture3) && !app_->timer(AppTimer::Timer1).isActive();
  }));
  click(Control::Image_fosca_igual);
  ASSERT_TRUE(waitForText(texts::kNoHostWaiting)) << text();
  EXPECT_FALSE(app_->window().isEnabled(Control::llegirBtn));
  auto lab = host({"--once", "--save", path("got.oma")});
  ASSERT_TRUE(waitUntil([&] { return app_->hostPort().port_obert_host(); }));
  click(Control::interpola);
  ASSERT_TRUE(waitForText(texts::kSentOk)) << text() << "\n" << lab->output();
  ASSERT_TRUE(waitUntil([&] { return !lab->running(); }));
  EXPECT_EQ(lab->exitCode(), 0) << lab->output();
  // The request carries the job number, the answer the label's text.
  EXPECT_NE(lab->output().find("request: JOB=\"77\""), std::string::npos) << lab->output();
  EXPECT_NE(lab->output().find("answer: JOB=\"Rev.[77]\""), std::string::npos) << lab->output();
  const std::vector<int> received = omaFile(testing::fileBytes(root_ / "got.oma")).radii;
  ASSERT_TRUE(fast->waitFor("read 1: sent"));
  std::istringstream noInput;
  std::ostringstream cliOut, cliErr;
  ASSERT_EQ(cli::runCli({"oma", (root_ / "read.bin").string()}, noInput, cliOut, cliErr), cli::kExitDone);
  EXPECT_EQ(received, omaFile(cliOut.str()).radii);
  std::vector<double> mm;
  for (int r : received) mm.push_back(r / 100.0);
  testing::expectHostOutline(mm, outline, tk::countSizeMm({}));
}

}  // namespace
}  // namespace kovrel::e2e
