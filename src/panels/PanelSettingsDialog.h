#pragma once
#include <QDialog>
#include <array>

class QButtonGroup;
class QCheckBox;

namespace km {

// "CONFIG": which hidden and system entries the panels list, the case of names,
// and what a right click shows.
class PanelSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PanelSettingsDialog(QWidget* parent = nullptr);
    // True when OK wrote the settings (the caller then re-reads the panels).
    static bool Ask(QWidget* parent);

private:
    void store();

    std::array<QCheckBox*, 4> checks_{};
    QButtonGroup* nameCase_ = nullptr;
    QButtonGroup* rightClick_ = nullptr;
};

} // namespace km
