#pragma once
// The twenty application buttons above the panels: a click runs the
// button's program or changes the active directory, a right click opens
// its definition.
#include "fileops/open_execute/Placeholders.h"
#include "mainwindow/AppButton.h"

#include <QObject>

#include <array>
#include <functional>
#include <string>

namespace km {

class AppButtonBar : public QObject {
    Q_OBJECT
public:
    // `sources` asks the main window for the panels' files and directories;
    // `changeDirectory` switches the active panel.
    AppButtonBar(QWidget* parent, std::function<PlaceholderSources()> sources,
                 std::function<void(const std::string&)> changeDirectory);
    AppButton* button(int number) const { return buttons_[static_cast<size_t>(number - 1)]; }

    void Run(int number);
    // "BUTTONPARMS" for the button; a saved definition relabels it.
    void Define(int number);
    // Row 1 when `firstRow`, row 2 as well when `secondRow`.
    void setVisible(bool firstRow, bool secondRow);

private:
    void load(int number);

    std::array<AppButton*, 20> buttons_{};
    std::function<PlaceholderSources()> sources_;
    std::function<void(const std::string&)> changeDirectory_;
};

} // namespace km
