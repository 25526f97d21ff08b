#include "viewers/ImageFit.h"

namespace km {
namespace {

int atLeastOne(int64_t v) {
    return v < 1 ? 1 : static_cast<int>(v);
}

} // namespace

FittedSize FitImage(int w, int h, int areaW, int areaH) {
    if (w <= 0 || h <= 0 || areaW <= 0 || areaH <= 0)
        return {w, h, false};
    const int64_t W = areaW, H = areaH;
    const bool wide = w > areaW, tall = h > areaH;
    // Both too large: the smaller of W / w and H / h, compared exactly as
    // W * h against H * w.
    const bool byWidth = wide && (!tall || W * h <= H * w);
    if (byWidth)
        return {areaW, atLeastOne(h * W / w), true};
    if (tall)
        return {atLeastOne(w * H / h), areaH, true};
    return {w, h, false};
}

} // namespace km
