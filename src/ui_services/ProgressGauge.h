#pragma once
// The percentage bar of the progress windows (window class "GaugeClass"): a bar
// over a fixed range of 100 with a "%3d%%" text that appears inverted where the
// bar has passed.
#include <QColor>
#include <QFont>
#include <QWidget>

class QPainter;

namespace km {

struct GaugeColors {
    QColor bar;
    QColor background;
};

// White on black on a monochrome (1 bit per pixel) display, otherwise
// `caption` on white.
GaugeColors ChooseGaugeColors(int screenDepth, const QColor& caption);

// Fixes the gauge colours for the process from the primary screen. Later calls
// return true at once; false when there is no screen to ask.
bool RegisterGauge();

// Draws a gauge into `client`; `range` 0 counts as 1, positions outside
// 0..range are shown at the nearest end.
void PaintGauge(QPainter& painter, const QRect& client, int position, int range, QColor bar,
                QColor background, const QFont& font);

class ProgressGauge : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRange = 100;

    explicit ProgressGauge(QWidget* parent = nullptr);

    int range() const { return kRange; }
    int position() const { return position_; }
    // Message 0x402: the caller is busy on this thread, so paint now rather
    // than when the event loop next runs.
    void setPosition(int position);
    // Null selects the system font.
    void setGaugeFont(const QFont* font, bool redraw);
    const QFont& gaugeFont() const { return font_; }
    const GaugeColors& colors() const { return colors_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int position_ = 0;
    QFont font_;
    GaugeColors colors_;
};

} // namespace km
