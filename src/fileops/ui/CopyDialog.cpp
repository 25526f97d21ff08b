#include "fileops/ui/CopyDialog.h"

#include "ui_services/LosslessText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace km {

CopyDialog::CopyDialog(bool move, const std::string& label, const std::string& target, int transferType,
                       bool ftpInvolved, QWidget* parent)
    : QDialog(parent), transferType_(transferType) {
    setObjectName(move ? QStringLiteral("RENMOVE") : QStringLiteral("COPY"));
    setWindowTitle(move ? QStringLiteral("KM - Rename/move") : QStringLiteral("KM - Copy"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())), this);
    text->setObjectName(QStringLiteral("static2950"));
    text->setTextFormat(Qt::PlainText);
    layout->addWidget(text);
    edit_ = new QLineEdit(NameToText(target), this);
    edit_->setObjectName(QStringLiteral("edit1270"));
    edit_->setMinimumWidth(360);
    layout->addWidget(edit_);
    onlyNewer_ = new QCheckBox(move ? QStringLiteral("Only newer files") : QStringLiteral("Copy only newer files"), this);
    onlyNewer_->setObjectName(QStringLiteral("check2250"));
    layout->addWidget(onlyNewer_);

    auto* group = new QGroupBox(QStringLiteral(" FTP file transfer type: "), this);
    group->setObjectName(QStringLiteral("group1690"));
    auto* radios = new QHBoxLayout(group);
    auto* buttons = new QButtonGroup(this);
    const char* names[3] = {"Binary", "ASCII", "L 8"};
    for (int t = 1; t <= 3; ++t) {
        auto* r = new QRadioButton(QString::fromUtf8(names[t - 1]), group);
        r->setObjectName(QStringLiteral("radio%1").arg(2819 + t));
        r->setChecked(t == transferType);
        buttons->addButton(r, t);
        radios->addWidget(r);
    }
    connect(buttons, &QButtonGroup::idClicked, this, [this](int id) { transferType_ = id; });
    group->setVisible(ftpInvolved);
    layout->addWidget(group);

    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton(move ? QStringLiteral("&Rename/move") : QStringLiteral("&Copy"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(move ? QStringLiteral("&Cancel") : QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<CopyDialog::Result> CopyDialog::Ask(bool move, const std::string& label, const std::string& target,
                                                  int transferType, bool ftpInvolved, QWidget* parent) {
    CopyDialog dlg(move, label, target, transferType, ftpInvolved, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    Result r;
    // What the user left alone keeps its bytes, even where they are not UTF-8.
    r.target = NameFromText(dlg.edit_->text());
    r.onlyNewer = dlg.onlyNewer_->isChecked();
    r.transferType = dlg.transferType_;
    return r;
}

} // namespace km
