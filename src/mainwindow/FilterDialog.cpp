#include "mainwindow/FilterDialog.h"

#include "ui_services/LosslessText.h"

#include "ui_services/AppState.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

FilterDialog::FilterDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FILTER"));
    setWindowTitle(QStringLiteral("KM - Filter"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const std::string& current = App().filterMask;
    mask_ = new QLineEdit(NameToText(current), this);
    mask_->setObjectName(QStringLiteral("edit2650"));
    mask_->selectAll();
    form->addRow(QStringLiteral("Mask:"), mask_);
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    auto* filter = new QPushButton(QStringLiteral("&Filter"), this);
    filter->setObjectName(QStringLiteral("filter"));
    filter->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    buttons->addStretch();
    buttons->addWidget(filter);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(filter, &QPushButton::clicked, this, &FilterDialog::apply);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool FilterDialog::Ask(QWidget* parent) {
    FilterDialog dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

void FilterDialog::apply() {
    const std::string text = NameFromText(mask_->text());
    // An empty mask matches nothing, so every file would vanish from both
    // panels with no way to tell why; it means "everything" instead.
    App().filterMask = text.empty() ? std::string("*.*") : text;
    accept();
}

} // namespace km
