#pragma once
#include "fileops/open_execute/ui/LineInputDialog.h"

namespace km {

// "NEWDIR": the directory, or '/'-separated path of directories, to make.
class NewDirDialog : public LineInputDialog {
public:
    explicit NewDirDialog(QWidget* parent = nullptr)
        : LineInputDialog(
              {"NEWDIR", "KM - Make new directory", "New directory:", "edit1250", "&Make"},
              parent) {}
    static std::optional<std::string> Ask(QWidget* parent) { return NewDirDialog(parent).ask(); }
};

} // namespace km
