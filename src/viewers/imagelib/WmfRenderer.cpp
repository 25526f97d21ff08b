// Windows metafiles, placeable (with the Aldus header) or standard: the
// drawing records that make up most pictures - polygons, polylines, lines,
// rectangles, ellipses, pixels - with solid pens and brushes, mapped from the
// window onto a block of the header's size at 72 pixels per inch. Text,
// bitmaps, regions and clipping are not drawn.
#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace km::imagelib {
namespace {

using detail::ByteReader;

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
// The largest picture a metafile is drawn at, per side; metafiles are
// drawings, and a header may claim any size.
constexpr int kMaxSide = 8192;

enum Record : uint16_t {
    RecEof = 0x0000,
    RecSaveDc = 0x001E,
    RecRealizePalette = 0x0035,
    RecSetPolyFillMode = 0x0106,
    RecRestoreDc = 0x0127,
    RecSelectObject = 0x012D,
    RecSelectPalette = 0x0234,
    RecDeleteObject = 0x01F0,
    RecSetWindowOrg = 0x020B,
    RecSetWindowExt = 0x020C,
    RecLineTo = 0x0213,
    RecMoveTo = 0x0214,
    RecCreatePenIndirect = 0x02FA,
    RecCreateFontIndirect = 0x02FB,
    RecCreateBrushIndirect = 0x02FC,
    RecPolygon = 0x0324,
    RecPolyline = 0x0325,
    RecEllipse = 0x0418,
    RecRectangle = 0x041B,
    RecSetPixel = 0x041F,
    RecPolyPolygon = 0x0538,
    RecRoundRect = 0x061C,
    RecCreatePalette = 0x00F7,
    RecCreatePatternBrush = 0x01F9,
    RecDibCreatePatternBrush = 0x0142,
    RecCreateRegion = 0x06FF,
};

struct Colour {
    uint8_t r = 0, g = 0, b = 0;
};

Colour colourRef(uint32_t ref) {
    return {static_cast<uint8_t>(ref), static_cast<uint8_t>(ref >> 8),
            static_cast<uint8_t>(ref >> 16)};
}

struct Object {
    enum Kind { Free, Pen, Brush, Other } kind = Free;
    bool visible = false; // a pen that draws, a brush that fills
    Colour colour;
    int width = 1; // pens, logical units
};

struct Point {
    double x, y;
};

struct State {
    Object pen{Object::Pen, true, {}, 1};
    Object brush{Object::Brush, true, {255, 255, 255}, 0};
    bool winding = false;
    double orgX = 0, orgY = 0, extX = 0, extY = 0;
    double curX = 0, curY = 0;
};

class Canvas {
public:
    Canvas(PixelBlock& block) : b_(block) {}

    // Fills the polygons together, so holes in a PolyPolygon stay open.
    void fill(const std::vector<std::vector<Point>>& polys, bool winding, Colour c) {
        struct Edge {
            double x0, y0, x1, y1;
            int dir;
        };
        std::vector<Edge> edges;
        double top = 1e300, bottom = -1e300;
        for (const auto& poly : polys) {
            for (size_t i = 0; i < poly.size(); ++i) {
                Point a = poly[i], z = poly[(i + 1) % poly.size()];
                if (a.y == z.y)
                    continue;
                int dir = 1;
                if (a.y > z.y) {
                    std::swap(a, z);
                    dir = -1;
                }
                edges.push_back({a.x, a.y, z.x, z.y, dir});
                top = std::min(top, a.y);
                bottom = std::max(bottom, z.y);
            }
        }
        if (edges.empty())
            return;
        const int yStart = std::max(0, static_cast<int>(std::floor(top)));
        const int yEnd = std::min(b_.height, static_cast<int>(std::ceil(bottom)) + 1);
        std::vector<std::pair<double, int>> crossings;
        for (int y = yStart; y < yEnd; ++y) {
            const double sy = y + 0.5; // pixel centres
            crossings.clear();
            for (const Edge& e : edges) {
                if (sy < e.y0 || sy >= e.y1)
                    continue;
                crossings.push_back({e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir});
            }
            std::sort(crossings.begin(), crossings.end());
            int inside = 0;
            for (size_t i = 0; i + 1 < crossings.size(); ++i) {
                inside = winding ? inside + crossings[i].second : inside ^ 1;
                if (inside != 0)
                    span(y, crossings[i].first, crossings[i + 1].first, c);
            }
        }
    }

