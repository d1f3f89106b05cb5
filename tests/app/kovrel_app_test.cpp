// The program put together: the real handlers behind the real window, with the tracer, the host,
// the clock and the timers played by fakes and the settings file in a scratch folder.

#include "app/kovrel_app.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <map>

#include "base/texts.h"
#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "gui_test_support.h"
#include "program_folder.h"
#include "settings/config_window.h"
#include "settings/settings_file.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::FakeSerialPort;
using testing::FakeTimer;
using testing::FakeVirtualPort;
using enum Control;

class KovrelAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::guiApplication();
    programFolder.write(SettingsFile::defaultFileContent(folder));
  }
  void TearDown() override { app.reset(); }

  // Builds and starts the program (`adjust` may set options first); shows the window if it goes on.
  bool start(const std::function<void(KovrelApp::Options&)>& adjust = {}) {
    KovrelApp::Options o;
    o.programFolder = folder, o.tracerPort = std::make_unique<FakeSerialPort>();
    o.encoderPort = std::make_unique<FakeSerialPort>(), o.hostPort = std::make_unique<FakeVirtualPort>();
    tracer = static_cast<FakeSerialPort*>(o.tracerPort.get());
    host = static_cast<FakeVirtualPort*>(o.hostPort.get()), o.clock = std::make_unique<testing::FakeClock>();
    o.makeTimer = [this](AppTimer which) {
      return std::unique_ptr<FakeTimer>(timers[which] = new FakeTimer);
    };
    o.quit = [this] { ++quits; };
    o.askOkCancel = [](std::string_view, std::string_view) { return true; };
    if (adjust) adjust(o);
    app = std::make_unique<KovrelApp>(std::move(o));
    win().showMessage = [this](std::string_view text, std::string_view title) {
      messages.emplace_back(text, title);
    };
    if (!app->start()) return false;
    win().show(), QApplication::processEvents();
    return true;
  }

  MainWindow& win() { return app->window(); }
  QWidget* w(Control c) { return win().control(c); }
  void click(Control c) { QTest::mouseClick(w(c), Qt::LeftButton); }
  void typeCode(const char* code) {
    QTest::mouseDClick(w(Text1), Qt::LeftButton);
    QTest::keyClicks(w(Text1), code);
  }
  void expectMessage(std::string_view text, std::string_view title) {
    EXPECT_EQ(messages,
              (std::vector<std::pair<std::string, std::string>>{{std::string(text), std::string(title)}}));
  }
  void expectNotSavedMessage() {
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first.rfind(texts::kSettingsNotSaved, 0), 0u) << messages[0].first;
  }

  testing::ProgramFolder programFolder;
  const fs::path folder = programFolder.path();
  std::unique_ptr<KovrelApp> app;
  FakeSerialPort* tracer = nullptr;
  FakeVirtualPort* host = nullptr;
  std::map<AppTimer, FakeTimer*> timers;
  int quits = 0;
  std::vector<std::pair<std::string, std::string>> messages;
};

// With the settings present start-up tells nothing: the tests below expect their message alone.
TEST_F(KovrelAppTest, aMissingSettingsFileIsReplacedTheOperatorToldAndTheHostOfferedItsPort) {
  fs::remove(programFolder.file());
  ASSERT_TRUE(start());
  expectMessage(texts::kSettingsMissing, texts::kTitleAttention);
  EXPECT_TRUE(fs::exists(programFolder.file()));
  EXPECT_TRUE(win().isEnabled(llegirBtn));  // the defaults are not a first installation
  EXPECT_EQ(win().text(port_oma_info_lbl), " COM 5");
  EXPECT_TRUE(host->opened && host->exists && host->name == "COM5");
  messages.clear(), fs::remove(programFolder.file());  // opening the configuration window reloads it
  typeCode("nwx"), click(llegirBtn);
  expectMessage(texts::kSettingsMissing, texts::kTitleAttention);
}

TEST_F(KovrelAppTest, accessCodesTypedHiddenInTheBoxReachTheirHandlers) {
  ASSERT_TRUE(start());
  QWidget& config = app->configWindow();
  typeCode("R3M58T21");
  EXPECT_EQ(static_cast<QLineEdit*>(w(Text1))->displayText(), "********");
  click(llegirBtn);
  EXPECT_TRUE(win().heightTwips(Form1) == kFormHeightOpen && win().isVisible(Frame1));
  click(openCfgBtn);
  EXPECT_TRUE(config.isVisible() && config.isModal());
  config.close();
  typeCode("nwx");
  click(llegirBtn);
  EXPECT_TRUE(config.isVisible() && !config.isModal());
  config.close();
}

TEST_F(KovrelAppTest, theEditButtonsTurnAndMirrorTheShape) {
  ASSERT_TRUE(start());
  win().setEnabled(mirallHoritzontal, true);
  click(mirallHoritzontal);
  EXPECT_EQ(app->state().signe_x, -1);

  win().setEnabled(Horari, true);
  QTest::mousePress(w(Horari), Qt::LeftButton);
  FakeTimer& repeat = *timers.at(AppTimer::Timer_horari);
  EXPECT_TRUE(repeat.isActive());
  repeat.tick();
  EXPECT_NE(app->state().gir_acumulat, 0.0);
  QTest::mouseRelease(w(Horari), Qt::LeftButton);
  EXPECT_FALSE(repeat.isActive());  // held no longer: the turn stops
}

