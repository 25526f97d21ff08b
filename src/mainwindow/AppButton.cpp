#include "mainwindow/AppButton.h"

#include "ui_services/ReadableColor.h"

#include "fileops/open_execute/ProgramIcon.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"

#include <QMouseEvent>
#include <QPainter>

namespace km {

AppButton::AppButton(int number, bool isFunctionKey, QWidget* parent)
    : QPushButton(parent), number_(number), isFunctionKey_(isFunctionKey) {
    setObjectName((isFunctionKey ? QStringLiteral("fkey%1") : QStringLiteral("appbutton%1")).arg(number));
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QString::fromUtf8(LoadString(isFunctionKey ? 4015 : 4010).data()));
}

void AppButton::setCaption(const QString& caption) {
    caption_ = caption;
    setText(caption); // for accessibility and tests; painting is our own
    update();
}

void AppButton::setProgram(const std::string& program) {
    program_ = program;
    icon_.reset();
    update();
}

QIcon AppButton::icon() {
    if (isFunctionKey_ || program_.empty() || Settings().GetInt("Algemeen", "ShowIcon", 1) != 1)
        return {};
    if (!icon_) {
        const std::string name = ProgramIconName(program_);
        const QString qname = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        icon_ = name.empty() ? QIcon() : name[0] == '/' ? QIcon(qname) : QIcon::fromTheme(qname);
    }
    return *icon_;
}

FunctionKeyColors FunctionKeyColorsFor(const QPalette& palette) {
    FunctionKeyColors c;
    c.face = palette.color(QPalette::Button);
    // The key number stands apart from the name in the palette's link colour,
    // readable on the face whatever the theme.
    c.number = ReadableOn(c.face, palette.color(QPalette::Link));
    c.name = ReadableOn(c.face, palette.color(QPalette::ButtonText));
    return c;
}

void AppButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Button));
    QRect content = r.adjusted(2, 0, -2, 0);
    const QFontMetrics fm(font());
    if (isFunctionKey_) {
        const FunctionKeyColors colors = FunctionKeyColorsFor(palette());
        p.setPen(colors.number);
        p.drawText(content, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QStringLiteral("F%1").arg(number_));
        const QRect nameArea = content.adjusted(0, 0, -6, -2);
        p.setPen(colors.name);
        // A name a little too long for a narrow key is drawn smaller before
        // it is cut.
        QFont small = font();
        for (int step = 0; step < 3 && QFontMetrics(small).horizontalAdvance(caption_) > nameArea.width(); ++step)
            small.setPointSizeF(small.pointSizeF() * 0.9);
        p.setFont(small);
        p.drawText(nameArea, Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine,
                   QFontMetrics(small).elidedText(caption_, Qt::ElideRight, nameArea.width()));
        p.setFont(font());
    } else {
        const QIcon ic = icon();
        if (!ic.isNull()) {
            p.drawPixmap(1, (r.height() - 16) / 2, ic.pixmap(16, 16));
            content.setLeft(content.left() + 16);
        }
        p.setPen(FunctionKeyColorsFor(palette()).name);
        p.drawText(content, Qt::AlignCenter | Qt::TextSingleLine,
                   fm.elidedText(caption_, Qt::ElideRight, content.width()));
    }
    // One-pixel edges: light top-left and black bottom-right when up, the
    // other way round while pressed, with the dark grey just inside.
    const bool down = isDown();
    const QColor light(0xE0, 0xE0, 0xE0), dark(0x7F, 0x7F, 0x7F), black(0, 0, 0);
    const QColor topLeft = down ? black : light, bottomRight = down ? light : black;
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    p.setPen(dark);
    if (down) {
        p.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
        p.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
    } else {
        p.drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
        p.drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - 1);
    }
}

void AppButton::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton)
        return; // acts on release
    QPushButton::mousePressEvent(e);
}

void AppButton::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        if (rect().contains(e->position().toPoint()))
            emit rightClicked();
        return;
    }
    QPushButton::mouseReleaseEvent(e);
}

} // namespace km
