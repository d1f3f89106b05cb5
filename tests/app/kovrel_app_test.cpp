// The program put together: the real handlers behind the real window, with the tracer, the host,
// the clock and the timers played by fakes and the settings file in a scratch folder.

#include "app/kovrel_app.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <filesystem>
#include <future>
#include <map>
#include <set>

#include "app/history_link.h"
#include "archive/archive_keeper.h"
#include "base/texts.h"
#include "common/tracer_stream.h"
#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "gui_test_support.h"
#include "history/history_window.h"
#include "ports/puertos_window.h"
#include "program_folder.h"
#include "settings/config_window.h"
#include "settings/settings_file.h"
#include "shell/shell_texts.h"
#include "shell/tray_icon_qt.h"
#include "shell/wake_channel.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
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
  void letUp(Control c) {  // a button pressed by a shortcut or an action comes up after 100 ms: now
    for (const auto& timer : QAbstractEventDispatcher::instance()->registeredTimers(w(c))) {
      QTimerEvent up(timer.timerId);
      QCoreApplication::sendEvent(w(c), &up);
    }
  }
  void slide(AppTimer t) {  // a panel's slide, every step of it at once
    for (int i = 0; i < 99 && timers.at(t)->isActive(); ++i) timers.at(t)->tick();
  }
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

// The configuration window's fields are announced by the labels beside them, as they are seen
// (the main window's own controls, and ticks by assistive technology, are the main window's tests).
TEST_F(KovrelAppTest, accessCodesTypedHiddenInTheBoxReachTheirHandlersAndTheConfigurationIsNamedAsSeen) {
  ASSERT_TRUE(start());
  ConfigWindow& config = app->configWindow();
  typeCode("R3M58T21");
  EXPECT_TRUE(static_cast<QLineEdit*>(w(Text1))->displayText() == "********" && win().passwordMode(Text1));
  click(llegirBtn);
  EXPECT_TRUE(win().heightTwips(Form1) == kFormHeightOpen && win().isVisible(Frame1));
  click(openCfgBtn);
  EXPECT_TRUE(config.isVisible() && config.isModal());
  const auto shown = config.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);  // none covers another
  for (QWidget* a : shown)
    for (QWidget* b : shown)
      EXPECT_FALSE(a < b && a->isVisible() && b->isVisible() && a->geometry().intersects(b->geometry()))
          << a->objectName().toStdString() << " " << b->objectName().toStdString();
  std::set<int> columns;  // the fields stand in the two columns the technicians know
  for (const QLineEdit* field : config.findChildren<QLineEdit*>()) columns.insert(field->x());
  EXPECT_EQ(columns.size(), 2u);
  config.close(), typeCode("nwx");
  click(llegirBtn);
  EXPECT_TRUE(config.isVisible() && !config.isModal());
  config.fieldWidget(ConfigField::com2_conf_txt)->setText("7");
  config.button(ConfigButton::Guardar)->click();  // the program's port is shown as saved
  EXPECT_TRUE(!config.isVisible() && win().text(port_oma_info_lbl) == " COM 7");
  auto name = [](QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
  };
  EXPECT_EQ(name(config.fieldWidget(ConfigField::conf_polsos_txt)), "FI");
  EXPECT_EQ(name(config.fieldWidget(ConfigField::conf_carrera_txt)), "INI - FI");
  for (QPushButton* button : config.findChildren<QPushButton*>())
    EXPECT_TRUE(!name(button).isEmpty() && name(button).startsWith(button->text()))
        << name(button).toStdString();
}

