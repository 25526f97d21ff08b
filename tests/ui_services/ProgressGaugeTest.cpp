#include "ui_services/ProgressGauge.h"

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace km;

namespace {

const QColor kBar(0, 0, 128);
const QColor kBack(Qt::white);
constexpr int kW = 201, kH = 24;

// Without antialiasing every pixel is exactly one of the two colours, so
// whole images can be compared.
QFont crispFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(14);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

QImage render(int position, int range = 100) {
    QImage img(kW, kH, QImage::Format_RGB32);
    img.fill(Qt::red); // anything left unpainted shows up
    QPainter p(&img);
    PaintGauge(p, img.rect(), position, range, kBar, kBack, crispFont());
    return img;
}

// `text` centred in `fg` on `bg` over the whole image.
QImage textImage(const QString& text, QColor fg, QColor bg) {
    QImage img(kW, kH, QImage::Format_RGB32);
    img.fill(bg);
    QPainter p(&img);
    p.setFont(crispFont());
    p.setPen(fg);
    p.drawText(img.rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
    return img;
}

int countColor(const QImage& img, QColor c, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixelColor(x, y) == c;
    return n;
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

TEST(ProgressGauge, EmptyShowsTwoLeadingSpacesAndNoBar) {
    const QImage img = render(0);
    EXPECT_EQ(img, textImage(QStringLiteral("  0%"), kBar, kBack));
    EXPECT_EQ(countColor(img, kBar, QRect(0, 0, 20, kH)), 0);
    EXPECT_GT(countColor(img, kBar, img.rect()), 0); // the digits themselves
}

TEST(ProgressGauge, HalfFillsTheLeftHalfAndInvertsTheDigitsUnderIt) {
    // x = 50 * 201 / 100 = 100: columns 0..99 are bar, the rest background.
    const QImage img = render(50);
    EXPECT_EQ(img.pixelColor(99, 0), kBar);
    EXPECT_EQ(img.pixelColor(100, 0), kBack);
    const QImage normal = textImage(QStringLiteral(" 50%"), kBar, kBack);
    const QImage inverted = textImage(QStringLiteral(" 50%"), kBack, kBar);
    QImage expected = normal;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < 100; ++x)
            expected.setPixelColor(x, y, inverted.pixelColor(x, y));
    EXPECT_EQ(img, expected);
    // The text straddles x, so both halves hold digit pixels.
    EXPECT_GT(countColor(img, kBack, QRect(0, 0, 100, kH)), 0);
    EXPECT_GT(countColor(img, kBar, QRect(100, 0, kW - 100, kH)), 0);
}

TEST(ProgressGauge, FullIsInvertedAndOutOfRangePositionsAreClamped) {
    const QImage full = render(100);
    EXPECT_EQ(full, textImage(QStringLiteral("100%"), kBack, kBar));
    EXPECT_EQ(render(150), full);
    EXPECT_EQ(render(65535), full);
    EXPECT_EQ(render(-5), render(0));
    // A zero range counts as 1.
    EXPECT_EQ(render(1, 0), full);
    EXPECT_EQ(render(0, 0), render(0));
}

TEST(ProgressGauge, ColoursFollowTheDisplayDepth) {
    const GaugeColors mono = ChooseGaugeColors(1, Qt::blue);
    EXPECT_EQ(mono.bar, QColor(Qt::white));
    EXPECT_EQ(mono.background, QColor(Qt::black));
    const GaugeColors colour = ChooseGaugeColors(24, Qt::blue);
    EXPECT_EQ(colour.bar, QColor(Qt::blue));
    EXPECT_EQ(colour.background, QColor(Qt::white));

    ASSERT_TRUE(RegisterGauge());
    EXPECT_EQ(ProgressGauge().colors().background, QColor(Qt::white));
}

// The operation never returns to the event loop while it runs, so a deferred
// update would not show until it ends.
TEST(ProgressGauge, PositionAndFontRepaintBeforeReturning) {
    ProgressGauge gauge;
    gauge.resize(200, 20);
    gauge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gauge));
    PaintCounter counter;
    gauge.installEventFilter(&counter);

    gauge.setPosition(42);
    EXPECT_EQ(gauge.position(), 42);
    EXPECT_EQ(counter.paints, 1);

    const QFont big = crispFont();
    gauge.setGaugeFont(&big, false);
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(gauge.gaugeFont().pixelSize(), 14);
    gauge.setGaugeFont(nullptr, true);
    EXPECT_EQ(counter.paints, 2);
    EXPECT_NE(gauge.gaugeFont().pixelSize(), 14);
}
