// After the tip compensation the rows around the start of the trace can cross the 0/2π seam:
// a few early rows fall just below 0 (now just below 2π) and a few late rows pass 2π (now just
// above 0). Only the 200 rows on either side of the seam can be affected, so only they are
// sorted; the middle of the trace is taken as it is.

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/prepare_steps.h"

namespace kovrel::preparation {
namespace {

constexpr int kLastStartRow = 200;  // rows 1..200 open the trace
constexpr int kFirstEndRow = 3895;  // rows 3895..4095 close it
constexpr int kSelections = 400;    // of the 401 seam rows; the last candidate stays out
constexpr int kLocalSize = 4300;

struct Point {
  double angle = 0.0;   // radians
  double radius = 0.0;  // mm
};

// The seam rows in the order they are searched: the end of the trace, then its start.
std::vector<int> seamRows() {
  std::vector<int> rows;
  for (int r = kFirstEndRow; r <= kPoints; ++r) rows.push_back(r);
  for (int r = 1; r <= kLastStartRow; ++r) rows.push_back(r);
  return rows;
}

// A seam row that is neither below nor above 1 radian (exactly 1.0) is never placed, and the
// selection stalls on it. Rather than leave rows of the table unset, the placed rows are laid
// out as usual (start group, the middle as copied, end group) and every seam row left out is
// inserted where its angle falls, so the table keeps all 4095 points in angle order.
void rebuildAfterStall(TraceTable& trace, const std::vector<Point>& copies, const std::vector<Point>& starts,
                       const std::vector<Point>& ends, const std::vector<Point>& leftOut) {
  std::vector<Point> rows(starts);
  rows.reserve(kPoints);
  for (int i = kLastStartRow; i < kFirstEndRow - 1; ++i) rows.push_back(copies[i]);
  for (const Point& p : ends) rows.push_back(p);
  for (const Point& p : leftOut) {
    auto after = std::find_if(rows.begin(), rows.end(), [&](const Point& q) { return q.angle > p.angle; });
    rows.insert(after, p);
  }
  for (int i = 1; i <= kPoints; ++i) {
    trace.angle(i) = rows[i - 1].angle;
    trace.radius(i) = rows[i - 1].radius;
  }
}

}  // namespace

int normaliseAndSortSeam(TraceTable& trace) {
  // Copies taken before the angles are normalised: the middle of the trace comes from here.
  std::vector<Point> local(kLocalSize);
  for (int i = 1; i <= kPoints; ++i) local[i - 1] = {trace.angle(i), trace.radius(i)};

  for (int i = 1; i <= kPoints; ++i) {
    double& a = trace.angle(i);
    if (a < 0) a += kTwoPi;
    if (a > kTwoPi) a -= kTwoPi;
  }

  // Each of the 400 selections takes the first row, in search order, holding the smallest angle
  // not yet placed: the seam rows in a stable sort by angle. A row at exactly 1 radian is neither
  // small nor large and would be found again by every later selection, so placing stops there.
  const std::vector<int> seam = seamRows();
  std::vector<int> order;  // indices into `seam` that a selection can find
  for (int j = 0; j < static_cast<int>(seam.size()); ++j)
    if (trace.angle(seam[j]) < kTaken) order.push_back(j);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return trace.angle(seam[a]) < trace.angle(seam[b]); });
  std::vector<bool> placed(seam.size(), false);
  std::vector<Point> starts, ends;  // below and above 1 radian, ascending
  for (std::size_t n = 0; n < order.size() && n < static_cast<std::size_t>(kSelections); ++n) {
    const Point p{trace.angle(seam[order[n]]), trace.radius(seam[order[n]])};
    if (p.angle == kSeamSplit) break;
    (p.angle < kSeamSplit ? starts : ends).push_back(p);
    placed[order[n]] = true;
  }

  const int selections = static_cast<int>(starts.size() + ends.size());
  if (selections < kSelections) {
    std::vector<Point> leftOut;
    for (std::size_t j = 0; j < seam.size(); ++j)
      if (!placed[j]) leftOut.push_back({trace.angle(seam[j]), trace.radius(seam[j])});
    std::stable_sort(leftOut.begin(), leftOut.end(), [](const Point& a, const Point& b) {
      return !std::isnan(a.angle) && (std::isnan(b.angle) || a.angle < b.angle);
    });
    rebuildAfterStall(trace, local, starts, ends, leftOut);
    return selections;
  }

  // The picks are laid over the copies, the start group from local entry 0 and the end group
  // from entry 3894. The start group opens the trace, the end group closes it, and the middle,
  // read on from entry 200, fills the gap. With all 400 placed the middle reads up to entry 3894,
  // the end group's first pick: that pick appears twice, the row that stood at 3895 before the
  // sort is dropped (unless it was that pick), and so is the candidate never taken. The lab's
  // edgers were tuned with exactly this layout.
  std::copy(starts.begin(), starts.end(), local.begin());
  std::copy(ends.begin(), ends.end(), local.begin() + (kFirstEndRow - 1));
  const int cnt1 = static_cast<int>(starts.size()) + 1;
  const int rEnd = kPoints - static_cast<int>(ends.size());
  for (int i = 1; i <= kPoints; ++i) {
    const int entry = i < cnt1    ? i - 1
                      : i <= rEnd ? kLastStartRow + (i - cnt1)
                                  : (kFirstEndRow - 1) + (i - rEnd - 1);
    trace.angle(i) = local[entry].angle;
    trace.radius(i) = local[entry].radius;
  }
  return selections;
}

}  // namespace kovrel::preparation
