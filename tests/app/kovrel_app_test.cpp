// The program put together: the real handlers behind the real window, with the tracer, the
// host, the clock and the timers played by fakes and the settings file in a scratch folder.

#include "app/kovrel_app.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/texts.h"
#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "gui_test_support.h"
#include "host/oma_framing.h"
#include "host/send_command.h"
#include "scanner/plot_widget.h"
#include "settings/settings_file.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::FakeClock;
using testing::FakeSerialPort;
using testing::FakeTimer;
using testing::FakeVirtualPort;
using testing::guiApplication;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

class KovrelAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guiApplication();
    folder = fs::temp_directory_path() /
             ("kovrel-app-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    settingsPath = folder / kSettingsFileName;
  }
  void TearDown() override {
    app.reset();
    fs::remove_all(folder);
  }

  void installSettings() { writeFile(settingsPath, SettingsFile::defaultFileContent(folder)); }

  // Builds the program; `adjust` may set options before it is put together.
  KovrelApp& make(const std::function<void(KovrelApp::Options&)>& adjust = {}) {
    KovrelApp::Options options;
    options.programFolder = folder;
    auto tracerPort = std::make_unique<FakeSerialPort>();
    auto hostPort = std::make_unique<FakeVirtualPort>();
    auto clockOwned = std::make_unique<FakeClock>();
    tracer = tracerPort.get();
    host = hostPort.get();
    clock = clockOwned.get();
    options.tracerPort = std::move(tracerPort);
    options.hostPort = std::move(hostPort);
    options.clock = std::move(clockOwned);
    options.makeTimer = [this](AppTimer which) {
      auto t = std::make_unique<FakeTimer>();
      timers[which] = t.get();
      return t;
    };
    options.quit = [this] { ++quits; };
    if (adjust) adjust(options);
    app = std::make_unique<KovrelApp>(std::move(options));
    app->window().showMessage = [this](std::string_view text, std::string_view title) {
      messages.emplace_back(std::string(text), std::string(title));
    };
    return *app;
  }
  KovrelApp& startShown(const std::function<void(KovrelApp::Options&)>& adjust = {}) {
    make(adjust);
    EXPECT_TRUE(app->start());
    app->window().show();
    QApplication::processEvents();
    return *app;
  }

  MainWindow& win() { return app->window(); }
  QWidget* w(Control c) { return win().control(c); }
  void click(Control c) { QTest::mouseClick(w(c), Qt::LeftButton); }
  void typeCode(const char* code) {
    QTest::mouseDClick(w(Control::Text1), Qt::LeftButton);
    QTest::keyClicks(w(Control::Text1), code);
  }

  fs::path folder;
  fs::path settingsPath;
  std::unique_ptr<KovrelApp> app;
  FakeSerialPort* tracer = nullptr;
  FakeVirtualPort* host = nullptr;
  FakeClock* clock = nullptr;
  std::map<AppTimer, FakeTimer*> timers;
  int quits = 0;
  std::vector<std::pair<std::string, std::string>> messages;
};

// === Start-up =========================================================================================

TEST_F(KovrelAppTest, startUpOffersTheHostItsPortAndLeavesReadAndExitOn) {
  installSettings();
  startShown();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(win().text(Control::port_oma_info_lbl), " COM 5");
  EXPECT_TRUE(host->opened);
  EXPECT_TRUE(host->exists);
  EXPECT_EQ(host->name, "COM5");
  EXPECT_TRUE(win().isEnabled(Control::llegirBtn));
  EXPECT_TRUE(win().isEnabled(Control::sortirBtn));
  EXPECT_FALSE(win().isEnabled(Control::interpola));
  EXPECT_FALSE(win().isEnabled(Control::parada));
  EXPECT_FALSE(win().isVisible(Control::Frame1));
  // The empty axes are on the plot: its centre is black.
  const PlotWidget& plot = win().plot();
  const QImage& image = plot.image();
  EXPECT_EQ(image.pixel(plot.scale().pixelColumn(40), plot.scale().pixelRow(40)) & 0xFFFFFF, 0u);
  EXPECT_EQ(intervalMs(AppTimer::Timer1), 20);
  EXPECT_EQ(intervalMs(AppTimer::Timer_horari), 20);
  EXPECT_EQ(intervalMs(AppTimer::Poll), 50);
}

