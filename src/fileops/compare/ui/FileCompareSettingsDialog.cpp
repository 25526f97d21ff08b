#include "fileops/compare/ui/FileCompareSettingsDialog.h"

#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/DialogButtons.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace km {
namespace {

constexpr const char* kSection = "FileComp";
constexpr int kMaxTabSize = 99999;

} // namespace

FileCompareSettingsDialog::FileCompareSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FILECOMPSETTINGS"));
    setWindowTitle(QStringLiteral("KM - Filecompare"));
    SettingsStore& s = Settings();
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral(" File compare: "), this);
    auto* form = new QFormLayout(group);

    ignoreWhiteSpace_ = new QCheckBox(QStringLiteral("Ignore white space"), group);
    ignoreWhiteSpace_->setObjectName(QStringLiteral("check2640"));
    ignoreWhiteSpace_->setChecked(s.GetInt(kSection, "NegeerSpaties", 0) == 1);
    form->addRow(ignoreWhiteSpace_);

    tabSize_ = new QLineEdit(group);
    tabSize_->setObjectName(QStringLiteral("edit1810"));
    tabSize_->setValidator(new QIntValidator(0, kMaxTabSize, tabSize_));
    tabSize_->setText(QString::number(s.GetInt(kSection, "PerTab", 4)));
    form->addRow(new QLabel(QStringLiteral("Tab size:"), group), tabSize_);
    layout->addWidget(group);

    AddDialogButtons(this, layout, [this] { store(); });
}

bool FileCompareSettingsDialog::Ask(QWidget* parent) {
    FileCompareSettingsDialog dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

void FileCompareSettingsDialog::store() {
    SettingsStore& s = Settings();
    {
        SettingsStore::Batch batch(s);
        s.PutInt(kSection, "NegeerSpaties", ignoreWhiteSpace_->isChecked() ? 1 : 0);
        bool ok = false;
        const int tab = tabSize_->text().toInt(&ok);
        // An emptied field keeps the stored size rather than writing a made-up one.
        if (ok)
            s.PutInt(kSection, "PerTab", tab);
    }
    accept();
}

} // namespace km