    // A line `width` pixels wide; round ends keep joins closed.
    void line(Point a, Point z, double width, Colour c) {
        if (width <= 1.5) {
            thinLine(a, z, c);
            return;
        }
        const double dx = z.x - a.x, dy = z.y - a.y, len = std::hypot(dx, dy);
        const double half = width / 2;
        if (len > 0) {
            const double nx = -dy / len * half, ny = dx / len * half;
            fill({{{a.x + nx, a.y + ny},
                   {z.x + nx, z.y + ny},
                   {z.x - nx, z.y - ny},
                   {a.x - nx, a.y - ny}}},
                 true, c);
        }
        fill({ellipse(a.x - half, a.y - half, a.x + half, a.y + half)}, true, c);
        fill({ellipse(z.x - half, z.y - half, z.x + half, z.y + half)}, true, c);
    }

    void pixel(double x, double y, Colour c) {
        const double fx = std::floor(x), fy = std::floor(y);
        if (fx >= 0 && fy >= 0 && fx < b_.width && fy < b_.height)
            detail::PutPixel(b_, static_cast<int>(fx), static_cast<int>(fy), c.r, c.g, c.b);
    }

    static std::vector<Point> ellipse(double l, double t, double r, double b) {
        const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::abs(r - l) / 2,
                     ry = std::abs(b - t) / 2;
        const int steps = std::clamp(static_cast<int>((rx + ry) * 2), 16, 720);
        std::vector<Point> pts;
        pts.reserve(static_cast<size_t>(steps));
        for (int i = 0; i < steps; ++i) {
            const double a = 2 * M_PI * i / steps;
            pts.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
        }
        return pts;
    }

private:
    void span(int y, double x0, double x1, Colour c) {
        const double from = std::max(0.0, std::ceil(x0 - 0.5));
        const double to = std::min(static_cast<double>(b_.width), std::ceil(x1 - 0.5));
        for (int x = static_cast<int>(from); x < static_cast<int>(to); ++x)
            detail::PutPixel(b_, x, y, c.r, c.g, c.b);
    }

    void thinLine(Point a, Point z, Colour c) {
        const double dx = z.x - a.x, dy = z.y - a.y;
        // Clip to the block first: a hostile coordinate must not mean a
        // billion steps outside it.
        double t0 = 0, t1 = 1;
        auto clip = [&](double p, double q) {
            if (p == 0)
                return q >= 0;
            const double t = q / p;
            if (p < 0) {
                if (t > t1)
                    return false;
                t0 = std::max(t0, t);
            } else {
                if (t < t0)
                    return false;
                t1 = std::min(t1, t);
            }
            return true;
        };
        if (!clip(-dx, a.x + 1) || !clip(dx, b_.width + 1 - a.x) || !clip(-dy, a.y + 1) ||
            !clip(dy, b_.height + 1 - a.y))
            return;
        const Point p{a.x + t0 * dx, a.y + t0 * dy}, q{a.x + t1 * dx, a.y + t1 * dy};
        const int steps = static_cast<int>(std::max(std::abs(q.x - p.x), std::abs(q.y - p.y))) + 1;
        for (int i = 0; i <= steps; ++i)
            pixel(p.x + (q.x - p.x) * i / steps, p.y + (q.y - p.y) * i / steps, c);
    }

    PixelBlock& b_;
};

class Renderer {
public:
    Renderer(PixelBlock& block, double boundsLeft, double boundsTop, double boundsWidth,
             double boundsHeight, size_t objects)
        : canvas_(block), width_(block.width), height_(block.height), objects_(objects) {
        // Until the file sets a window, its bounds are the window.
        state_.orgX = boundsLeft;
        state_.orgY = boundsTop;
        state_.extX = boundsWidth;
        state_.extY = boundsHeight;
    }

