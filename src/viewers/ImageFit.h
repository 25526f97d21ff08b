#pragma once
// How the picture window fits an image into its display area. Whole-number
// arithmetic throughout, as the window has always done it; an image that
// fits is never enlarged.
#include <cstdint>

namespace km {

struct FittedSize {
    int width = 0;
    int height = 0;
    bool scaled = false;
};

// The size at which a w x h image is shown in an area of areaW x areaH. A
// side scaled below one pixel is kept at one, so a very long, thin image
// still shows.
FittedSize FitImage(int w, int h, int areaW, int areaH);

// Where an image side of `size` starts in an area side of `area`: centred
// when it is smaller, else at the edge.
inline int CentreOffset(int size, int area) {
    return size < area ? (area - size) / 2 : 0;
}

} // namespace km