// The sizes under the plot follow the read, each turn step and the manual offset.
TEST_F(KovrelAppTest, theEditButtonsTurnAndMirrorTheShapeAndItsSizesFollow) {
  ASSERT_TRUE(start());
  click(llegirBtn);
  tracer->feed(toolkit::buildStream(toolkit::ellipse(30, 20), {}, 1, 2));
  QApplication::processEvents();  // the read is kept just after its step
  ASSERT_EQ(win().text(midesLbl).rfind("A 60", 0), 0u) << win().text(midesLbl);
  EXPECT_TRUE(win().isEnabled(parada) && win().isEnabled(OffsetMesBtn) && win().isEnabled(offset_mida));
  click(mirallHoritzontal);
  EXPECT_EQ(app->state().signe_x, -1);

  QTest::mousePress(w(Horari), Qt::LeftButton);
  FakeTimer& repeat = *timers.at(AppTimer::Timer_horari);
  EXPECT_TRUE(repeat.isActive());
  app->state().gir_acumulat = 1.57;  // the step lays the ellipse on its side
  repeat.tick();
  EXPECT_NE(app->state().gir_acumulat, 1.57);
  EXPECT_EQ(win().text(midesLbl).rfind("A 40", 0), 0u) << win().text(midesLbl);
  QTest::mouseRelease(w(Horari), Qt::LeftButton);
  EXPECT_FALSE(repeat.isActive());  // held no longer: the turn stops
  static_cast<QLineEdit*>(w(offset_mida))->setText("0.5");
  EXPECT_EQ(win().text(midesLbl).rfind(std::string("A 40") + win().decimalSeparator() + "7", 0), 0u)
      << win().text(midesLbl);
  const TraceFileContent kept = parseTraceFile(testing::fileBytes(app->archiveKeeper().currentFile()));
  EXPECT_TRUE(kept.kept && kept.kept->choices.manualOffsetMm == 0.5);  // typed, with no click after it: kept
  static_cast<QLineEdit*>(w(offset_mida))->setText("0.7");             // past the limit: back to none
  EXPECT_EQ(win().text(offset_mida), "0");
}

TEST_F(KovrelAppTest, exitSavesTheSettingsFirstIsRefusedWhileTheHostHoldsItsPortThenLeavesEvenWithThemGone) {
  ASSERT_TRUE(start());
  host->hostHolds = true, app->state().comport2 = 6;
  click(cfg_btn);  // setting up the ports is refused too, as the pair is the host's
  expectMessage(texts::kHostHoldsPortConfigure, texts::kTitleAttention), messages.clear();
  win().close();  // closing from the frame is the exit button
  expectMessage("Abortar primero en Tavrek luego en Kovrel ", "Atenció");
  EXPECT_NE(programFolder.read().find("[VSPA]=6"), std::string::npos);
  EXPECT_TRUE(win().text(port_oma_info_lbl) == " COM 6" && quits == 0 && win().isVisible(Form1));
  LinkChoice dropFolder{LinkKind::Folder, "", 0, {}, folder.string()};  // a pair it no longer uses
  ASSERT_EQ(app->chooseLink(dropFolder), "");                           // is left to the host
  typeCode("nwx"), click(llegirBtn);  // the configuration window open goes with the program
  win().close();
  EXPECT_TRUE(quits == 1 && !app->configWindow().isVisible());
  messages.clear(), host->failAll = true;  // the host's port went away, and the program folder too
  fs::remove_all(folder), click(sortirBtn);
  expectNotSavedMessage();  // and nothing about the port
  EXPECT_TRUE(host->calls.back() == "opcio 0" && quits == 2 && app->quitRequested() &&
              !win().isVisible(Form1));
}

