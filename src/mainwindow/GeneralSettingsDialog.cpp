#include "mainwindow/GeneralSettingsDialog.h"

#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"

#include "ui_services/DialogButtons.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <iterator>

namespace km {
namespace {

struct Switch {
    int control;
    const char* text;
    const char* key;
    int def;
};

// Order matters: the first three are the application-button switches.
constexpr Switch kSwitches[] = {
    {1130, "Show application buttons", "ApplButtons", 1},
    {1135, "Second row of application buttons", "SecondRow", 0},
    {2800, "Show icons in application buttons", "ShowIcon", 1},
    {1540, "Show command prompt", "CmdPrompt", 1},
    {1940, "Show buttons for function keys", "FunctionKeys", 1},
    {2020, "Esc activates screen saver", "EscActiveert", 0},
    {1503, "Show stop icon in task bar", "StopIcon", 1},
    {1507, "Show icon in task bar for desktop menu", "MenuIcon", 1},
    {3100, "Show icon in task bar for Control Panel menu", "CPLIcon", 1},
    {2010, "Show date and time in title bar", "DatumInTitel", 1},
};
static_assert(std::size(kSwitches) == 10);

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QLineEdit* addEditBox(QWidget* owner, QVBoxLayout* layout, const char* title, int control) {
    auto* box = new QGroupBox(QString::fromLatin1(title), owner);
    auto* boxLayout = new QVBoxLayout(box);
    auto* edit = new QLineEdit(box);
    edit->setObjectName(QStringLiteral("edit%1").arg(control));
    boxLayout->addWidget(edit);
    layout->addWidget(box);
    return edit;
}

} // namespace

GeneralSettingsDialog::GeneralSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PATHS"));
    setWindowTitle(QStringLiteral("KM - General settings"));
    SettingsStore& s = Settings();
    auto* layout = new QVBoxLayout(this);

    title_ = addEditBox(this, layout, " Title main window: ", 1730);
    title_->setText(qs(s.GetString("Algemeen", "Titel", "Kestrum")));

    for (size_t i = 0; i < checks_.size(); ++i) {
        const Switch& sw = kSwitches[i];
        auto* check = new QCheckBox(QString::fromLatin1(sw.text), this);
        check->setObjectName(QStringLiteral("check%1").arg(sw.control));
        check->setChecked(s.GetInt("Algemeen", sw.key, sw.def) != 0);
        checks_[i] = check;
        layout->addWidget(check);
    }

    internalEditor_ = new QRadioButton(QStringLiteral("Use internal editor"), this);
    internalEditor_->setObjectName(QStringLiteral("radio2670"));
    externalEditor_ = new QRadioButton(QStringLiteral("Use external editor:"), this);
    externalEditor_->setObjectName(QStringLiteral("radio2671"));
    editor_ = new QLineEdit(this);
    editor_->setObjectName(QStringLiteral("edit1530"));
    const std::string editor = s.GetString("Paden", "Editor", "");
    editor_->setText(qs(editor));
    // Shows what editing does: any choice other than 0 runs a configured
    // external editor, and "not yet chosen" (2) counts as that choice.
    const int choice = s.GetInt("Paden", "InternalEditor", 2);
    const bool external = choice == 1 || (choice != 0 && !editor.empty());
    (external ? externalEditor_ : internalEditor_)->setChecked(true);
    layout->addWidget(internalEditor_);
    auto* externalRow = new QHBoxLayout;
    externalRow->addWidget(externalEditor_);
    externalRow->addWidget(editor_, 1);
    layout->addLayout(externalRow);

    // Nothing stores this field; it starts empty every time.
    addEditBox(this, layout, " Path for try outs: ", 1740);

    AddDialogButtons(this, layout, [this] { store(); });

    connect(checks_[0], &QCheckBox::toggled, this, &GeneralSettingsDialog::updateEnabling);
    connect(internalEditor_, &QRadioButton::toggled, this, &GeneralSettingsDialog::updateEnabling);
    updateEnabling();
}

std::optional<std::string> GeneralSettingsDialog::Ask(QWidget* parent) {
    GeneralSettingsDialog dlg(parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.title();
}

std::string GeneralSettingsDialog::title() const {
    return title_->text().toStdString();
}

void GeneralSettingsDialog::updateEnabling() {
    const bool buttons = checks_[0]->isChecked();
    checks_[1]->setEnabled(buttons);
    checks_[2]->setEnabled(buttons);
    editor_->setEnabled(!internalEditor_->isChecked());
}

void GeneralSettingsDialog::store() {
    SettingsStore& s = Settings();
    {
        SettingsStore::Batch batch(s);
        s.PutString("Algemeen", "Titel", title());
        for (size_t i = 0; i < checks_.size(); ++i)
            s.PutInt("Algemeen", kSwitches[i].key, checks_[i]->isChecked() ? 1 : 0);
        s.PutInt("Paden", "InternalEditor", externalEditor_->isChecked() ? 1 : 0);
        s.PutString("Paden", "Editor", editor_->text().toStdString());
    }
    accept();
}

} // namespace km
