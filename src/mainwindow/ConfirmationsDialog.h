#pragma once
#include <QDialog>
#include <array>

class QCheckBox;

namespace km {

// "CONFIRMATIONS": which operations ask before they go ahead.
class ConfirmationsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConfirmationsDialog(QWidget* parent = nullptr);
    // True when OK stored the switches. Callers read them at the moment of use.
    static bool Ask(QWidget* parent);

private:
    void store();

    std::array<QCheckBox*, 4> checks_{};
};

} // namespace km
