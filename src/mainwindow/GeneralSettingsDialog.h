#pragma once
#include <QDialog>
#include <array>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace km {

// "PATHS": the window title, which bars and task-bar icons are shown, the
// title clock and the editor choice.
class GeneralSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit GeneralSettingsDialog(QWidget* parent = nullptr);

    // The entered title when OK stored the settings, nullopt when cancelled.
    // The caller sets the window title (empty shows "Kestrum", as at start-up)
    // and re-applies the bars, task-bar icons and clock from the store.
    static std::optional<std::string> Ask(QWidget* parent);

    std::string title() const;

private:
    void updateEnabling();
    void store();

    QLineEdit* title_ = nullptr;
    std::array<QCheckBox*, 10> checks_{};
    QRadioButton* internalEditor_ = nullptr;
    QRadioButton* externalEditor_ = nullptr;
    QLineEdit* editor_ = nullptr;
};

} // namespace km
