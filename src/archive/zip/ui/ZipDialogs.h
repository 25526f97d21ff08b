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

struct ZipArchiveChoice {
    std::string name;
    uint64_t partSize = 0; // bytes per part of a split set; 0: one file
};

// "KM - Zip files": the archive name under "Zip to:", with a folder picker, and for a
// plain archive the size of the parts to split it into (empty for one file).
class ZipNameDialog : public QDialog {
    Q_OBJECT
public:
    ZipNameDialog(const std::string& initialName, bool offerSplit, QWidget* parent);
    std::string name() const;
    // 0 for an empty field; nothing for one that is not a whole number of megabytes.
    std::optional<uint64_t> partSize() const;
    static std::optional<ZipArchiveChoice> Ask(const std::string& initialName, bool offerSplit,
                                               QWidget* parent);

private:
    void browse();
    QLineEdit* edit_ = nullptr;
    QLineEdit* split_ = nullptr;
};

} // namespace km
