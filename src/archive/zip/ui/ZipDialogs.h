#pragma once
// The two questions of the zip command: how much of the path goes into the archive
// ("ZIPTO") and the archive's name ("ZIP").
#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;
class QRadioButton;

namespace km {

// "KM - Path information in archive": None (0), relative to the source directory (1),
// whole path (2).
class ZipPathDialog : public QDialog {
    Q_OBJECT
public:
    ZipPathDialog(int initialMode, QWidget* parent);
    int mode() const;
    // The chosen mode, or nothing after Cancel.
    static std::optional<int> Ask(int initialMode, QWidget* parent);

private:
    QRadioButton* buttons_[3] = {};
};

// "KM - Zip files": the archive name under "Zip to:", with a folder picker.
class ZipNameDialog : public QDialog {
    Q_OBJECT
public:
    ZipNameDialog(const std::string& initialName, QWidget* parent);
    std::string name() const;
    static std::optional<std::string> Ask(const std::string& initialName, QWidget* parent);

private:
    void browse();
    QLineEdit* edit_ = nullptr;
};

} // namespace km
