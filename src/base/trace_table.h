#pragma once
// A polar trace: points 0..4096, column 1 the angle in radians, column 2 the radius in
// millimetres (column 0 is never used). Point n of a read is the n-th sample of the turntable.

#include <array>
#include <cassert>
#include <vector>

namespace kovrel {

class TraceTable {
 public:
  static constexpr int kLastPoint = 4096;  // points 0..4096
  static constexpr int kAngle = 1;
  static constexpr int kRadius = 2;

  TraceTable() : rows_(kLastPoint + 1, std::array<double, 3>{0.0, 0.0, 0.0}) {}

  // Every index comes from the fixed loops over a read; checked in debug builds only, since the
  // preparation and the redraw of a turning shape touch these tables tens of thousands of times.
  double& at(int point, int column) {
    assert(point >= 0 && point <= kLastPoint && column >= 0 && column <= 2);
    return rows_[static_cast<std::size_t>(point)][static_cast<std::size_t>(column)];
  }
  double at(int point, int column) const {
    assert(point >= 0 && point <= kLastPoint && column >= 0 && column <= 2);
    return rows_[static_cast<std::size_t>(point)][static_cast<std::size_t>(column)];
  }
  double& angle(int point) { return at(point, kAngle); }
  double angle(int point) const { return at(point, kAngle); }
  double& radius(int point) { return at(point, kRadius); }
  double radius(int point) const { return at(point, kRadius); }

  friend bool operator==(const TraceTable&, const TraceTable&) = default;

 private:
  std::vector<std::array<double, 3>> rows_;
};

}  // namespace kovrel
