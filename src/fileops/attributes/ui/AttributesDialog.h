#pragma once
// "FILEATTR", "FILEATTRALL", "DIRATTR" and "DIRATTRALL": the four attribute
// bits and the modification time of one or several files or directories.
#include "fileops/attributes/AttributeChanges.h"
#include "fileops/attributes/DateTimeText.h"

#include <QDialog>

#include <array>
#include <optional>
#include <string>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace km {

class AttributesDialog : public QDialog {
    Q_OBJECT
public:
    enum Mode { OneFile, ManyFiles, OneDirectory, ManyDirectories };

    // `path` and `attributes` preset the single-entry dialogs (the label
    // names `path`, "Directory: " when `isDirectory`); `prefill` fills the
    // date and time fields.
    AttributesDialog(Mode mode, const std::string& path, bool isDirectory, uint32_t attributes,
                     const DateTimeTexts& prefill, const LocaleInfo& locale,
                     QWidget* parent = nullptr);

    bool multi() const { return mode_ == ManyFiles || mode_ == ManyDirectories; }
    // The request after OK; the time is read when OK is pressed.
    const AttributeRequest& request() const { return request_; }

    void accept() override;

private:
    struct BitControls {
        QAbstractButton* on = nullptr;
        QAbstractButton* off = nullptr;
    };
    BitChange changeOf(const BitControls& bit) const;
    void showTimeFields(bool show);

    Mode mode_;
    LocaleInfo locale_;
    // archive, read-only, hidden, system
    std::array<BitControls, 4> bits_;
    QRadioButton* keepTime_ = nullptr;
    QRadioButton* nowTime_ = nullptr;
    QRadioButton* specificTime_ = nullptr;
    QLabel* dateLabel_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QLineEdit* date_ = nullptr;
    QLineEdit* time_ = nullptr;
    AttributeRequest request_;
};

} // namespace km
