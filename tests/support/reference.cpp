#include "reference.h"

#include "numeric.h"
#include "orientation.h"

namespace aiimport::testing {

int32_t NestingDepth(const std::vector<tdotpath>& list, std::size_t i) {
  const tdotpath& path = list[i];
  int32_t depth = 2147483647;
  for (const Tdot& d : path.Items) {
    int32_t count = 0;
    for (std::size_t j = 0; j < list.size(); ++j)
      if (j != i && list[j].CompoundNo == path.CompoundNo && PointInPath(list[j], d.X, d.Y))
        ++count;
    if (count < depth) depth = count;
  }
  return depth;
}

RenderRequest RenderRequestFromValue(int32_t value) {
  switch (value) {
    case 1:
      return RenderRequest::FitAll;
    case 2:
      return RenderRequest::FitSelection;
    case 10:
      return RenderRequest::RepaintAll;
    default:
      return RenderRequest::KeepExtent;
  }
}

uint32_t RoundLow8(long double v) {
  return static_cast<uint32_t>(RoundLow32(v)) & 0xFFu;
}

}  // namespace aiimport::testing
