#include "mainwindow/ConfirmationsDialog.h"

#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"

#include "ui_services/DialogButtons.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <iterator>

namespace km {
namespace {

struct Confirmation {
    int control;
    const char* group;
    const char* key;
    int def;
};

constexpr Confirmation kConfirmations[] = {
    {2340, " Delete files: ", "BevestigingDelFiles", 1},
    {2345, " Delete non empty directory: ", "BevestigingDelDirs", 1},
    {2410, " Overwrite files: ", "BevestigingOverwrite", 1},
    {1503, " Stop icon in task bar: ", "BevestigingStopIcon", 0},
};
static_assert(std::size(kConfirmations) == 4);

} // namespace

ConfirmationsDialog::ConfirmationsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CONFIRMATIONS"));
    setWindowTitle(QStringLiteral("KM - Confirmations"));
    SettingsStore& s = Settings();
    auto* layout = new QVBoxLayout(this);
    for (size_t i = 0; i < checks_.size(); ++i) {
        const Confirmation& c = kConfirmations[i];
        auto* box = new QGroupBox(QString::fromLatin1(c.group), this);
        auto* boxLayout = new QVBoxLayout(box);
        auto* check = new QCheckBox(QStringLiteral("Let me confirm"), box);
        check->setObjectName(QStringLiteral("check%1").arg(c.control));
        check->setChecked(s.GetInt("Algemeen", c.key, c.def) != 0);
        boxLayout->addWidget(check);
        layout->addWidget(box);
        checks_[i] = check;
    }

    AddDialogButtons(this, layout, [this] { store(); });
}

bool ConfirmationsDialog::Ask(QWidget* parent) {
    ConfirmationsDialog dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

void ConfirmationsDialog::store() {
    SettingsStore& s = Settings();
    {
        SettingsStore::Batch batch(s);
        for (size_t i = 0; i < checks_.size(); ++i)
            s.PutInt("Algemeen", kConfirmations[i].key, checks_[i]->isChecked() ? 1 : 0);
    }
    accept();
}

} // namespace km
