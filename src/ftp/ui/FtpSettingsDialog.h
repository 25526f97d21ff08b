#pragma once
// "FTPSETTINGS": logging, transfer type, screen update, the anonymous
// password, the temporary transfers, and how data connections are made:
// passive by default, and as fast as the link goes unless limited.
#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace km {

class FtpSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `currentDir` is where a relative log file name goes.
    FtpSettingsDialog(QWidget* parent, std::function<std::string()> currentDir);
    static bool Ask(QWidget* parent, std::function<std::string()> currentDir);

private:
    void save();

    std::function<std::string()> currentDir_;
    std::string logFileAtOpen_;
    QCheckBox* logging_;
    QLineEdit* logFile_;
    std::array<QRadioButton*, 3> types_{};
    QCheckBox* dirUpdate_;
    QLineEdit* email_;
    QCheckBox* confirm_;
    QCheckBox* alwaysAscii_;
    QCheckBox* alwaysBinary_;
    QCheckBox* passive_;
    QCheckBox* limitRate_;
    QSpinBox* rate_;
};

} // namespace km
