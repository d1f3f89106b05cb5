#pragma once
// A small window for demonstrations: the machine's START button, a chooser of the outline on
// the turntable and a progress bar of the read going out.

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "read_source.h"
#include "tracer_simulator.h"

namespace kovrel::tools {

class SimWindow : public QWidget {
  Q_OBJECT
 public:
  // `initialOutline` is listed first and selected; `cal` and `fault` apply to every choice.
  SimWindow(TracerSimulator& simulator, const QString& comName, const QString& initialOutline,
            toolkit::TracerCalibration cal, Fault fault);

  // A toggle of the encoder stream, pressed (streaming) at first.
  void addEncoderToggle(std::function<void(bool on)> toggled);

 private:
  void chooseOutline(int index);

  TracerSimulator& simulator_;
  toolkit::TracerCalibration cal_;
  Fault fault_;
  QPushButton* start_;
  QComboBox* outlines_;
  QProgressBar* progress_;
  std::vector<std::unique_ptr<ReadSource>> sources_;
};

}  // namespace kovrel::tools
