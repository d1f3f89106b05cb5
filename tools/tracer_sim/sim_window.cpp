#include "sim_window.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kovrel::tools {
namespace {

// Outlines offered besides the one given on the command line (mm).
const char* const kChoices[] = {"circle:25", "ellipse:28,20", "rect:26,18", "offcentre:2,1.5:ellipse:27,19"};

}  // namespace

SimWindow::SimWindow(TracerSimulator& simulator, const QString& comName, const QString& initialOutline,
                     toolkit::TracerCalibration cal, Fault fault)
    : simulator_(simulator), cal_(std::move(cal)), fault_(fault) {
  setWindowTitle(QStringLiteral("Tracer simulator — %1").arg(comName));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Line: %1").arg(comName), this));

  outlines_ = new QComboBox(this);
  outlines_->addItem(initialOutline);
  for (const char* c : kChoices)
    if (initialOutline != QLatin1String(c)) outlines_->addItem(QString::fromLatin1(c));
  layout->addWidget(outlines_);

  start_ = new QPushButton(QStringLiteral("START"), this);
  layout->addWidget(start_);

  progress_ = new QProgressBar(this);
  progress_->setRange(0, 8262);
  progress_->setValue(0);
  layout->addWidget(progress_);

  connect(start_, &QPushButton::clicked, &simulator_, &TracerSimulator::start);
  connect(outlines_, &QComboBox::currentIndexChanged, this, &SimWindow::chooseOutline);
  connect(&simulator_, &TracerSimulator::readStarted, this, [this](int, int bytes) {
    progress_->setRange(0, bytes);
    progress_->setValue(0);
    start_->setEnabled(false);
    outlines_->setEnabled(false);
  });
  connect(&simulator_, &TracerSimulator::progress, progress_,
          [this](int sent, int) { progress_->setValue(sent); });
  connect(&simulator_, &TracerSimulator::readFinished, this, [this](int) {
    start_->setEnabled(true);
    outlines_->setEnabled(true);
  });
}

void SimWindow::chooseOutline(int index) {
  // The first entry is the source the simulator started with; it stays in use for it.
  std::string error;
  auto outline = parseOutline(outlines_->itemText(index).toStdString(), error);
  if (!outline) return;
  sources_.push_back(std::make_unique<ReadSource>(std::move(*outline), cal_, fault_));
  simulator_.setSource(*sources_.back());
}

}  // namespace kovrel::tools

namespace kovrel::tools {

void SimWindow::addEncoderToggle(std::function<void(bool on)> toggled) {
  auto* toggle = new QPushButton(QStringLiteral("Encoder"), this);
  toggle->setCheckable(true);
  toggle->setChecked(true);
  layout()->addWidget(toggle);
  connect(toggle, &QPushButton::toggled, this, [toggled = std::move(toggled)](bool on) { toggled(on); });
}

}  // namespace kovrel::tools
