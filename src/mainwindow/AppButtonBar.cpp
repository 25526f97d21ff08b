#include "mainwindow/AppButtonBar.h"

#include "fileops/open_execute/AppButtonRunner.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "mainwindow/ButtonParmsDialog.h"
#include "ui_services/AppState.h"

namespace km {

AppButtonBar::AppButtonBar(QWidget* parent, std::function<PlaceholderSources()> sources,
                           std::function<void(const std::string&)> changeDirectory)
    : QObject(parent), sources_(std::move(sources)), changeDirectory_(std::move(changeDirectory)) {
    WriteFirstRunButtons(Settings());
    for (int n = 1; n <= kAppButtonCount; ++n) {
        auto* b = new AppButton(n, false, parent);
        buttons_[static_cast<size_t>(n - 1)] = b;
        connect(b, &QPushButton::clicked, this, [this, n] { Run(n); });
        connect(b, &AppButton::rightClicked, this, [this, n] { Define(n); });
        load(n);
    }
}

void AppButtonBar::load(int number) {
    const AppButtonDefinition d = ReadAppButton(Settings(), number);
    AppButton* b = button(number);
    b->setCaption(QString::fromUtf8(d.name.data(), static_cast<qsizetype>(d.name.size())));
    b->setProgram(d.program);
}

void AppButtonBar::Run(int number) {
    QtOpenExecuteUi ui;
    const AppButtonOutcome out = RunAppButton(ReadAppButton(Settings(), number), sources_(), ui);
    if (!out.changeDirectory.empty())
        changeDirectory_(out.changeDirectory);
}

void AppButtonBar::Define(int number) {
    if (ButtonParmsDialog::Ask(number, button(number)->window()))
        load(number);
}

void AppButtonBar::setVisible(bool firstRow, bool secondRow) {
    for (int n = 1; n <= kAppButtonCount; ++n)
        button(n)->setVisible(n <= 10 ? firstRow : firstRow && secondRow);
}

} // namespace km
