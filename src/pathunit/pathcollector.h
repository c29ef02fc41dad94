// The reader's side of the path model: the running values a reader sets (colours, group level,
// compound number, the path being collected) and the end-of-path step that turns a painted path
// into a record of PathList. It is the PathSink every reader writes to; what it keeps is
// private to the reading and is gone when the reading is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "pathsink.h"
#include "pathunit.h"

namespace aiimport {

class PathCollector final : public PathSink {
 public:
  // Collects into model.PathList; an empty path waits for points. Without `orientation` the
  // orientation test is not run and every path keeps Anticlockwise true: for a reading whose
  // paths go only where the flag is not looked at (an import without "Auto-Fix Holes").
  explicit PathCollector(PathModel& model, bool orientation = true);

  void BeginDrawing(const FloatRect& viewExtent) override;
  void AbortDrawing() override { ClearAllPaths(); }
  // After ExpectEndDrawing, the orientation test of closed paths waits until EndDrawing, which
  // runs it on every such path with ThreadCount() threads: Anticlockwise is only right then.
  void ExpectEndDrawing() override { deferOrientation_ = true; }
  void EndDrawing() override;
  void SetViewExtent(const FloatRect& viewExtent) override { model_.ViewExtent = viewExtent; }
  bool AddPoint(const tbpoint& point) override;
  void ClosePath() override;
  void DiscardPoints() override;
  void Paint(std::string_view code) override;
  void SetLineColor(TColor colour) override { currentLineColor_ = colour; }
  void SetFillColor(TColor colour) override { currentFillColor_ = colour; }
  void BeginGroup() override;
  void EndGroup() override;
  void BeginCompound() override { inCompound_ = true; }
  void EndCompound() override;

  // The steps Paint is made of, in its order: FinishPath, AppendCurrentPath, NewPath, and the
  // compound number moved on outside a compound.
  // NewPath: a fresh CurrentPath with the default attributes and the current group level and
  // compound number (the previous one must already be in PathList or dropped).
  void NewPath();
  // The end-of-path step for a painting code: Closed, Filled, the orientation test for closed
  // paths, a new compound number when an earlier path with the current number differs in
  // Filled, and the group level, compound number and colours in force.
  void FinishPath(std::string_view code);
  // Moves CurrentPath to the end of PathList with its points in a buffer of exactly their size;
  // CurrentPath is none afterwards.
  void AppendCurrentPath();
  // Empties PathList and drops CurrentPath.
  void ClearAllPaths();

  // The running values, for the tests and the tools.
  const std::optional<tpath>& CurrentPath() const { return currentPath_; }
  TColor CurrentLineColor() const { return currentLineColor_; }
  TColor CurrentFillColor() const { return currentFillColor_; }
  int32_t CurrentGroupLevel() const { return currentGroupLevel_; }
  int32_t CurrentCompoundNo() const { return currentCompoundNo_; }
  bool InCompound() const { return inCompound_; }

 private:
  void SyncTail();

  PathModel& model_;
  std::optional<tpath> currentPath_;  // CurrentPath: the path being assembled; not in PathList
  TColor currentLineColor_ = 0;       // CurrentLineColor
  TColor currentFillColor_ = 0;       // CurrentFillColor
  int32_t currentGroupLevel_ = 0;     // CurrentGroupLevel
  int32_t currentCompoundNo_ = 0;     // CurrentCompoundNo
  bool inCompound_ = false;           // InCompound

  // Lets FinishPath find the paths that share CurrentCompoundNo without walking PathList: while
  // reading, compound numbers in PathList never decrease and CurrentCompoundNo is never below
  // them, so those paths are the tail of the list.
  struct CompoundTail {
    std::size_t Paths = 0;  // PathList size this record describes
    int32_t No = 0;         // CompoundNo of the last path
    bool HasFilled = false;
    bool HasUnfilled = false;
  } tail_;

  // Working buffer of the orientation test.
  std::vector<Tdot> orientationScratch_;
  // The point buffer of the last appended path, reused by the next NewPath so that collecting
  // points allocates only while a path is longer than every one before it.
  std::vector<tbpoint> spareItems_;

  // Between ExpectEndDrawing and EndDrawing: the paths of PathList whose orientation test is
  // still to run, and whether CurrentPath is to join them when it is appended.
  bool orientation_ = true;  // whether closed paths are tested at all
  bool deferOrientation_ = false;
  bool currentPending_ = false;
  std::vector<std::size_t> pendingOrientation_;
};

}  // namespace aiimport
