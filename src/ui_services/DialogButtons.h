#pragma once
// The OK / Cancel row the settings dialogs share: OK (object name "ok") is the
// default button and runs `onOk`; Cancel ("cancel") rejects.
#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

#include <functional>

namespace km {

inline QHBoxLayout* AddDialogButtons(QDialog* dialog, QBoxLayout* layout, std::function<void()> onOk,
                                     const QString& okText = QStringLiteral("OK"),
                                     const QString& cancelText = QStringLiteral("Cancel")) {
    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton(okText, dialog);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(cancelText, dialog);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    QObject::connect(ok, &QPushButton::clicked, dialog, std::move(onOk));
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return row;
}

} // namespace km
