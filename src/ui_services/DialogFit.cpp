#include "ui_services/DialogFit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include <cstring>

namespace km {
namespace {

constexpr char kFitted[] = "kmDialogFitted";

// Qt's own dialogs (files, printing, message boxes) size themselves.
bool isOwnDialog(const QDialog* d) {
    const char* cls = d->metaObject()->className();
    return std::strncmp(cls, "km::", 4) == 0 || std::strcmp(cls, "QDialog") == 0;
}

// The window manager's frame: as measured on a shown window of the program,
// else a title bar's height and a thin border.
QMargins frameAround(const QDialog* d) {
    const QWidget* owner = d->parentWidget() ? d->parentWidget()->window() : nullptr;
    if (owner && owner->isVisible()) {
        const QRect f = owner->frameGeometry(), g = owner->geometry();
        if (f != g)
            return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
    }
    const int title = std::max(d->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, d),
                               QFontMetrics(d->font()).height() + 12);
    return {4, title + 4, 4, 4};
}

bool isButtonRow(QLayoutItem* item) {
    if (QWidget* w = item->widget())
        return qobject_cast<QDialogButtonBox*>(w) != nullptr;
    QLayout* row = item->layout();
    if (!row || row->count() == 0)
        return false;
    bool button = false;
    for (int i = 0; i < row->count(); ++i) {
        QLayoutItem* part = row->itemAt(i);
        if (part->spacerItem())
            continue;
        if (!qobject_cast<QAbstractButton*>(part->widget()))
            return false;
        button = true;
    }
    return button;
}

// Moves the dialog's content into a scroll area; a closing row of buttons
// stays below it, always in view.
QScrollArea* wrapInScrollArea(QDialog* d) {
    QLayout* content = d->layout();
    QLayoutItem* buttons = nullptr;
    auto* box = qobject_cast<QBoxLayout*>(content);
    if (box && box->direction() == QBoxLayout::TopToBottom && box->count() > 1 &&
        isButtonRow(box->itemAt(box->count() - 1)))
        buttons = box->takeAt(box->count() - 1);
    const QMargins margins = content->contentsMargins();
    auto* inner = new QWidget;
    inner->setObjectName(QStringLiteral("dialogContent"));
    inner->setLayout(content); // takes the layout and its widgets from the dialog
    auto* scroll = new QScrollArea(d);
    scroll->setObjectName(QStringLiteral("dialogScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(inner);
    auto* outer = new QVBoxLayout(d);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(scroll, 1);
    if (buttons) {
        auto* row = new QVBoxLayout;
        row->setContentsMargins(margins.left(), margins.top() / 2, margins.right(), margins.bottom());
        if (QLayout* l = buttons->layout()) {
            l->setParent(nullptr);
            row->addLayout(l);
        } else {
            row->addWidget(buttons->widget());
            delete buttons;
        }
        outer->addLayout(row);
    }
    return scroll;
}

// A layout that fixes the dialog's size is widened from inside.
void widenFixedLayout(QLayout* layout, int width) {
    const QMargins m = layout->contentsMargins();
    auto* spacer = new QSpacerItem(width - m.left() - m.right(), 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    if (auto* grid = qobject_cast<QGridLayout*>(layout))
        grid->addItem(spacer, grid->rowCount(), 0, 1, grid->columnCount());
    else if (auto* box = qobject_cast<QBoxLayout*>(layout))
        box->addItem(spacer);
    else
        delete spacer;
}

} // namespace

int TitleBarWidth(const QString& title, const QFont& font) {
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(bold);
    // The icon on the left and three buttons on the right, about a line high each.
    return fm.horizontalAdvance(title) + 5 * (fm.height() + 8);
}

void DialogFit::Install() {
    static DialogFit* installed = nullptr;
    if (installed || !qApp)
        return;
    installed = new DialogFit(qApp);
    qApp->installEventFilter(installed);
}

void DialogFit::Fit(QDialog* d) {
    if (d->property(kFitted).toBool() || !isOwnDialog(d) || !d->layout())
        return;
    d->setProperty(kFitted, true);
    QScreen* screen = d->screen();
    if (d->parentWidget() && d->parentWidget()->window()->screen())
        screen = d->parentWidget()->window()->screen();
    if (!screen)
        return;
    const QMargins frame = frameAround(d);
    const QSize room = screen->availableGeometry().size() -
                       QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    d->layout()->activate();
    const QSize need = d->sizeHint().expandedTo(d->minimumSize());
    // Content that can shrink (lists, editors) shrinks; only what cannot
    // scrolls.
    const QSize least = d->layout()->totalMinimumSize().expandedTo(d->minimumSize());
    const int titleWidth = std::min(TitleBarWidth(d->windowTitle(), d->font()), room.width());
    QSize size = d->size().expandedTo(need);
    if (least.width() > room.width() || least.height() > room.height()) {
        QScrollArea* scroll = wrapInScrollArea(d);
        const int bar = d->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
        if (least.height() > room.height())
            size.rwidth() += bar;
        if (least.width() > room.width())
            size.rheight() += bar;
        d->setMinimumSize(d->layout()->totalMinimumSize().boundedTo(room));
    } else if (d->layout()->sizeConstraint() == QLayout::SetFixedSize) {
        if (need.width() < titleWidth)
            widenFixedLayout(d->layout(), titleWidth);
        return;
    }
    size = size.expandedTo(QSize(titleWidth, 0)).boundedTo(room);
    d->setMinimumWidth(std::max(d->minimumWidth(), titleWidth));
    d->resize(size);
}

bool DialogFit::eventFilter(QObject* watched, QEvent* event) {
    // Before the dialog positions itself over its owner in its own showEvent.
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        if (auto* d = qobject_cast<QDialog*>(watched); d && d->isWindow())
            Fit(d);
    }
    return false;
}

} // namespace km
