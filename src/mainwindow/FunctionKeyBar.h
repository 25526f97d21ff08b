#pragma once
// The ten function-key buttons under the panels: F1 help, F2–F9 with their
// assigned actions, F10 exit.
#include "mainwindow/AppButton.h"

#include <QObject>

#include <array>
#include <functional>

namespace km {

class FunctionKeyBar : public QObject {
    Q_OBJECT
public:
    // `onCommand` receives the command a button posts; `onDefine` opens the
    // assignment dialog (right click).
    FunctionKeyBar(QWidget* parent, std::function<void(int)> onCommand, std::function<void()> onDefine);
    AppButton* button(int index) const { return buttons_[static_cast<size_t>(index)]; }
    // Relabels F2–F9 from the stored assignment.
    void Relabel();
    void setVisible(bool visible);

private:
    std::array<AppButton*, 10> buttons_{};
};

} // namespace km
