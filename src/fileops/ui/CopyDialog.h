#pragma once
#include <QDialog>

#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;

namespace km {

// "COPY" and "RENMOVE": the target, "only newer" and, with an FTP panel
// involved, the transfer type.
class CopyDialog : public QDialog {
    Q_OBJECT
public:
    struct Result {
        std::string target;
        bool onlyNewer = false;
        int transferType = 1; // 1 binary, 2 ASCII, 3 "L 8"
    };
    CopyDialog(bool move, const std::string& label, const std::string& target, int transferType,
               bool ftpInvolved, QWidget* parent);
    static std::optional<Result> Ask(bool move, const std::string& label, const std::string& target,
                                     int transferType, bool ftpInvolved, QWidget* parent);

private:
    QLineEdit* edit_;
    QCheckBox* onlyNewer_;
    int transferType_;
};

} // namespace km
