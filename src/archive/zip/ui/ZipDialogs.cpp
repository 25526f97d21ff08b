#include "archive/zip/ui/ZipDialogs.h"

#include "ui_services/LosslessText.h"

#include "ui_services/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace km {

ZipPathDialog::ZipPathDialog(int initialMode, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ZIPTO"));
    setWindowTitle(QStringLiteral("KM - Path information in archive"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral(" Store directory information in archive: "), this);
    auto* groupLayout = new QVBoxLayout(group);
    const char* texts[3] = {"None", "Relative to source directory", "Whole path"};
    for (int i = 0; i < 3; ++i) {
        buttons_[i] = new QRadioButton(QString::fromUtf8(texts[i]), group);
        buttons_[i]->setObjectName(QStringLiteral("radio%1").arg(2880 + i));
        groupLayout->addWidget(buttons_[i]);
    }
    buttons_[initialMode >= 0 && initialMode <= 2 ? initialMode : 0]->setChecked(true);
    layout->addWidget(group);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
}

int ZipPathDialog::mode() const {
    for (int i = 0; i < 3; ++i) {
        if (buttons_[i]->isChecked())
            return i;
    }
    return 0;
}

std::optional<int> ZipPathDialog::Ask(int initialMode, QWidget* parent) {
    ZipPathDialog dlg(initialMode, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.mode();
}

ZipNameDialog::ZipNameDialog(const std::string& initialName, bool offerSplit, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ZIP"));
    setWindowTitle(QStringLiteral("KM - Zip files"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Zip to:"), this));
    auto* row = new QHBoxLayout;
    edit_ = new QLineEdit(NameToText(initialName), this);
    edit_->setObjectName(QStringLiteral("edit1260"));
    edit_->setMinimumWidth(360);
    row->addWidget(edit_);
    auto* browse = new QPushButton(QStringLiteral("&Browse"), this);
    browse->setObjectName(QStringLiteral("button3140"));
    connect(browse, &QPushButton::clicked, this, &ZipNameDialog::browse);
    row->addWidget(browse);
    layout->addLayout(row);
    if (offerSplit) {
        auto* splitRow = new QHBoxLayout;
        splitRow->addWidget(new QLabel(QStringLiteral("Split into parts of (MB):"), this));
        split_ = new QLineEdit(this);
        split_->setObjectName(QStringLiteral("splitSize"));
        split_->setPlaceholderText(QStringLiteral("one file"));
        split_->setMaximumWidth(100);
        splitRow->addWidget(split_);
        splitRow->addStretch();
        layout->addLayout(splitRow);
    }
    auto* buttons = new QHBoxLayout;
    auto* zip = new QPushButton(QStringLiteral("&Zip"), this);
    zip->setObjectName(QStringLiteral("ok"));
    zip->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(zip, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch();
    buttons->addWidget(zip);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

std::string ZipNameDialog::name() const {
    return NameFromText(edit_->text().trimmed());
}

std::optional<uint64_t> ZipNameDialog::partSize() const {
    const QString text = split_ ? split_->text().trimmed() : QString();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qulonglong mb = text.toULongLong(&ok);
    if (!ok || mb == 0 || mb > (1ull << 24))
        return std::nullopt;
    return static_cast<uint64_t>(mb) << 20;
}

void ZipNameDialog::browse() {
    const QString dir = QFileDialog::getExistingDirectory(this, QString(), edit_->text(),
                                                          QFileDialog::ShowDirsOnly);
    if (!dir.isEmpty())
        edit_->setText(dir);
}

std::optional<ZipArchiveChoice> ZipNameDialog::Ask(const std::string& initialName, bool offerSplit,
                                                   QWidget* parent) {
    ZipNameDialog dlg(initialName, offerSplit, parent);
    while (dlg.exec() == QDialog::Accepted) {
        if (const auto size = dlg.partSize())
            return ZipArchiveChoice{dlg.name(), *size};
        ShowMessage("The part size is a whole number of megabytes.", MbOk | MbIconExclamation);
    }
    return std::nullopt;
}

} // namespace km
