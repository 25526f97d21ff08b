#pragma once
// "FILECOMPSETTINGS": whether the compare ignores white space and the tab size
// of its display ("NegeerSpaties" and "PerTab" in "FileComp"). The values take
// effect at the next comparison.
#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace km {

class FileCompareSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit FileCompareSettingsDialog(QWidget* parent = nullptr);
    // Settings command 6375 (the caller holds help context 6375). True when
    // OK wrote the values; Cancel writes nothing.
    static bool Ask(QWidget* parent);

private:
    void store();

    QCheckBox* ignoreWhiteSpace_ = nullptr;
    QLineEdit* tabSize_ = nullptr;
};

} // namespace km
