// What a file holds that does not become paths to cut. A sign maker cuts outlines: live text,
// placed images, gradient and pattern fills do not arrive as they expect, and art on hidden
// layers is read like any other. After reading, the window, `--list` and `--batch` say so with
// counts. The scan looks at the same lines the interpreter reads (after a start marker, or from
// the first line with "Parse Everything", up to "%%Trailer") and changes nothing that is read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "interpreter.h"
#include "lines.h"

namespace aiimport {

struct NotImportedCounts {
  // Text objects: "To" … "TO" (Illustrator 3 to 10) and "/AI11Text :" (CS and later).
  uint64_t TextObjects = 0;
  // Raster images, embedded or linked ("%AI5_BeginRaster", or "XI"/"XF" without it), and
  // placed files ("%AI5_BeginPlace").
  uint64_t Images = 0;
  // Objects filled with a gradient ("Bb" … "BB") or a gradient mesh ("/Mesh X!").
  uint64_t GradientFills = 0;
  // Objects filled while the fill is a pattern ("(name) … p" until another fill is set); a
  // compound path counts once.
  uint64_t PatternFills = 0;
  // Painted paths (each one the interpreter reads) on layers whose "Lb" makes them hidden,
  // directly or through a hidden parent layer; and how many hidden layers hold them.
  uint64_t HiddenLayerPaths = 0;
  uint64_t HiddenLayers = 0;
  // A page read as a drawing: paths in optional content that is off (left out, unlike the
  // paths of Illustrator's hidden layers, which are read), and art drawn through a clipping
  // path (imported as the clipping's outline when it fills all of it, else whole).
  uint64_t HiddenPathsLeftOut = 0;
  uint64_t ClippedShapes = 0;

  bool Empty() const {
    return TextObjects == 0 && Images == 0 && GradientFills == 0 && PatternFills == 0 &&
           HiddenLayerPaths == 0 && HiddenPathsLeftOut == 0 && ClippedShapes == 0;
  }
  bool operator==(const NotImportedCounts&) const = default;
};

// Counts over the lines as InterpretLines reads them with these options. With `release`, the
// count is its reader number `reader` and reports the lines it has read.
NotImportedCounts CountNotImported(const LineList& lines, const InterpretOptions& options,
                                   TextRelease* release = nullptr, std::size_t reader = 0);

// The status-bar sentence: "Not imported: 12 text objects (convert text to outlines before
// saving), 1 placed image, 2 gradient fills, 1 pattern fill; 340 paths lie on hidden layers".
// Parts with a count of zero are left out; empty when everything is zero. Counts are written
// with `separator` between groups of three digits.
std::string NotImportedMessage(const NotImportedCounts& counts, std::string_view separator = "");

}  // namespace aiimport
