#include "mainwindow/FunctionKeyBar.h"

#include "mainwindow/FunctionKeyActions.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "ui_services/AppState.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace km {

FunctionKeyButton::FunctionKeyButton(int key, QWidget* parent) : QPushButton(parent), key_(key) {
    setObjectName(QStringLiteral("fkey%1").arg(key));
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QString::fromUtf8(LoadString(4015).data()));
}

void FunctionKeyButton::setActionName(const QString& name) {
    name_ = name;
    setText(name); // for accessibility and tests; painting is our own
    update();
}

void FunctionKeyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.text.clear();
    style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &p, this);
    const QRect r = rect().adjusted(4, 2, -4, -2);
    QFont small = font();
    small.setBold(true);
    p.setFont(small);
    // "F%d" in white with a dark edge so it reads on any button face.
    const QString label = QStringLiteral("F%1").arg(key_);
    p.setPen(Qt::black);
    p.drawText(r.translated(1, 1), Qt::AlignLeft | Qt::AlignTop, label);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignLeft | Qt::AlignTop, label);
    p.setFont(font());
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(r, Qt::AlignRight | Qt::AlignBottom, name_);
}

void FunctionKeyButton::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        emit rightClicked();
        return;
    }
    QPushButton::mousePressEvent(e);
}

FunctionKeyBar::FunctionKeyBar(QWidget* parent, std::function<void(int)> onCommand,
                               std::function<void()> onDefine)
    : QObject(parent) {
    for (int i = 0; i < 10; ++i) {
        auto* b = new FunctionKeyButton(i + 1, parent);
        buttons_[static_cast<size_t>(i)] = b;
        const int command = i == 0 ? CmdHelpIndex : i == 9 ? CmdExit : CmdFunctionKey2 + (i - 1);
        connect(b, &QPushButton::clicked, this, [onCommand, command] { onCommand(command); });
        connect(b, &FunctionKeyButton::rightClicked, this, [onDefine] { onDefine(); });
    }
    buttons_[0]->setActionName(QStringLiteral("Help"));
    buttons_[9]->setActionName(QString::fromUtf8(LoadString(4310).data()));
    Relabel();
}

void FunctionKeyBar::Relabel() {
    const auto assignment = ReadFunctionKeyAssignment(Settings());
    for (int k = 0; k < 8; ++k) {
        const FunctionKeyAction& a = FunctionKeyActionAt(assignment[static_cast<size_t>(k)]);
        buttons_[static_cast<size_t>(k + 1)]->setActionName(QString::fromUtf8(a.name.data(), static_cast<qsizetype>(a.name.size())));
    }
}

void FunctionKeyBar::setVisible(bool visible) {
    for (auto* b : buttons_)
        b->setVisible(visible);
}

} // namespace km
