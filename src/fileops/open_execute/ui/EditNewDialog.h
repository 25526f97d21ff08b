#pragma once
#include "fileops/open_execute/ui/LineInputDialog.h"

namespace km {

// "EDITNEW": the name of a file that the editor creates.
class EditNewDialog : public LineInputDialog {
public:
    explicit EditNewDialog(QWidget* parent = nullptr)
        : LineInputDialog({"EDITNEW", "KM - Edit new file", "Filename:", "edit1255", "OK"},
                          parent) {}
    static std::optional<std::string> Ask(QWidget* parent) { return EditNewDialog(parent).ask(); }
};

} // namespace km
