#pragma once
// A polar trace: points 0..4096, column 1 the angle in radians, column 2 the radius in
// millimetres (column 0 is never used). Point n of a read is the n-th sample of the turntable.

#include <array>
#include <vector>

namespace kovrel {

class TraceTable {
 public:
  static constexpr int kLastPoint = 4096;  // points 0..4096
  static constexpr int kAngle = 1;
  static constexpr int kRadius = 2;

  TraceTable() : rows_(kLastPoint + 1, std::array<double, 3>{0.0, 0.0, 0.0}) {}

  double& at(int point, int column) { return rows_.at(point).at(column); }
  double at(int point, int column) const { return rows_.at(point).at(column); }
  double& angle(int point) { return at(point, kAngle); }
  double angle(int point) const { return at(point, kAngle); }
  double& radius(int point) { return at(point, kRadius); }
  double radius(int point) const { return at(point, kRadius); }

  friend bool operator==(const TraceTable&, const TraceTable&) = default;

 private:
  std::vector<std::array<double, 3>> rows_;
};

}  // namespace kovrel