    void record(uint16_t function, ByteReader p) {
        switch (function) {
        case RecSetWindowOrg: {
            int16_t y, x;
            if (p.i16(y) && p.i16(x)) {
                state_.orgX = x;
                state_.orgY = y;
            }
            break;
        }
        case RecSetWindowExt: {
            int16_t y, x;
            if (p.i16(y) && p.i16(x) && x != 0 && y != 0) {
                state_.extX = x;
                state_.extY = y;
            }
            break;
        }
        case RecSetPolyFillMode: {
            uint16_t mode;
            if (p.u16(mode))
                state_.winding = mode == 2;
            break;
        }
        case RecSaveDc:
            saved_.push_back(state_);
            break;
        case RecRestoreDc: {
            int16_t n;
            if (!p.i16(n))
                break;
            // -1 is the last saved state, a positive number counts from the first.
            size_t keep =
                n < 0 ? (static_cast<size_t>(-n) <= saved_.size() ? saved_.size() + n : SIZE_MAX)
                      : static_cast<size_t>(n) - 1;
            if (n == 0 || keep >= saved_.size())
                break;
            state_ = saved_[keep];
            saved_.resize(keep);
            break;
        }
        case RecCreatePenIndirect: {
            uint16_t style;
            int16_t w, unused;
            uint32_t ref;
            if (!p.u16(style) || !p.i16(w) || !p.i16(unused) || !p.u32(ref))
                break;
            Object pen{Object::Pen, (style & 0xF) != 5, colourRef(ref),
                       std::max<int>(1, std::abs(w))};
            add(pen);
            break;
        }
        case RecCreateBrushIndirect: {
            uint16_t style;
            uint32_t ref;
            if (!p.u16(style) || !p.u32(ref))
                break;
            // Hatched brushes are filled solid in their colour; the null and
            // pattern brushes leave the inside alone.
            add({Object::Brush, style == 0 || style == 2, colourRef(ref), 0});
            break;
        }
        case RecCreateFontIndirect:
        case RecCreatePalette:
        case RecCreatePatternBrush:
        case RecDibCreatePatternBrush:
        case RecCreateRegion:
            add({Object::Other, false, {}, 0});
            break;
        case RecSelectObject: {
            uint16_t i;
            if (!p.u16(i) || i >= objects_.size())
                break;
            if (objects_[i].kind == Object::Pen)
                state_.pen = objects_[i];
            else if (objects_[i].kind == Object::Brush)
                state_.brush = objects_[i];
            break;
        }
        case RecDeleteObject: {
            uint16_t i;
            if (p.u16(i) && i < objects_.size())
                objects_[i] = Object{};
            break;
        }
        case RecMoveTo: {
            int16_t y, x;
            if (p.i16(y) && p.i16(x)) {
                state_.curX = x;
                state_.curY = y;
            }
            break;
        }
        case RecLineTo: {
            int16_t y, x;
            if (!p.i16(y) || !p.i16(x))
                break;
            stroke({map(state_.curX, state_.curY), map(x, y)}, false);
            state_.curX = x;
            state_.curY = y;
            break;
        }
        case RecPolygon:
        case RecPolyline: {
            std::vector<Point> pts;
            uint16_t n;
            if (!p.u16(n) || !points(p, n, pts))
                break;
            if (function == RecPolygon)
                shape({pts});
            else
                stroke(pts, false);
            break;
        }
        case RecPolyPolygon: {
            uint16_t n;
            if (!p.u16(n) || !p.has(static_cast<size_t>(n) * 2))
                break;
            std::vector<uint16_t> counts(n);
            for (auto& c : counts)
                c = p.u16(c) ? c : 0;
            std::vector<std::vector<Point>> polys(n);
            for (size_t i = 0; i < n; ++i)
                if (!points(p, counts[i], polys[i]))
                    return;
            shape(polys);
            break;
        }
        case RecRectangle:
        case RecRoundRect:
        case RecEllipse: {
            int16_t b, r, t, l;
            if (function == RecRoundRect && !p.skip(4))
                break;
            if (!p.i16(b) || !p.i16(r) || !p.i16(t) || !p.i16(l))
                break;
            const Point a = map(l, t), z = map(r, b);
            if (function == RecEllipse)
                shape({Canvas::ellipse(a.x, a.y, z.x, z.y)});
            else
                shape({{a, {z.x, a.y}, z, {a.x, z.y}}});
            break;
        }
        case RecSetPixel: {
            uint32_t ref;
            int16_t y, x;
            if (p.u32(ref) && p.i16(y) && p.i16(x)) {
                const Point d = map(x, y);
                canvas_.pixel(d.x, d.y, colourRef(ref));
            }
            break;
        }
        default:
            break; // text, bitmaps, clipping, palettes: not drawn
        }
    }

private:
    Point map(double x, double y) const {
        return {(x - state_.orgX) * width_ / state_.extX,
                (y - state_.orgY) * height_ / state_.extY};
    }

    bool points(ByteReader& p, size_t n, std::vector<Point>& out) const {
        if (!p.has(n * 4))
            return false;
        out.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            int16_t x = 0, y = 0;
            p.i16(x);
            p.i16(y);
            out.push_back(map(x, y));
        }
        return true;
    }

    void shape(const std::vector<std::vector<Point>>& polys) {
        if (state_.brush.visible)
            canvas_.fill(polys, state_.winding, state_.brush.colour);
        for (const auto& poly : polys)
            stroke(poly, true);
    }