TEST_F(KovrelAppTest, aMissingSettingsFileIsReplacedAndTheOperatorIsTold) {
  startShown();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, texts::kSettingsMissing);
  EXPECT_EQ(messages[0].second, texts::kTitleAttention);
  EXPECT_TRUE(fs::exists(settingsPath));
  EXPECT_TRUE(win().isEnabled(Control::llegirBtn));
}

TEST_F(KovrelAppTest, aFirstInstallationAsksForPortSetUpAndLocksTheRead) {
  std::string content = SettingsFile::defaultFileContent(folder);
  const auto at = content.find("[INST]=10");
  ASSERT_NE(at, std::string::npos);
  content.replace(at, 9, "[INST]=1");
  writeFile(settingsPath, content);
  int requests = 0;
  startShown([&](KovrelApp::Options& o) { o.cfg_btn_Click = [&] { ++requests; }; });
  EXPECT_EQ(requests, 1);
  EXPECT_FALSE(win().isEnabled(Control::llegirBtn));
  EXPECT_FALSE(host->exists);  // no port for the host until the set-up is done
}

TEST_F(KovrelAppTest, aRunningCopyTakesOverAndThisOneStops) {
  installSettings();
  make([](KovrelApp::Options& o) { o.activatePrevInstance = [] { return true; }; });
  EXPECT_FALSE(app->start());
  EXPECT_FALSE(host->opened);
}

// === Buttons and codes reach their handlers =============================================================

TEST_F(KovrelAppTest, theConfigButtonCallsThePortSetUpRequest) {
  installSettings();
  int requests = 0;
  startShown([&](KovrelApp::Options& o) { o.cfg_btn_Click = [&] { ++requests; }; });
  click(Control::cfg_btn);
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(messages.empty());
}

TEST_F(KovrelAppTest, withoutPortSetUpTheConfigButtonSaysSo) {
  installSettings();
  startShown();
  click(Control::cfg_btn);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "Configuración de puertos pendiente");
  EXPECT_EQ(messages[0].second, texts::kTitleConfiguration);
}

TEST_F(KovrelAppTest, theServiceCodeTogglesThePanelAndTheWindowHeight) {
  installSettings();
  startShown();
  const int closedPixels = win().height();
  typeCode("R3M58T21");
  EXPECT_TRUE(win().passwordMode(Control::Text1));
  EXPECT_EQ(static_cast<QLineEdit*>(w(Control::Text1))->displayText(), "********");
  click(Control::llegirBtn);
  EXPECT_EQ(win().heightTwips(Control::Form1), kFormHeightOpen);
  EXPECT_GT(win().height(), closedPixels);
  for (Control c : kServicePanel) {
    EXPECT_TRUE(win().isVisible(c)) << objectName(c);
    EXPECT_TRUE(win().isEnabled(c)) << objectName(c);
  }
  EXPECT_EQ(win().text(Control::Text1), "");
  EXPECT_FALSE(win().passwordMode(Control::Text1));
  EXPECT_FALSE(tracer->isOpen());  // a code is not a read

  typeCode("R3M58T21");
  click(Control::llegirBtn);
  EXPECT_EQ(win().heightTwips(Control::Form1), kFormHeightClosed);
  EXPECT_EQ(win().height(), closedPixels);
  for (Control c : kServicePanel) EXPECT_FALSE(win().isVisible(c)) << objectName(c);
}

TEST_F(KovrelAppTest, theConfigurationCodeAndTheServiceButtonOpenTheConfiguration) {
  installSettings();
  int shown = 0;
  startShown([&](KovrelApp::Options& o) { o.showConfiguration = [&] { ++shown; }; });
  typeCode("nwx");
  click(Control::llegirBtn);
  EXPECT_EQ(shown, 1);
  typeCode("R3M58T21");
  click(Control::llegirBtn);
  click(Control::openCfgBtn);
  EXPECT_EQ(shown, 2);
}

TEST_F(KovrelAppTest, theGeneralOffsetCodeOpensItsPanelStraightAway) {
  installSettings();
  startShown();
  typeCode("vexil");
  click(Control::llegirBtn);
  EXPECT_TRUE(win().isVisible(Control::offsetTxt));
  EXPECT_TRUE(win().isVisible(Control::sortir_offset));
  EXPECT_TRUE(win().isVisible(Control::Picture1));  // no administrator notice on this system
  click(Control::mes_offset);
  // Written the operator's way: "0,01" in a Spanish locale.
  EXPECT_EQ(win().text(Control::offsetTxt), std::string("0") + win().decimalSeparator() + "01");
  click(Control::sortir_offset);
  EXPECT_FALSE(win().isVisible(Control::offsetTxt));
  EXPECT_EQ(app->state().obre_offset, "no");
}