// Automatic mode keeps the program for the host: the window hides behind the tray's icon, and the
// host's line, the icon or a second start bring it back on top; "Salir" keeps the exit's rules; a
// request of the system to end (a signal, even while a message box is up) saves and leaves.
TEST_F(KovrelAppTest, exitInAutomaticModeOnlyHidesTheWindowTheSystemsRequestToEndSavesAndLeaves) {
  const std::string wake = "kovrel-app-test-" + std::to_string(QCoreApplication::applicationPid());
  ASSERT_TRUE(start([&](KovrelApp::Options& o) { o.systemTray = [] { return true; }, o.wakeName = wake; }));
  auto* const tray = app->tray().findChild<QSystemTrayIcon*>();
  ASSERT_TRUE(tray != nullptr && !tray->isVisible());
  click(autochk);
  EXPECT_FALSE(win().isEnabled(cfg_btn));
  click(sortirBtn);
  EXPECT_TRUE(!win().isVisible(Form1) && quits == 0 && tray->isVisible());  // the tray tells it still runs
  host->hostSignals(true);  // the host raising its line brings the window back, on top
  EXPECT_TRUE(win().isVisible(Form1) && win().windowFlags().testFlag(Qt::WindowStaysOnTopHint) &&
              !tray->isVisible());
  click(sortirBtn), emit tray->activated(QSystemTrayIcon::Trigger);  // a click on the icon: back too
  EXPECT_TRUE(win().isVisible(Form1) && !tray->isVisible());
  click(sortirBtn), win().setWindowFlag(Qt::WindowStaysOnTopHint, false);
  auto second = std::async(std::launch::async, [&] { return wakeRunningCopy(wake, 2000); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return second.wait_for(0s) == std::future_status::ready; }));
  EXPECT_TRUE(second.get() && win().isVisible(Form1) && win().windowFlags() & Qt::WindowStaysOnTopHint);
  click(sortirBtn), host->hostHolds = true;
  tray->contextMenu()->actions().at(1)->trigger();  // "Salir" keeps the exit's rules
  expectMessage("Abortar primero en Tavrek luego en Kovrel ", "Atenció");
  EXPECT_EQ(quits, 0);
  host->hostHolds = false;

  app->state().OffsetMida = 0.25, host->calls.clear();
  ::testing::internal::CaptureStderr(), app->shutdown();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // saved: nothing to tell
  EXPECT_NE(programFolder.read().find("[OFFS]= 0.25"), std::string::npos) << programFolder.read();
  EXPECT_TRUE(quits == 1 && host->calls == std::vector<std::string>{"opcio 0"});
}

// With both panels open every control lies inside its container and covers none shown with it (but
// the job counter's box); a lens picture hovered raises its dark twin; each button has its handler.
TEST_F(KovrelAppTest, everyControlLiesInsideItsContainerCoversNoneShownWithItAndReachesItsOwnHandler) {
  // A system with the administrator notice: "vexil" opens the general panel behind it, on every platform.
  ASSERT_TRUE(start([](KovrelApp::Options& o) { o.versio_major = [] { return std::string("6"); }; }));
  typeCode("R3M58T21"), click(llegirBtn);
  const int panelBottom = w(Picture3)->geometry().bottom();  // open, as it slides up from there
  win().setTopTwips(Picture3, win().topTwips(Picture3) - 1200), win().setHeightTwips(Picture3, 1215);
  EXPECT_EQ(w(Picture3)->geometry().bottom(), panelBottom);
  // Tops and bottoms in one container are also level or a pixel (15 twips at 96 dpi) apart at least:
  // edges that nearly meet look like a slip.
  const auto top = [this](int c) { return win().topTwips(Control(c)); };
  const auto bottom = [this](int c) { return win().topTwips(Control(c)) + win().heightTwips(Control(c)); };
  const auto slip = [](int a, int b) { return a != b && std::abs(a - b) < 15; };
  for (int i = 1; i < kControlCount; ++i) {
    QWidget* a = w(Control(i));
    EXPECT_TRUE(a->parentWidget()->rect().contains(a->geometry())) << a->objectName().toStdString();
    for (int j = i + 1; j < kControlCount; ++j) {
      QWidget* b = w(Control(j));
      EXPECT_FALSE(
          a->parentWidget() == b->parentWidget() &&
          ((a->isVisible() && b->isVisible() && a != w(Shape2) && a->geometry().intersects(b->geometry())) ||
           slip(top(i), top(j)) || slip(bottom(i), bottom(j)) || slip(top(i), bottom(j)) ||
           slip(bottom(i), top(j))))
          << a->objectName().toStdString() << " " << b->objectName().toStdString();
    }
  }
  QEvent enter(QEvent::Enter);
  for (Control light : {Image_clara_gran, Image_clara_igual, Image_clara_petita}) {
    QApplication::sendEvent(w(light), &enter);
    EXPECT_EQ(w(light)->parentWidget()->children().back(), w(Control(int(light) + 3)));
    EXPECT_FALSE(static_cast<QPushButton*>(w(Control(int(light) + 3)))->icon().isNull());  // pictured
  }
  QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton, {});
  QApplication::sendEvent(w(Picture3), &move);  // back on the panel: the light pictures return
  EXPECT_EQ(w(Image_clara_petita)->parentWidget()->children().back(), w(Image_clara_petita));
  typeCode("vexil"), click(llegirBtn), click(cancelar_adminBtn);
  EXPECT_TRUE(win().text(Text1) == texts::kConfigurationAborted && !win().isVisible(inicio_adminBtn) &&
              !win().isVisible(cancelar_adminBtn));
  typeCode("vexil"), click(llegirBtn), click(inicio_adminBtn);
  for (Control c : {mes_offset, mes_offset, menys_offset, mes_offset, sortir_offset}) click(c);
  EXPECT_EQ(app->state().OffsetMida.toNumber(), 0.02);
  EXPECT_TRUE(intervalMs(AppTimer::Timer_antiHorari) == 20 && intervalMs(AppTimer::Poll) == 50 &&
              intervalMs(AppTimer::Timer3) == 6000 && intervalMs(AppTimer::TimerEncoder) == 10000);
}

