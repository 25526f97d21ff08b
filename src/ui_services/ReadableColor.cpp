#include "ui_services/ReadableColor.h"

#include <algorithm>
#include <cmath>

namespace km {
namespace {

double luminance(const QColor& c) {
    const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& background, const QColor& preferred) {
    if (ContrastRatio(background, preferred) >= kReadableContrast)
        return preferred;
    const QColor black(0, 0, 0), white(255, 255, 255);
    const QColor toward = ContrastRatio(background, black) >= ContrastRatio(background, white) ? black : white;
    // Darker or lighter in steps, so that red stays red and blue blue.
    for (int step = 1; step < 20; ++step) {
        const double t = step / 20.0;
        const auto mix = [t](int from, int to) { return static_cast<int>(std::lround(from + (to - from) * t)); };
        const QColor mixed(mix(preferred.red(), toward.red()), mix(preferred.green(), toward.green()),
                           mix(preferred.blue(), toward.blue()));
        if (ContrastRatio(background, mixed) >= kReadableContrast)
            return mixed;
    }
    return toward;
}

} // namespace km