TEST_F(KovrelAppTest, aReadListensToTheTracerPort) {
  installSettings();
  startShown();
  click(Control::llegirBtn);
  EXPECT_TRUE(tracer->isOpen());
  EXPECT_EQ(tracer->openedCom, 3);
  EXPECT_EQ(win().text(Control::Text1), "Pulsar START...");
  EXPECT_TRUE(win().isEnabled(Control::parada));
  EXPECT_FALSE(win().isEnabled(Control::llegirBtn));
  // START pressed on the machine before the read: the first byte is not the header's "*".
  tracer->feed("#A");
  EXPECT_EQ(win().text(Control::Text1), "Error: Pulsar primero Leer forma en el PC");
  EXPECT_TRUE(win().isEnabled(Control::llegirBtn));
  EXPECT_FALSE(tracer->isOpen());
}

TEST_F(KovrelAppTest, theStopButtonEndsARead) {
  installSettings();
  startShown();
  click(Control::llegirBtn);
  click(Control::parada);
  EXPECT_EQ(win().text(Control::Text1), " Operación de lectura Abortada...");
  EXPECT_FALSE(tracer->isOpen());
}

TEST_F(KovrelAppTest, theEditButtonsTurnAndMirrorTheShape) {
  installSettings();
  startShown();
  win().setEnabled(Control::mirallHoritzontal, true);
  click(Control::mirallHoritzontal);
  EXPECT_EQ(app->state().signe_x, -1);

  win().setEnabled(Control::Horari, true);
  QTest::mousePress(w(Control::Horari), Qt::LeftButton);
  FakeTimer& repeat = *timers.at(AppTimer::Timer_horari);
  EXPECT_TRUE(repeat.isActive());
  repeat.tick();
  EXPECT_NE(app->state().gir_acumulat, 0.0);
  QTest::mouseRelease(w(Control::Horari), Qt::LeftButton);
  EXPECT_FALSE(repeat.isActive());  // held no longer: the turn stops
}

// === Sending ==========================================================================================

TEST_F(KovrelAppTest, aLensTypeChosenOnThePanelSendsTheShape) {
  installSettings();
  startShown();
  host->hostHolds = true;
  app->state().ja_Enviat = 1;  // prepared already: the exchange alone is under test here
  win().setEnabled(Control::interpola, true);
  click(Control::interpola);
  EXPECT_TRUE(win().isVisible(Control::Picture3));
  FakeTimer& opening = *timers.at(AppTimer::Timer1);
  for (int i = 0; i < 100 && opening.isActive(); ++i) opening.tick();
  EXPECT_EQ(win().heightTwips(Control::Picture3), 1215);

  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(w(Control::Image_clara_igual), &enter);
  const QObjectList& stack = w(Control::Picture3)->children();
  EXPECT_GT(stack.indexOf(w(Control::Image_fosca_igual)), stack.indexOf(w(Control::Image_clara_igual)));
  click(Control::Image_fosca_igual);
  EXPECT_EQ(app->state().tipoMontura, 1);
  EXPECT_EQ(app->state().normalOaire, 0.0);
  EXPECT_TRUE(timers.at(AppTimer::Timer2)->isActive());  // the panel folds away
  EXPECT_TRUE(app->sendCommand().busy());
  EXPECT_EQ(host->written.front(), oma::FS);
}

TEST_F(KovrelAppTest, theOperatorWaitsWhileTheShapeGoesToTheHost) {
  installSettings();
  startShown();
  host->hostHolds = true;
  app->state().tipoMontura = 1;
  app->state().ja_Enviat = 1;
  win().setEnabled(Control::interpola, true);
  click(Control::interpola);
  ASSERT_TRUE(app->sendCommand().busy());
  EXPECT_TRUE(timers.at(AppTimer::Poll)->isActive());

  click(Control::llegirBtn);
  click(Control::sortirBtn);
  EXPECT_FALSE(tracer->isOpen());  // no read started
  EXPECT_EQ(quits, 0);
  EXPECT_EQ(win().text(Control::Text1), " Enviando forma OMA...");

  host->hostSends(std::vector<std::uint8_t>{oma::ACK, 'A', oma::GS});
  EXPECT_FALSE(app->sendCommand().busy());
  EXPECT_EQ(win().text(Control::Text1), "Envio >OK< ");
  click(Control::llegirBtn);
  EXPECT_TRUE(tracer->isOpen());
}