TEST_F(KovrelAppTest, aSaveThatFailsDuringAReadIsToldAfterTheStep) {
  ASSERT_TRUE(start());
  click(llegirBtn), fs::remove_all(folder);
  // A header of the default arm and 614 for the temperature: it becomes the calibration, saved.
  std::string header = "*  1500 60000" + std::string(8, ' ') + "5200 800 A123";
  header.resize(64, ' ');
  tracer->feed(header), tracer->feed(std::vector<unsigned char>{0x02, 0x66});
  EXPECT_TRUE(app->state().serial_number == "A123" && messages.empty());  // no message box inside a step
  QApplication::processEvents(), expectNotSavedMessage();
}

// The read is kept at its end and follows its changes and sends; an archive that cannot be written
// is told once after the read's message, and the read is sent all the same.
TEST_F(KovrelAppTest, aReadIsKeptWithItsChoicesAndSendsAndAFailedArchiveIsToldWithoutStoppingTheSend) {
  for (const bool writable : {true, false}) {
    SCOPED_TRACE(writable ? "archive" : "archive folder under a file");
    const fs::path archive = writable ? folder / "trazados" : programFolder.file() / "trazados";
    ASSERT_TRUE(start([&](KovrelApp::Options& o) { o.archiveFolder = archive; }));
    host->hostHolds = true, click(llegirBtn);
    tracer->feed(toolkit::buildStream(toolkit::ellipse(30, 20), {}, 1, 57));
    EXPECT_EQ(win().text(Text1), texts::kReadFinished);  // kept after the read's end
    QApplication::processEvents();
    const std::string readEnd(texts::kReadFinished);
    EXPECT_EQ(win().text(Text1).rfind(readEnd + (writable ? "" : " · No se pudo guardar la lectura"), 0), 0u)
        << win().text(Text1);
    click(mirallHoritzontal), click(interpola);
    slide(AppTimer::Timer1);
    click(Image_fosca_gran);
    win().close(), click(mirallHoritzontal);  // refused while the exchange runs: no exit, no message
    host->hostSends(std::vector<std::uint8_t>{6, 29});
    EXPECT_TRUE(win().text(Text1) == texts::kSentOk && messages.empty());  // told once, not after the send
    if (writable) {
      const fs::path file = app->archiveKeeper().currentFile();
      const TraceFileContent kept = parseTraceFile(testing::fileBytes(file));
      ASSERT_TRUE(kept.kept) << file;
      EXPECT_TRUE(kept.job == "57" && kept.kept->choices.mirrored && kept.kept->choices.lensOffsetMm == 0.2);
      EXPECT_EQ(kept.lastOutcome, texts::kSentOk);
    }
    click(llegirBtn);  // a new read: the last one's sizes go; it is kept on its own, the last one not again
    EXPECT_EQ(win().text(midesLbl), "");
    tracer->feed(toolkit::buildStream(toolkit::ellipse(25, 20), {}, 1, 58));
    QApplication::processEvents();
    const auto files = [&archive] {
      std::error_code none;
      return std::ranges::count_if(fs::recursive_directory_iterator(archive, none),
                                   [](const auto& e) { return e.path().extension() == ".vca"; });
    };
    EXPECT_EQ(files(), writable ? 2 : 0);
    if (writable) {  // a lab's file opened after STOP is no read of ours: turning it keeps nothing
      fs::copy_file(app->archiveKeeper().currentFile(), folder / "lab.vca");
      click(parada), win().onFileDropped(folder / "lab.vca"), click(mirallHoritzontal);
      EXPECT_EQ(files(), 2);
    }
    app.reset();
  }
}

