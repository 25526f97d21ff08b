#include "mainwindow/FunctionKeyBar.h"

#include "mainwindow/FunctionKeyActions.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "ui_services/AppState.h"

namespace km {

FunctionKeyBar::FunctionKeyBar(QWidget* parent, std::function<void(int)> onCommand,
                               std::function<void()> onDefine)
    : QObject(parent) {
    for (int i = 0; i < 10; ++i) {
        auto* b = new AppButton(i + 1, true, parent);
        buttons_[static_cast<size_t>(i)] = b;
        const int command = i == 0 ? CmdHelpIndex : i == 9 ? CmdExit : CmdFunctionKey2 + (i - 1);
        connect(b, &QPushButton::clicked, this, [onCommand, command] { onCommand(command); });
        connect(b, &AppButton::rightClicked, this, [onDefine] { onDefine(); });
    }
    buttons_[0]->setCaption(QStringLiteral("Help"));
    buttons_[9]->setCaption(QString::fromUtf8(LoadString(4310).data()));
    Relabel();
}

void FunctionKeyBar::Relabel() {
    const auto assignment = ReadFunctionKeyAssignment(Settings());
    for (int k = 0; k < 8; ++k) {
        const FunctionKeyAction& a = FunctionKeyActionAt(assignment[static_cast<size_t>(k)]);
        buttons_[static_cast<size_t>(k + 1)]->setCaption(QString::fromUtf8(a.name.data(), static_cast<qsizetype>(a.name.size())));
    }
}

void FunctionKeyBar::setVisible(bool visible) {
    for (auto* b : buttons_)
        b->setVisible(visible);
}

} // namespace km