TEST_F(KovrelAppTest, theFirstSendOfAFreshWindowTakesItsManualOffset) {
  installSettings();
  startShown();
  // A read 25 mm lens, every point of the turn.
  for (int i = 1; i <= 4095; ++i) {
    app->state().forma_treball.angle(i) = (i - 1) * 6.28318530718 / 4095;
    app->state().forma_treball.radius(i) = 25.0;
  }
  host->hostHolds = true;
  app->state().tipoMontura = 1;
  win().setEnabled(Control::interpola, true);
  click(Control::interpola);
  // The box's starting zero is written with the separator the send reads it with.
  EXPECT_NE(win().text(Control::Text1), texts::kManualOffsetInvalid);
  EXPECT_TRUE(app->sendCommand().busy());
}

TEST_F(KovrelAppTest, theHostRaisingItsLineBringsTheWindowBack) {
  installSettings();
  startShown();
  win().hide();
  host->hostSignals(true);
  EXPECT_TRUE(win().isVisible(Control::Form1));
}

// === Leaving ==========================================================================================

TEST_F(KovrelAppTest, exitSavesTheSettingsAndLeaves) {
  installSettings();
  startShown();
  app->state().comport2 = 6;
  click(Control::sortirBtn);
  EXPECT_NE(readFile(settingsPath).find("[VSPA]=6"), std::string::npos);
  EXPECT_EQ(win().text(Control::port_oma_info_lbl), " COM 6");
  EXPECT_FALSE(host->opcio);
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(app->quitRequested());
}

TEST_F(KovrelAppTest, exitStillLeavesWhenTheHostsPortIsGone) {
  installSettings();
  startShown();
  host->failAll = true;
  click(Control::sortirBtn);
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(messages.empty());
}

TEST_F(KovrelAppTest, exitIsRefusedWhileTheHostHoldsItsPort) {
  installSettings();
  startShown();
  host->hostHolds = true;
  click(Control::sortirBtn);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "Abortar primero en Tavrek luego en Kovrel ");
  EXPECT_EQ(messages[0].second, "Atenció");
  EXPECT_EQ(quits, 0);
  EXPECT_TRUE(win().isVisible(Control::Form1));
}

TEST_F(KovrelAppTest, exitInAutomaticModeOnlyHidesTheWindow) {
  installSettings();
  startShown();
  win().setChecked(Control::autochk, true);
  click(Control::sortirBtn);
  EXPECT_FALSE(win().isVisible(Control::Form1));
  EXPECT_EQ(quits, 0);
  host->hostSignals(true);
  EXPECT_TRUE(win().isVisible(Control::Form1));
}

TEST_F(KovrelAppTest, closingTheWindowFromItsFrameIsTheExitButton) {
  installSettings();
  startShown();
  win().close();
  EXPECT_EQ(quits, 1);
}

TEST_F(KovrelAppTest, aSaveThatFailsIsToldToTheOperatorAtExit) {
  installSettings();
  startShown();
  fs::remove_all(folder);  // the program folder went away under the program
  click(Control::sortirBtn);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first.rfind(texts::kSettingsNotSaved, 0), 0u) << messages[0].first;
  EXPECT_EQ(quits, 1);
}

TEST_F(KovrelAppTest, aSaveThatFailsDuringAReadIsToldAfterTheStep) {
  installSettings();
  startShown();
  click(Control::llegirBtn);
  fs::remove_all(folder);
  // A header of the default arm (positions 4-7, 9-13, 22-25, 27-29, serial 31-34) and 614 for
  // the temperature: the header becomes the calibration, which is saved.
  std::string header(64, ' ');
  header[0] = '*';
  header.replace(3, 4, "1500");
  header.replace(8, 5, "60000");
  header.replace(21, 4, "5200");
  header.replace(26, 3, "800");
  header.replace(30, 4, "A123");
  tracer->feed(header);
  tracer->feed(std::vector<unsigned char>{0x02, 0x66});
  EXPECT_EQ(app->state().serial_number, "A123");
  EXPECT_TRUE(messages.empty());  // no message box inside a capture step
  QApplication::processEvents();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first.rfind(texts::kSettingsNotSaved, 0), 0u) << messages[0].first;
}

TEST_F(KovrelAppTest, theSystemsRequestToEndSavesAndLeaves) {
  installSettings();
  startShown();
  app->state().OffsetMida = 0.25;
  app->shutdown();
  EXPECT_NE(readFile(settingsPath).find("[OFFS]= 0.25"), std::string::npos) << readFile(settingsPath);
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace kovrel