// Every send needs a lens type: each choice is a button that the keyboard (Tab, Space, Enter) and
// assistive technology (its press action) reach as the mouse does, each with its own offset.
TEST_F(KovrelAppTest, aSendIsDrivenByTheKeyboardOrAssistiveTechnologyAloneEachLensWithItsOffset) {
  ASSERT_TRUE(start());
  win().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&win()));
  host->hostHolds = true;
  const auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
  const auto press = [this](Control c) {
    QAccessible::queryAccessibleInterface(w(c))->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    letUp(c);
  };
  const std::tuple<Control, int, Qt::Key, double> choices[] = {{Image_fosca_gran, 0, Qt::Key_Return, 0.2},
                                                               {Image_fosca_igual, 1, Qt::Key_Space, 0.0},
                                                               {Image_fosca_petita, 2, Qt::Key_Enter, -0.1}};
  win().setEnabled(interpola, true), w(interpola)->setFocus();  // the operator tabbed to ENVIAR
  for (bool keyboard : {true, false}) {
    for (const auto& [choice, tabs, choose, mm] : choices) {
      SCOPED_TRACE(std::string(objectName(choice)) + (keyboard ? " by keys" : " by its press action"));
      app->state().tipoMontura = 0, app->state().ja_Enviat = 0;  // a new read
      keyboard ? key(Qt::Key_Space) : press(interpola);
      slide(AppTimer::Timer1);  // the lens-type panel slides up, the keyboard on its first choice
      for (int i = 0; i < tabs && keyboard; ++i) key(Qt::Key_Tab);
      EXPECT_TRUE(!keyboard ||
                  w(choice)->parentWidget()->children().back() == w(choice));  // shown as reached
      keyboard ? key(choose) : press(choice);
      EXPECT_DOUBLE_EQ(app->state().normalOaire.toNumber(), mm);
      host->hostSends(std::vector<std::uint8_t>{6, 29});  // ACK, then the host's message ends
      EXPECT_EQ(win().text(Text1), texts::kSentOk);
      slide(AppTimer::Timer2);  // folded away, the keyboard is back on ENVIAR
    }
  }
  app->state().tipoMontura = 0;  // "Aquí" opens the manual offset from the keyboard too
  key(Qt::Key_Space), slide(AppTimer::Timer1), key(Qt::Key_Tab), key(Qt::Key_Tab), key(Qt::Key_Tab);
  key(Qt::Key_Return);
  EXPECT_TRUE(win().isVisible(offset_mida) && win().isVisible(OK_manualbtn));
  for (Control c : {OffsetMesBtn, OffsetMesBtn, OffsetMenysBtn}) click(c);
  EXPECT_EQ(win().text(offset_mida), std::string("0") + win().decimalSeparator() + "05");
  click(SurtEviaOma);  // closed without a choice: the editor goes, the panel folds away
  EXPECT_TRUE(!win().isVisible(offset_mida) && timers.at(AppTimer::Timer2)->isActive());
}

