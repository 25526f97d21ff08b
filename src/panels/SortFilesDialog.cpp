#include "panels/SortFilesDialog.h"

#include "panels/SortFlags.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

SortFilesDialog::SortFilesDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SORTFILES"));
    setWindowTitle(QStringLiteral("KM - Sort"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Sort files on name or extension?"), this));
    auto* row = new QHBoxLayout;
    auto* onName = new QPushButton(QStringLiteral("On &name"), this);
    onName->setObjectName(QStringLiteral("onName"));
    onName->setDefault(true);
    auto* onExt = new QPushButton(QStringLiteral("On &extension"), this);
    onExt->setObjectName(QStringLiteral("onExtension"));
    row->addWidget(onName);
    row->addWidget(onExt);
    layout->addLayout(row);
    connect(onName, &QPushButton::clicked, this, [this] { done(SortByName); });
    connect(onExt, &QPushButton::clicked, this, [this] { done(SortByExtension); });
}

int SortFilesDialog::Ask(QWidget* parent) {
    SortFilesDialog dlg(parent);
    const int r = dlg.exec();
    return r == SortByName || r == SortByExtension ? r : 0;
}

} // namespace km
