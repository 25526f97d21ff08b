#pragma once
#include <QDialog>
#include <array>
#include <optional>

class QComboBox;

namespace km {

// "FKEYS": which action each of F2–F9 performs.
class FunctionKeyDialog : public QDialog {
    Q_OBJECT
public:
    // Starts from the assignment in the store, re-read on every opening.
    explicit FunctionKeyDialog(QWidget* parent = nullptr);

    // The assignment OK stored (the caller relabels the F2–F9 buttons), or
    // nullopt when cancelled.
    static std::optional<std::array<int, 8>> Ask(QWidget* parent);

    // Element k: the action index chosen for F(k + 2).
    std::array<int, 8> assignment() const;

private:
    void store();

    std::array<QComboBox*, 8> lists_{};
};

} // namespace km
