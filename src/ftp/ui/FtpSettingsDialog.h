#pragma once
// "FTPSETTINGS": logging, transfer type, screen update, the anonymous
// password and the temporary transfers.
#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QRadioButton;

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
};

} // namespace km
