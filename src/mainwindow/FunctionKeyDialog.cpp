#include "mainwindow/FunctionKeyDialog.h"

#include "mainwindow/FunctionKeyActions.h"
#include "ui_services/AppState.h"

#include "ui_services/DialogButtons.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

FunctionKeyDialog::FunctionKeyDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FKEYS"));
    setWindowTitle(QStringLiteral("KM - Function key assignment"));
    const std::array<int, 8> current = ReadFunctionKeyAssignment(Settings());

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    for (size_t k = 0; k < lists_.size(); ++k) {
        auto* list = new QComboBox(this);
        list->setObjectName(QStringLiteral("list%1").arg(2980 + static_cast<int>(k)));
        for (int i = 0; i < FunctionKeyCount(); ++i) {
            const std::string_view name = FunctionKeyActionAt(i).name;
            list->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
        }
        list->setCurrentIndex(current[k]);
        lists_[k] = list;
        form->addRow(QStringLiteral("Function key %1: ").arg(k + 2), list);
    }
    layout->addLayout(form);

    AddDialogButtons(this, layout, [this] { store(); });
}

std::optional<std::array<int, 8>> FunctionKeyDialog::Ask(QWidget* parent) {
    FunctionKeyDialog dlg(parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.assignment();
}

std::array<int, 8> FunctionKeyDialog::assignment() const {
    std::array<int, 8> a{};
    for (size_t k = 0; k < lists_.size(); ++k)
        a[k] = lists_[k]->currentIndex();
    return a;
}

void FunctionKeyDialog::store() {
    WriteFunctionKeyAssignment(Settings(), assignment());
    accept();
}

} // namespace km
