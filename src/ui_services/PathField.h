#pragma once
// A name field of the progress windows: one line of text on the button face,
// shortened in the middle so the beginning of the path and the file name stay
// readable.
#include <QString>
#include <QWidget>
#include <string_view>

class QFontMetrics;

namespace km {

// `text` fitted into `width` pixels: whole when it fits; otherwise as much of
// the beginning as fits + "..." + the last path component, or, when even that
// is too wide, the text elided in the middle.
QString ElidePath(const QString& text, const QFontMetrics& metrics, int width);

class PathField : public QWidget {
    Q_OBJECT
public:
    explicit PathField(QWidget* parent = nullptr);

    // UTF-8 bytes as the engines keep names; painted before returning, since
    // the caller goes on working without returning to the event loop.
    void setText(std::string_view utf8);
    const QString& text() const { return text_; }
    // What is drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

} // namespace km
