#pragma once
#include "fileops/FileOpUi.h"

#include <QDialog>

namespace km {

// "OVERWRITE": replace an existing target? Yes, Yes to all, No or Cancel.
class OverwriteDialog : public QDialog {
    Q_OBJECT
public:
    OverwriteDialog(const OverwriteQuestion& q, QWidget* parent);
    // One of OverwriteAnswer; the close box counts as Cancel.
    static int Ask(const OverwriteQuestion& q, QWidget* parent);
    // "<size> bytes, <long local date and time>"
    static std::string SizeAndTime(uint64_t size, int64_t time);
};

} // namespace km
