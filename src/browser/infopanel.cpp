#include "infopanel.h"

#include <charconv>
#include <vector>

namespace aiimport {

std::string MillimetreText(long double points) {
  const long double millimetres = points * 25.4L / 72.0L;
  char buffer[128];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, millimetres, std::chars_format::fixed, 3);
  if (result.ec != std::errc()) return "? mm";
  return std::string(buffer, result.ptr) + " mm";
}

InfoPanelState ComputeInfoPanel(const ObjectTree& tree, const FloatRect& viewExtent) {
  InfoPanelState state;
  state.Width = MillimetreText(static_cast<long double>(viewExtent.MaxX) - viewExtent.MinX);
  state.Height = MillimetreText(static_cast<long double>(viewExtent.MaxY) - viewExtent.MinY);

  const TreeNode* node = tree.Selected();
  const tpath* first = nullptr;
  if (node && node->Path) {
    state.Description = "Path (" + std::to_string(node->Path->Count()) + " nodes)";
    first = node->Path;
  } else if (node) {
    std::vector<tpath*> paths;
    CollectPaths(tree, node, paths);
    const std::string count = " (" + std::to_string(paths.size()) + " Paths)";
    state.Description = (node->ImageIndex == 0 ? "Group" : "Compound ") + count;
    if (!paths.empty()) first = paths.front();
  }
  if (first) {
    state.HasPath = true;
    state.OpenDown = !first->Closed;
    state.ClosedDown = first->Closed;
    state.ClearDown = !first->Filled;
    state.SolidDown = first->Filled;
    state.ButtonColor = first->Filled ? first->FillColor : first->LineColor;
    state.FillShape = first->FillColor;
    state.LineShape = first->LineColor;
  }
  return state;
}

}  // namespace aiimport
