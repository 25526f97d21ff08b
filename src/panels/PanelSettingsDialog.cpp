#include "panels/PanelSettingsDialog.h"

#include "panels/CellText.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"

#include "ui_services/DialogButtons.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace km {
namespace {

struct Choice {
    int control;
    const char* text;
};

struct Check {
    int control;
    const char* key;
};

constexpr Check kChecks[] = {
    {1550, "Hidden"}, {1560, "System"}, {2990, "HiddenDir"}, {3000, "SystemDir"}};

constexpr Choice kNameCases[] = {
    {NameCaseUpper, "In uppercase"},
    {NameCaseLower, "In lowercase"},
    {NameCaseFilesUpper, "Files uppercase, directories lowercase"},
    {NameCaseFilesLower, "Files lowercase, directories uppercase"},
    {NameCaseAsStored, "Leave as they are"},
};

constexpr int kShellMenu = 2490;
constexpr Choice kRightClicks[] = {
    {kShellMenu, "Explorer like context menu"},
    {2480, "File attributes, date and time"},
};

template <size_t N>
QButtonGroup* addRadioGroup(QWidget* owner, QVBoxLayout* layout, const char* title,
                            const Choice (&choices)[N], int stored, int fallback) {
    auto* box = new QGroupBox(QString::fromLatin1(title), owner);
    auto* boxLayout = new QVBoxLayout(box);
    auto* group = new QButtonGroup(owner);
    for (const Choice& c : choices) {
        auto* radio = new QRadioButton(QString::fromLatin1(c.text), box);
        radio->setObjectName(QStringLiteral("radio%1").arg(c.control));
        group->addButton(radio, c.control);
        boxLayout->addWidget(radio);
    }
    // A value no radio stands for would leave the group without a choice and
    // OK would store nothing sensible; show the default instead.
    QAbstractButton* checked = group->button(stored);
    (checked ? checked : group->button(fallback))->setChecked(true);
    layout->addWidget(box);
    return group;
}

} // namespace

PanelSettingsDialog::PanelSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CONFIG"));
    setWindowTitle(QStringLiteral("KM - Settings for file windows"));
    SettingsStore& s = Settings();
    auto* layout = new QVBoxLayout(this);

    const char* checkTitles[2] = {" Show files with: ", " Show directories with: "};
    for (size_t box = 0; box < 2; ++box) {
        auto* group = new QGroupBox(QString::fromLatin1(checkTitles[box]), this);
        auto* groupLayout = new QVBoxLayout(group);
        for (size_t j = 0; j < 2; ++j) {
            const size_t i = box * 2 + j;
            auto* check = new QCheckBox(
                QString::fromLatin1(j == 0 ? "'Hidden' attribute" : "'System' attribute"), group);
            check->setObjectName(QStringLiteral("check%1").arg(kChecks[i].control));
            check->setChecked(s.GetInt("Algemeen", kChecks[i].key, 0) != 0);
            checks_[i] = check;
            groupLayout->addWidget(check);
        }
        layout->addWidget(group);
    }
    nameCase_ = addRadioGroup(this, layout, " Show file names: ", kNameCases,
                              s.GetInt("Algemeen", "Bestandsnamen", kDefaultNameCase), kDefaultNameCase);
    rightClick_ = addRadioGroup(this, layout, " Right mouse click shows: ", kRightClicks,
                                s.GetInt("Algemeen", "ContextMenus", kShellMenu), kShellMenu);

    AddDialogButtons(this, layout, [this] { store(); });
}

bool PanelSettingsDialog::Ask(QWidget* parent) {
    PanelSettingsDialog dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

void PanelSettingsDialog::store() {
    SettingsStore& s = Settings();
    {
        SettingsStore::Batch batch(s);
        for (size_t i = 0; i < checks_.size(); ++i)
            s.PutInt("Algemeen", kChecks[i].key, checks_[i]->isChecked() ? 1 : 0);
        s.PutInt("Algemeen", "Bestandsnamen", nameCase_->checkedId());
        s.PutInt("Algemeen", "ContextMenus", rightClick_->checkedId());
    }
    App().nameCase = nameCase_->checkedId();
    accept();
}

} // namespace km
