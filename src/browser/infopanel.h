// What the information panel and the tool bar show for the selected tree node: the width and
// height of the view, a description of the node, and the state of the path buttons and the
// colour button taken from the first path of the selection.
#pragma once

#include <optional>
#include <string>

#include "objecttree.h"
#include "pathunit.h"

namespace aiimport {

// The platform's button-face colour, shown by the colour button when no path is selected.
inline constexpr TColor ButtonFaceColor = static_cast<TColor>(0x8000000F);

struct InfoPanelState {
  std::string Width;        // "25.400 mm": the view's width in millimetres
  std::string Height;       // likewise its height
  std::string Description;  // "Path (5 nodes)", "Group (3 Paths)", "Compound  (2 Paths)" or ""
  bool HasPath = false;     // a first path exists: the path buttons and the colour button work
  bool OpenDown = false;    // "Open Paths"
  bool ClosedDown = false;  // "Closed Paths"
  bool ClearDown = false;   // "No fill"
  bool SolidDown = false;   // "Solid Fill"
  TColor ButtonColor = ButtonFaceColor;  // what the colour button shows
  std::optional<TColor> FillShape;       // the "Fill" square's colour; none: keep the old one
  std::optional<TColor> LineShape;       // the "Line" square's colour; none: keep the old one
};

// A length in PostScript points as millimetres with three decimals: "25.400 mm". The decimal
// point is always ".", whatever the user's locale.
std::string MillimetreText(long double points);

InfoPanelState ComputeInfoPanel(const ObjectTree& tree, const FloatRect& viewExtent);

}  // namespace aiimport