// The history is offered exactly when a read is; it opens with Ctrl+H, narrows to the job typed and
// Enter stands the kept read on the plot as a finished read, its buttons named by their captions.
TEST_F(KovrelAppTest, historialFollowsLeerOpensWithCtrlHNarrowsByJobAndEnterStandsTheKeptReadOnThePlot) {
  ASSERT_TRUE(start());
  win().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&win()));
  click(llegirBtn);
  EXPECT_FALSE(win().isEnabled(historialBtn)) << "never during a read";
  tracer->feed(toolkit::buildStream(toolkit::ellipse(30, 20), {}, 1, 2));
  QApplication::processEvents();  // the read is kept just after its step
  EXPECT_FALSE(win().isEnabled(historialBtn) || win().isEnabled(llegirBtn));
  int minute = 0;
  ArchiveStore store(folder / "trazados", [&minute] { return WallTime{2027, 1, 7, 9, ++minute, 0}; });
  for (const char* job : {"101", "102", "2101"}) {
    KeptRead kept = keptReadOf(app->state(), 0.0, 3.0, {});
    kept.job = job;
    ASSERT_TRUE(store.keep(kept).ok);
  }
  click(parada);
  ASSERT_TRUE(win().isEnabled(historialBtn) && win().isEnabled(llegirBtn));

  QTest::keyClick(&win(), Qt::Key_H, Qt::ControlModifier), letUp(historialBtn);
  HistoryWindow& history = app->history().window();
  // The main window waits while it is open.
  ASSERT_TRUE(history.isVisible() && history.windowModality() == Qt::ApplicationModal);
  EXPECT_EQ(history.list()->model()->rowCount(), 4);                          // the read itself was kept too
  EXPECT_EQ(history.list()->model()->index(0, 1).data().toString(), "2101");  // newest first
  EXPECT_EQ(history.list()->model()->headerData(0, Qt::Horizontal).toString(), "Fecha");
  QTest::keyClicks(history.jobBox(), "02");
  ASSERT_EQ(history.list()->model()->rowCount(), 1);
  QTest::keyClick(history.list(), Qt::Key_Return);
  EXPECT_FALSE(history.isVisible());
  EXPECT_EQ(win().text(Text1), texts::kReadFinished);
  EXPECT_EQ(win().text(contadorLectures), "Rev.[102]");
  EXPECT_TRUE(win().isEnabled(interpola) && !win().isEnabled(historialBtn));
  EXPECT_EQ(win().text(midesLbl).rfind("A 60", 0), 0u) << win().text(midesLbl);
  for (QPushButton* button : history.findChildren<QPushButton*>())
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(button)
                    ->text(QAccessible::Name)
                    .startsWith(button->text().remove('&')))
        << button->text().toStdString();
}

