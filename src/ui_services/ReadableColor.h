#pragma once
// Text colours a person can read: the contrast ratio of the web's
// accessibility guidelines (1 to 21), and the colour to draw with when the
// preferred one is too faint on its background.
#include <QColor>

namespace km {

constexpr double kReadableContrast = 4.5;

double ContrastRatio(const QColor& a, const QColor& b);

// `preferred` when it reaches kReadableContrast on `background`, else the
// same hue darkened or lightened (toward black or white, whichever stands out
// more) until it does.
QColor ReadableOn(const QColor& background, const QColor& preferred);

} // namespace km
