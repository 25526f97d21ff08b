#pragma once
#include "fileops/open_execute/DiskSpaceCounter.h"

#include <QDialog>

#include <string>

namespace km {

// "CALCSPACE": the totals of one directory tree.
class CalcSpaceDialog : public QDialog {
    Q_OBJECT
public:
    // `label` is "Contents of " + the directory.
    CalcSpaceDialog(const std::string& label, const DiskSpaceTotals& totals, QWidget* parent);
};

} // namespace km
