#include "viewers/ImageFit.h"

#include <gtest/gtest.h>

using namespace km;

namespace {

void expectFit(int w, int h, int areaW, int areaH, int wantW, int wantH, bool scaled) {
    const FittedSize f = FitImage(w, h, areaW, areaH);
    EXPECT_EQ(f.width, wantW) << w << "x" << h << " in " << areaW << "x" << areaH;
    EXPECT_EQ(f.height, wantH) << w << "x" << h << " in " << areaW << "x" << areaH;
    EXPECT_EQ(f.scaled, scaled) << w << "x" << h << " in " << areaW << "x" << areaH;
}

TEST(FitImage, ScalesDownByTheTighterSideKeepingTheAspect) {
    expectFit(800, 200, 400, 300, 400, 100, true); // only too wide
    expectFit(200, 600, 400, 300, 100, 300, true); // only too tall
    expectFit(2000, 500, 400, 300, 400, 100, true);
    expectFit(500, 2000, 400, 300, 75, 300, true);
    expectFit(800, 600, 400, 300, 400, 300, true); // the same ratio both ways
    // The ratios differ only past the decimal point and are compared on
    // the products: 300/301 < 400/401 scales by the height, 400/402 < 300/301
    // by the width; the other side is truncated.
    expectFit(401, 301, 400, 300, 399, 300, true);
    expectFit(402, 301, 400, 300, 400, 299, true);
}

TEST(FitImage, NeverEnlargesAndKeepsThinImagesVisible) {
    expectFit(100, 50, 400, 300, 100, 50, false);
    expectFit(400, 300, 400, 300, 400, 300, false);
    expectFit(1, 1, 400, 300, 1, 1, false);
    // 1 x 100000 / 10000 would be no pixel at all.
    expectFit(10000, 1, 400, 300, 400, 1, true);
    expectFit(1, 100000, 400, 300, 1, 300, true);
}

TEST(FitImage, CentresWhatIsSmallerThanTheArea) {
    // 800 x 200 in 400 x 300 shows at 400 x 100 with 100 pixels above it.
    const FittedSize f = FitImage(800, 200, 400, 300);
    EXPECT_EQ(CentreOffset(f.width, 400), 0);
    EXPECT_EQ(CentreOffset(f.height, 300), 100);
    EXPECT_EQ(CentreOffset(101, 400), 149);
    EXPECT_EQ(CentreOffset(500, 400), 0);
}

} // namespace