// The ports window's choice of link: each one taken shows in the port label and lands in
// kovrel_enlace.cfg; one that cannot be set up is refused with its reason and the old one stays.
TEST_F(KovrelAppTest, aLinkChosenInThePortsWindowIsTakenOrRefusedWithItsReasonAndTheLabelFollows) {
  ASSERT_TRUE(start());
  PuertosWindow ports;
  ports.showLinkChoice(app->linkChoice(), 5);
  ports.onChooseLink = [this](const LinkChoice& c) { return app->chooseLink(c); };
  ports.show();
  QTcpServer host, taken, free;  // a host to connect to; a port some other program holds; a free one
  ASSERT_TRUE(host.listen(QHostAddress::LocalHost, 0) && taken.listen(QHostAddress::Any, 0) &&
              free.listen(QHostAddress::Any, 0));
  const int freePort = free.serverPort();
  free.close();
  const auto* kind = ports.findChild<QComboBox*>("enlaceCmb");
  auto set = [&](int k, const QString& address, int port, bool wait, const QString& folderText) {
    const_cast<QComboBox*>(kind)->setCurrentIndex(k);
    ports.findChild<QLineEdit*>("direccionTxt")->setText(address);
    ports.findChild<QSpinBox*>("puertoTcpSpn")->setValue(port);
    ports.findChild<QRadioButton*>(wait ? "esperaOpt" : "conectaOpt")->setChecked(true);
    ports.findChild<QLineEdit*>("carpetaTxt")->setText(folderText);
  };
  const QString hostPort = QString::number(host.serverPort());
  const QString folderText = QString::fromStdString(folder.string());
  struct Row {
    const char* shot;
    std::function<void()> choose;
    std::string label, refusal;
  };
  const Row rows[] = {
      {"tcp-connect", [&] { set(1, "127.0.0.1", host.serverPort(), false, ""); },
       " TCP 127.0.0.1:" + hostPort.toStdString(), ""},
      {"", [&] { set(1, "localhost", host.serverPort(), false, ""); },
       " TCP localhost:" + hostPort.toStdString(), ""},
      {"tcp-refused", [&] { set(1, "", taken.serverPort(), true, ""); }, "",
       "Puerto TCP " + std::to_string(taken.serverPort()) + " no disponible: otro programa lo usa"},
      {"", [&] { set(1, "999.1.1.1", 5000, false, ""); }, "", "Dirección no válida: '999.1.1.1'"},
      {"", [&] { set(2, "", 5000, false, folderText + "/ausente"); }, "",
       "Carpeta no disponible: " + folder.string() + "/ausente"},
      {"folder", [&] { set(2, "", 5000, false, folderText); }, " Carpeta", ""},
      {"tcp-wait", [&] { set(1, "", freePort, true, ""); },
       " TCP :" + std::to_string(freePort) + " sin conexión", ""},
      {"serial", [&] { set(0, "", 5000, false, ""); }, " COM 5", ""},
  };
  std::string label = win().text(port_oma_info_lbl);
  for (const Row& row : rows) {
    row.choose(), ports.useLink();
    if (!row.label.empty()) label = row.label;
    EXPECT_TRUE(QTest::qWaitFor([&] { return win().text(port_oma_info_lbl) == label; }, 2000))
        << row.shot << ": " << win().text(port_oma_info_lbl);
    EXPECT_EQ(ports.linkMessage().find("No se puede usar: " + row.refusal),
              row.refusal.empty() ? std::string::npos : 0u)
        << ports.linkMessage();
    if (row.refusal.empty()) {
      EXPECT_EQ(loadLinkChoice(folder).choice, ports.linkChoice()) << row.shot;
    }
    if (const char* shots = std::getenv("KOVREL_SHOTS"); shots != nullptr && *row.shot != '\0')
      ports.grab().save(QString::fromUtf8(shots) + "/ports-" + row.shot + ".png");
  }
  // Keyboard and screen readers: each field reached by its caption's key, named by its caption.
  for (const char* name :
       {"enlaceCmb", "direccionTxt", "puertoTcpSpn", "carpetaTxt", "conectaOpt", "usarEnlaceBtn"}) {
    const QWidget* field = ports.findChild<QWidget*>(name);
    EXPECT_TRUE(field->focusPolicy() & Qt::TabFocus) << name;
    EXPECT_FALSE(field->accessibleName().isEmpty()) << name;
  }
  ports.show();  // a field left out of its layout would sit in its page's corner
  for (const char* name : {"direccionTxt", "enlaceLbl", "usarEnlaceBtn"})
    EXPECT_NE(ports.findChild<QWidget*>(name)->pos(), QPoint(0, 0)) << name;
}

}  // namespace
}  // namespace kovrel
