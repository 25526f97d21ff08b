#include "panels/RenameDialog.h"

#include "platform/PathUtil.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace km {

RenameDialog::RenameDialog(const std::string& oldName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("RENAME"));
    setWindowTitle(QStringLiteral("KM - Rename"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("New name:"), this));
    edit_ = new QLineEdit(QString::fromUtf8(oldName.data(), static_cast<qsizetype>(oldName.size())), this);
    edit_->setObjectName(QStringLiteral("newName"));
    edit_->selectAll();
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::optional<std::string> RenameDialog::Ask(const std::string& oldName, QWidget* parent) {
    RenameDialog dlg(oldName, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.edit_->text().toStdString();
}

int RenameInDirectory(const std::string& dir, const std::string& oldName, const std::string& newName) {
    if (newName.empty() || newName == "." || newName == ".." || newName.find('/') != std::string::npos)
        return EINVAL;
    if (newName == oldName)
        return 0;
    const std::string from = JoinPath(dir, oldName), to = JoinPath(dir, newName);
    // Never replace an existing entry; a name differing only in case is a real rename here.
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    struct stat st;
    if (lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

} // namespace km
