#pragma once
// The outline the host decoded, drawn about its centre with y upwards, scaled to the window.

#include <QWidget>
#include <vector>

namespace kovrel::tools {

class OutlineView : public QWidget {
  Q_OBJECT
 public:
  explicit OutlineView(QWidget* parent = nullptr);
  // 800 radii in hundredths of a millimetre, point i at 2π·i/800 radians.
  void setRadii(const std::vector<int>& radii);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<int> radii_;
};

}  // namespace kovrel::tools