TEST_F(KovrelAppTest, exitSavesTheSettingsFirstIsRefusedWhileTheHostHoldsItsPortThenLeavesEvenWithThemGone) {
  ASSERT_TRUE(start());
  host->hostHolds = true, app->state().comport2 = 6;
  win().close();  // closing from the frame is the exit button
  expectMessage("Abortar primero en Tavrek luego en Kovrel ", "Atenció");
  EXPECT_NE(programFolder.read().find("[VSPA]=6"), std::string::npos);
  EXPECT_TRUE(win().text(port_oma_info_lbl) == " COM 6" && quits == 0 && win().isVisible(Form1));
  messages.clear(), host->failAll = true;  // the host's port went away, and the program folder too
  fs::remove_all(folder);
  click(sortirBtn);
  expectNotSavedMessage();  // and nothing about the port
  EXPECT_TRUE(host->calls.back() == "opcio 0" && quits == 1 && app->quitRequested());
}

// Automatic mode keeps the program for the host; a request of the system to end
// (a signal, even while a message box is up) saves and leaves.
TEST_F(KovrelAppTest, exitInAutomaticModeOnlyHidesTheWindowTheSystemsRequestToEndSavesAndLeaves) {
  ASSERT_TRUE(start());
  click(autochk);
  EXPECT_FALSE(win().isEnabled(cfg_btn));
  click(sortirBtn);
  EXPECT_TRUE(!win().isVisible(Form1) && quits == 0);
  host->hostSignals(true);  // the host raising its line brings the window back, on top
  EXPECT_TRUE(win().isVisible(Form1) && win().windowFlags().testFlag(Qt::WindowStaysOnTopHint));

  app->state().OffsetMida = 0.25;
  app->shutdown();
  EXPECT_NE(programFolder.read().find("[OFFS]= 0.25"), std::string::npos) << programFolder.read();
  EXPECT_EQ(quits, 1);
}

// With both panels open every control lies inside its container and covers none shown with it (but
// the job counter's box); a lens picture hovered raises its dark twin; each button has its handler.
TEST_F(KovrelAppTest, everyControlLiesInsideItsContainerCoversNoneShownWithItAndReachesItsOwnHandler) {
  ASSERT_TRUE(start());
  typeCode("R3M58T21"), click(llegirBtn);
  win().setHeightTwips(Picture3, 1215);
  for (int i = 1; i < kControlCount; ++i) {
    QWidget* a = w(Control(i));
    EXPECT_TRUE(a->parentWidget()->rect().contains(a->geometry())) << a->objectName().toStdString();
    for (int j = i + 1; j < kControlCount; ++j) {
      QWidget* b = w(Control(j));
      EXPECT_FALSE(a->isVisible() && b->isVisible() && a->parentWidget() == b->parentWidget() &&
                   a != w(Shape2) && a->geometry().intersects(b->geometry()))
          << a->objectName().toStdString() << " " << b->objectName().toStdString();
    }
  }
  QEvent enter(QEvent::Enter);
  for (Control light : {Image_clara_gran, Image_clara_igual, Image_clara_petita}) {
    QApplication::sendEvent(w(light), &enter);
    EXPECT_EQ(w(light)->parentWidget()->children().back(), w(Control(int(light) + 3)));
  }
  typeCode("vexil"), click(llegirBtn);
  for (Control c : {mes_offset, mes_offset, menys_offset, mes_offset, sortir_offset}) click(c);
  EXPECT_EQ(app->state().OffsetMida.toNumber(), 0.02);
  EXPECT_TRUE(intervalMs(AppTimer::Timer_antiHorari) == 20 && intervalMs(AppTimer::Poll) == 50 &&
              intervalMs(AppTimer::Timer3) == 6000 && intervalMs(AppTimer::TimerEncoder) == 10000);
}

// The configuration window's fields are announced by the labels beside them, as they are seen
// (the main window's own controls, and ticks by assistive technology, are the main window's tests).
TEST_F(KovrelAppTest, theConfigurationWindowsFieldsAndButtonsAreNamedAsTheyAreSeen) {
  ASSERT_TRUE(start());
  ConfigWindow& config = app->configWindow();
  auto name = [](QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
  };
  EXPECT_EQ(name(config.fieldWidget(ConfigField::conf_polsos_txt)), "FI");
  EXPECT_EQ(name(config.fieldWidget(ConfigField::conf_carrera_txt)), "INI - FI");
  for (QPushButton* button : config.findChildren<QPushButton*>()) {
    EXPECT_TRUE(!name(button).isEmpty() && name(button).startsWith(button->text()))
        << name(button).toStdString();
  }
}

TEST_F(KovrelAppTest, aSaveThatFailsDuringAReadIsToldAfterTheStep) {
  ASSERT_TRUE(start());
  click(llegirBtn);
  fs::remove_all(folder);
  // A header of the default arm and 614 for the temperature: it becomes the calibration, saved.
  std::string header = "*  1500 60000" + std::string(8, ' ') + "5200 800 A123";
  header.resize(64, ' ');
  tracer->feed(header);
  tracer->feed(std::vector<unsigned char>{0x02, 0x66});
  EXPECT_TRUE(app->state().serial_number == "A123" && messages.empty());  // no message box inside a step
  QApplication::processEvents();
  expectNotSavedMessage();
}

}  // namespace
}  // namespace kovrel
