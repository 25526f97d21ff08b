#include "fileops/open_execute/ui/AssociateDialog.h"

#include "resources/StringTable.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace km {
namespace {

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString askForProgram(QWidget* parent) {
    // Programs on this platform rarely have a dot in their name: "*" is the
    // natural "all files" filter.
    return QFileDialog::getOpenFileName(parent, text(LoadString(4183)), QString(),
                                        QStringLiteral("Executable files (*)"));
}

} // namespace

std::function<QString(QWidget*)> AssociateDialog::chooseProgram = askForProgram;

AssociateDialog::AssociateDialog(const Association& current, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ASSOCIATE"));
    setWindowTitle(QStringLiteral("KM - Associate extension with executable command"));
    auto* grid = new QGridLayout(this);
    auto addEdit = [&](int row, const char* label, const char* name, const std::string& value) {
        auto* edit = new QLineEdit(text(value), this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMinimumWidth(320);
        auto* l = new QLabel(QString::fromLatin1(label), this);
        l->setBuddy(edit);
        grid->addWidget(l, row, 0);
        grid->addWidget(edit, row, 1);
        return edit;
    };
    QLineEdit* extension = addEdit(0, "Extension:  ", "edit1780", current.extension);
    extension->setReadOnly(true);
    description_ = addEdit(1, "File type:  ", "edit2330", current.description);
    command_ = addEdit(2, "Command to be executed:  ", "edit1270", current.command);
    auto* hint = new QLabel(QStringLiteral("Use %1 where you want the file name inserted. Use %2 "
                                           "where you want the default printer inserted."),
                            this);
    hint->setWordWrap(true);
    grid->addWidget(hint, 3, 0, 1, 2);

    auto* row = new QHBoxLayout;
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("button1140"));
    browse->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    row->addWidget(browse);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    grid->addLayout(row, 4, 0, 1, 2);
    connect(browse, &QPushButton::clicked, this, &AssociateDialog::browse);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // A type that exists keeps its description; the command is then what to edit.
    if (!current.description.empty()) {
        description_->setReadOnly(true);
        command_->setFocus();
    } else {
        description_->setFocus();
    }
}

void AssociateDialog::browse() {
    const QString chosen = chooseProgram ? chooseProgram(this) : QString();
    if (chosen.isEmpty())
        return;
    // Quoted when needed, so a path with blanks stays one program.
    command_->setText(text(QuoteCommandWord(chosen.toStdString())));
}

std::optional<AssociateDialog::Result> AssociateDialog::Ask(const Association& current,
                                                            QWidget* parent) {
    AssociateDialog dlg(current, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return Result{dlg.description_->text().toStdString(), dlg.command_->text().toStdString()};
}

} // namespace km
