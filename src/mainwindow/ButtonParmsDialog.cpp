#include "mainwindow/ButtonParmsDialog.h"

#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/DialogButtons.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace km {
namespace {

constexpr int kHelpContext = 6230;

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string bytes(const QLineEdit* e) { return e->text().toStdString(); }

} // namespace

ButtonParmsDialog::ButtonParmsDialog(int number, QWidget* parent) : QDialog(parent), number_(number) {
    setObjectName(QStringLiteral("BUTTONPARMS"));
    setWindowTitle(QStringLiteral("KM - Button configuration"));
    const AppButtonDefinition d = ReadAppButton(Settings(), number);

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto addEdit = [&](int row, int id, const char* label, const std::string& value) {
        auto* edit = new QLineEdit(qs(value), this);
        edit->setObjectName(QStringLiteral("edit%1").arg(id));
        auto* l = new QLabel(QString::fromLatin1(label), this);
        l->setBuddy(edit);
        grid->addWidget(l, row, 0);
        grid->addWidget(edit, row, 1);
        return edit;
    };
    title_ = addEdit(0, 1000, "Button title:", d.name);
    program_ = addEdit(1, 1010, "Program name:", d.program);
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("button1140"));
    browse->setAutoDefault(false);
    grid->addWidget(browse, 1, 2);
    parameters_ = addEdit(2, 1020, "Parameters:", d.parameters);
    workingDir_ = addEdit(3, 1030, "Working directory:", d.workingDir);
    layout->addLayout(grid);

    auto* group = new QGroupBox(QStringLiteral("Start "), this);
    auto* groupLayout = new QVBoxLayout(group);
    const char* captions[3] = {"as normal window", "maximized", "minimized"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(captions[i]), group);
        r->setObjectName(QStringLiteral("radio%1").arg(2160 + i));
        groupLayout->addWidget(r);
        window_[static_cast<size_t>(i)] = r;
    }
    window_[static_cast<size_t>(d.window >= 0 && d.window <= 2 ? d.window : 0)]->setChecked(true);
    layout->addWidget(group);

    auto* help = new QLabel(this);
    help->setObjectName(QStringLiteral("placeholderHelp"));
    help->setText(QStringLiteral(
        "&as or &bs: will be replaced by complete path specification of current source or target file.\n"
        "&ap or &bp: will be replaced by the path of the current source or target directory.\n"
        "&ad or &bd: will be replaced by the drive of the current source or target directory.\n"
        "&an or &bn: will be replaced by the name (without extension) of the current source or target file.\n"
        "&ae or &be: will be replaced by the extension of the current source or target file.\n\n"
        "Tip: specify only a button title and a working directory if you only want to change to that "
        "directory."));
    help->setTextFormat(Qt::PlainText);
    help->setWordWrap(true);
    layout->addWidget(help);

    AddDialogButtons(this, layout, [this] { save(); }, QStringLiteral("&Save"));
    connect(browse, &QPushButton::clicked, this, &ButtonParmsDialog::browse);
}

bool ButtonParmsDialog::Ask(int number, QWidget* parent) {
    HelpContextScope help(kHelpContext);
    ButtonParmsDialog dlg(number, parent);
    return dlg.exec() == QDialog::Accepted;
}

void ButtonParmsDialog::browse() {
    QFileDialog dlg(this, QString::fromUtf8(LoadString(4183).data()));
    dlg.setObjectName(QStringLiteral("chooseProgramFile"));
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(QStringLiteral("Executable files (*)"));
    dlg.setOption(QFileDialog::ReadOnly, false);
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        program_->setText(dlg.selectedFiles().first());
}

void ButtonParmsDialog::save() {
    AppButtonDefinition d;
    d.name = bytes(title_);
    d.program = bytes(program_);
    d.parameters = bytes(parameters_);
    d.workingDir = bytes(workingDir_);
    for (int i = 0; i < 3; ++i) {
        if (window_[static_cast<size_t>(i)]->isChecked())
            d.window = i;
    }
    WriteAppButton(Settings(), number_, d);
    accept();
}

} // namespace km
