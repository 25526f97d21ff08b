#pragma once
#include <QDialog>

namespace km {

// "SORTFILES": sort the name column on name or on extension.
class SortFilesDialog : public QDialog {
    Q_OBJECT
public:
    explicit SortFilesDialog(QWidget* parent = nullptr);
    // 0x80 (name), 0x40 (extension) or 0 when cancelled.
    static int Ask(QWidget* parent);
};

} // namespace km