    void stroke(const std::vector<Point>& pts, bool closed) {
        if (!state_.pen.visible || pts.empty())
            return;
        const double w = std::max(1.0, state_.pen.width * std::abs(width_ / state_.extX));
        for (size_t i = 0; i + 1 < pts.size(); ++i)
            canvas_.line(pts[i], pts[i + 1], w, state_.pen.colour);
        if (closed && pts.size() > 2)
            canvas_.line(pts.back(), pts.front(), w, state_.pen.colour);
    }

    // A new object takes the lowest free slot of the table.
    void add(const Object& o) {
        for (auto& slot : objects_) {
            if (slot.kind == Object::Free) {
                slot = o;
                return;
            }
        }
    }

    Canvas canvas_;
    double width_, height_;
    State state_;
    std::vector<State> saved_;
    std::vector<Object> objects_;
};

} // namespace

int RenderWmf(const uint8_t* data, size_t size, uint32_t background, PixelBlock& out,
              const ProgressFn& progress) {
    ByteReader r(data, size);
    uint32_t key;
    bool placeable = false;
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    uint16_t inch = 0;
    if (r.u32(key) && key == kPlaceableKey) {
        uint16_t handle;
        uint32_t reserved;
        uint16_t checksum;
        if (!r.u16(handle) || !r.i16(left) || !r.i16(top) || !r.i16(right) || !r.i16(bottom) ||
            !r.u16(inch) || !r.u32(reserved) || !r.u16(checksum))
            return ErrFileRead;
        placeable = true;
    } else {
        r.seek(0);
    }
    const size_t headerStart = r.pos();
    uint16_t type, headerWords, version, objects, params;
    uint32_t fileWords, maxRecord;
    if (!r.u16(type) || !r.u16(headerWords) || !r.u16(version) || !r.u32(fileWords) ||
        !r.u16(objects) || !r.u32(maxRecord) || !r.u16(params))
        return ErrFileRead;
    if ((type != 1 && type != 2) || headerWords != 9 || !r.seek(headerStart + 18))
        return ErrFileRead;
    const size_t recordsStart = r.pos();

    // The size: the placeable header's bounds at 72 pixels per inch, or the
    // standard file's first window extent taken as pixels.
    double boundsX = left, boundsY = top, boundsW = right - left, boundsH = bottom - top;
    int64_t width, height;
    if (placeable) {
        if (inch == 0)
            inch = 1440;
        width = static_cast<int64_t>(std::ceil(std::abs(boundsW) * 72.0 / inch - 1e-9));
        height = static_cast<int64_t>(std::ceil(std::abs(boundsH) * 72.0 / inch - 1e-9));
    } else {
        width = height = 0;
        ByteReader scan(data, size);
        scan.seek(recordsStart);
        uint32_t words;
        uint16_t function;
        while (scan.u32(words) && scan.u16(function) && words >= 3 && function != RecEof) {
            if (function == RecSetWindowExt && words >= 5) {
                const int16_t y = static_cast<int16_t>(detail::Le16(scan.here()));
                const int16_t x = static_cast<int16_t>(detail::Le16(scan.here() + 2));
                boundsX = boundsY = 0;
                boundsW = x;
                boundsH = y;
                width = std::abs(x);
                height = std::abs(y);
                break;
            }
            if (!scan.skip((static_cast<size_t>(words) - 3) * 2))
                break;
        }
    }
    if (width <= 0 || height <= 0 || boundsW == 0 || boundsH == 0)
        return ErrFileRead;
    if (width > kMaxSide || height > kMaxSide)
        return ErrOutOfMemory;
    if (int rc = detail::AllocateBlock(out, width, height, background); rc != ErrNone)
        return rc;

    Renderer renderer(out, boundsX, boundsY, boundsW, boundsH, objects);
    r.seek(recordsStart);
    unsigned count = 0;
    for (;;) {
        uint32_t words;
        uint16_t function;
        if (!r.u32(words) || !r.u16(function) || words < 3)
            return ErrFileRead;
        if (function == RecEof)
            break;
        const size_t bytes = (static_cast<size_t>(words) - 3) * 2;
        if (!r.has(bytes))
            return ErrFileRead;
        renderer.record(function, ByteReader(r.here(), bytes));
        r.skip(bytes);
        if (++count % 256 == 0 && !detail::GoOn(progress, r.pos(), size))
            return ErrFileRead;
    }
    if (!detail::GoOn(progress, size, size))
        return ErrFileRead;
    return ErrNone;
}

} // namespace km::imagelib
