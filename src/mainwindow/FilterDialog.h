#pragma once
#include <QDialog>

class QLineEdit;

namespace km {

// "FILTER": the wildcard mask both panels list files through.
class FilterDialog : public QDialog {
    Q_OBJECT
public:
    // Starts from the current shared mask.
    explicit FilterDialog(QWidget* parent = nullptr);
    // True when "Filter" set a new mask (the caller then re-reads the active panel).
    static bool Ask(QWidget* parent);

private:
    void apply();

    QLineEdit* mask_ = nullptr;
};

} // namespace km
