// How the import steps talk to the window: the caption of the "Nodes:" label, the event pump,
// the busy cursor and the preview paint box the orientation correction draws on. The window
// implements it; the batch mode and the tests use this base class, which shows and draws
// nothing.
#pragma once

#include <cstddef>
#include <string_view>

#include "pathunit.h"

namespace aiimport {

class ConvertView {
 public:
  virtual ~ConvertView() = default;

  // The caption of label_nodes ("Generating Splines.", "Total Nodes: 12", ...).
  virtual void SetNodesCaption(std::string_view /*text*/) {}

  // Lets the window handle pending events once.
  virtual void ProcessEvents() {}

  // The hour-glass cursor (true) or the default cursor (false).
  virtual void SetBusyCursor(bool /*busy*/) {}

  // Called by GenerateOutputPoints when the input path `index` has been converted. The batch
  // mode frees the source points there, since nothing reads them afterwards.
  virtual void PathConverted(std::size_t /*index*/) {}

  // The preview paint box p. Without one, nothing is drawn.
  virtual bool HasCanvas() const { return false; }
  virtual int CanvasWidth() const { return 0; }
  virtual int CanvasHeight() const { return 0; }
  // Fills the whole client area with white.
  virtual void ClearCanvas() {}
  // A solid pen of the thinnest width in the colour (0x00BBGGRR).
  virtual void SetPen(TColor /*colour*/) {}
  virtual void MoveTo(int /*x*/, int /*y*/) {}
  virtual void LineTo(int /*x*/, int /*y*/) {}
};

}  // namespace aiimport
