#pragma once
#include "fileops/open_execute/AssociationWriter.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QLineEdit;

namespace km {

// "ASSOCIATE": the extension, its file type and the command that opens it.
class AssociateDialog : public QDialog {
    Q_OBJECT
public:
    struct Result {
        std::string description;
        std::string command;
    };
    AssociateDialog(const Association& current, QWidget* parent);
    static std::optional<Result> Ask(const Association& current, QWidget* parent);

    // The open-file dialog behind "&Browse..." (tests replace it); an empty
    // result leaves the command alone.
    static std::function<QString(QWidget* parent)> chooseProgram;

private:
    void browse();

    QLineEdit* description_;
    QLineEdit* command_;
};

} // namespace km
