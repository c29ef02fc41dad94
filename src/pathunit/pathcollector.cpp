#include "pathcollector.h"

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <utility>

#include "parallel.h"

namespace aiimport {

namespace {

bool IsOneOf(std::string_view code, std::initializer_list<std::string_view> codes) {
  for (std::string_view c : codes)
    if (code == c) return true;
  return false;
}

// The running counters wrap around like the 32-bit integers they are; they never overflow.
int32_t Add32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

PathCollector::PathCollector(PathModel& model, bool orientation)
    : model_(model), orientation_(orientation) {
  currentPath_.emplace();
}

void PathCollector::BeginDrawing(const FloatRect& viewExtent) {
  model_.ViewExtent = viewExtent;
  ClearAllPaths();
  deferOrientation_ = false;
  inCompound_ = false;
  currentGroupLevel_ = 0;
  currentCompoundNo_ = 0;
  currentLineColor_ = 0;
  currentFillColor_ = 0;
  NewPath();
}

bool PathCollector::AddPoint(const tbpoint& point) {
  if (!currentPath_ || currentPath_->Count() > MaxPathItems) return false;
  currentPath_->Items.push_back(point);
  return true;
}

void PathCollector::ClosePath() {
  if (currentPath_) currentPath_->Closed = true;
}

void PathCollector::DiscardPoints() {
  if (currentPath_) ClearPoints(*currentPath_);
}

void PathCollector::Paint(std::string_view code) {
  FinishPath(code);
  AppendCurrentPath();
  NewPath();
  if (!inCompound_) currentCompoundNo_ = Add32(currentCompoundNo_, 1);
}

void PathCollector::BeginGroup() {
  currentGroupLevel_ = Add32(currentGroupLevel_, 1);
}

void PathCollector::EndGroup() {
  currentGroupLevel_ = Add32(currentGroupLevel_, -1);
}

void PathCollector::EndCompound() {
  inCompound_ = false;
  currentCompoundNo_ = Add32(currentCompoundNo_, 1);
}

// Brings the tail record up to date with PathList. It normally is (AppendCurrentPath keeps it
// so); when paths were added or removed another way, it is rebuilt from the tail of the list,
// where the paths with the last compound number stand.
void PathCollector::SyncTail() {
  auto& list = model_.PathList;
  if (tail_.Paths == list.size()) return;
  tail_ = {};
  tail_.Paths = list.size();
  if (list.empty()) return;
  tail_.No = list.back().CompoundNo;
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    if (it->CompoundNo != tail_.No) break;
    (it->Filled ? tail_.HasFilled : tail_.HasUnfilled) = true;
  }
}

void PathCollector::NewPath() {
  currentPending_ = false;
  tpath& path = currentPath_.emplace();
  path.Items = std::move(spareItems_);
  path.Items.clear();
  spareItems_ = {};
  path.LineColor = 0;
  path.FillColor = 0;
  path.Filled = true;
  path.Closed = false;
  path.GroupLevel = currentGroupLevel_;
  path.CompoundNo = currentCompoundNo_;
  path.Flagged = false;
}

void PathCollector::ClearAllPaths() {
  ClearPaths(model_.PathList);
  currentPath_.reset();
  tail_ = {};
  currentPending_ = false;
  pendingOrientation_ = {};
}

void PathCollector::EndDrawing() {
  deferOrientation_ = false;
  std::vector<std::size_t> pending = std::move(pendingOrientation_);
  pendingOrientation_ = {};
  auto& list = model_.PathList;
  const unsigned threads = ThreadCount();
  // Chunks of paths of about the same number of points (the test's work grows with them).
  constexpr std::size_t ChunkPoints = 16384;
  std::vector<std::size_t> starts{0};
  std::size_t points = 0;
  for (std::size_t k = 0; k < pending.size(); ++k) {
    points += list[pending[k]].Count() + 1;
    if (points >= ChunkPoints) {
      starts.push_back(k + 1);
      points = 0;
    }
  }
  if (starts.back() != pending.size()) starts.push_back(pending.size());
  const std::size_t chunks = starts.size() - 1;
  auto orient = [&](std::size_t chunk, std::vector<Tdot>& scratch) {
    for (std::size_t k = starts[chunk]; k < starts[chunk + 1]; ++k) {
      tpath& path = list[pending[k]];
      path.Anticlockwise = PathOrientation(path, scratch);
    }
  };
  if (threads > 1 && chunks > 1) {
    try {
      // Each path is the work of one thread, and nothing else touches PathList meanwhile.
      const std::size_t window = 4 * std::size_t{threads};
      std::vector<std::vector<Tdot>> scratch(window);
      OrderedChunks pool(chunks, threads, window, [&](std::size_t chunk, std::size_t slot) {
        orient(chunk, scratch[slot]);
      });
      for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
        pool.Wait(chunk);
        pool.Release();
      }
      return;
    } catch (const std::exception&) {
      // No threads or no memory for them: the test runs here instead (on every path again).
    }
  }
  for (std::size_t chunk = 0; chunk < chunks; ++chunk)
    orient(chunk, orientationScratch_);
}

void PathCollector::FinishPath(std::string_view code) {
  if (!currentPath_) return;
  tpath& path = *currentPath_;
  path.Closed = IsOneOf(code, {"b ", "f ", "s "});
  path.Filled = IsOneOf(code, {"b ", "B ", "f ", "F "});
  path.Anticlockwise = true;
  path.Reversed = false;
  if (path.Closed && orientation_) {
    if (deferOrientation_)
      currentPending_ = true;  // tested at EndDrawing, on the points it has then
    else
      path.Anticlockwise = PathOrientation(path, orientationScratch_);
  }

  // Compound split: a path never shares its number with an earlier path of the other fill
  // state. Only the tail of PathList can hold CurrentCompoundNo, and one raise puts the number
  // above every path in the list, so one look at the tail record does what a walk would.
  SyncTail();
  if (tail_.Paths > 0 && tail_.No == currentCompoundNo_ &&
      (path.Filled ? tail_.HasUnfilled : tail_.HasFilled))
    currentCompoundNo_ = Add32(currentCompoundNo_, 1);

  path.GroupLevel = currentGroupLevel_;
  path.CompoundNo = currentCompoundNo_;
  path.LineColor = currentLineColor_;
  path.FillColor = currentFillColor_;
}

void PathCollector::AppendCurrentPath() {
  if (!currentPath_) return;
  SyncTail();
  tpath& current = *currentPath_;
  tpath& added = model_.PathList.emplace_back();
  std::vector<tbpoint> items = std::move(current.Items);
  added = std::move(current);
  added.Items.assign(items.begin(), items.end());  // exactly as large as needed
  spareItems_ = std::move(items);
  currentPath_.reset();

  if (currentPending_) {
    pendingOrientation_.push_back(model_.PathList.size() - 1);
    currentPending_ = false;
  }

  if (tail_.Paths == 0 || added.CompoundNo != tail_.No) {
    tail_.No = added.CompoundNo;
    tail_.HasFilled = tail_.HasUnfilled = false;
  }
  (added.Filled ? tail_.HasFilled : tail_.HasUnfilled) = true;
  tail_.Paths = model_.PathList.size();
}

}  // namespace aiimport
