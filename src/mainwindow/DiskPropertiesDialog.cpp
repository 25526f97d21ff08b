#include "mainwindow/DiskPropertiesDialog.h"

#include "platform/Volumes.h"
#include "ui_services/FormatThousands.h"

#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace km {
namespace {

std::string bytes(uint64_t n) {
    return FormatThousands(n) + " bytes";
}

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

DiskPropertiesDialog::DiskPropertiesDialog(const BlockDevice& d, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("DISKPROPERTIES"));
    setWindowTitle(QStringLiteral("KM - Disk properties"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    const auto row = [&](const char* label, const char* name, const std::string& value) {
        auto* field = new QLabel(qs(value), this);
        field->setObjectName(QString::fromLatin1(name));
        field->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(QString::fromLatin1(label), field);
    };
    const std::string none = "(none)";
    row("Device:", "device", d.path + (d.model.empty() ? std::string() : " (" + d.model + ")"));
    row("File system:", "fileSystem", d.fsType.empty() ? none : d.fsType);
    row("Label:", "label", d.label.empty() ? none : d.label);
    row("UUID:", "uuid", d.uuid.empty() ? none : d.uuid);
    row("Size:", "size", bytes(d.size));
    // The free space as the drive bar counts it (every free block), so both agree.
    std::string used = "(not mounted)", free = used;
    if (!d.mountPoints.empty()) {
        const DiskSpace space = QueryDiskSpace(d.mountPoints.front());
        if (space.total > 0) {
            used = bytes(space.total - std::min(space.free, space.total));
            free = bytes(space.free);
        } else {
            used = d.fsUsed ? bytes(*d.fsUsed) : std::string("?");
            free = d.fsAvail ? bytes(*d.fsAvail) : std::string("?");
        }
    }
    row("Used:", "used", used);
    row("Free:", "free", free);
    std::string mounts;
    for (const std::string& m : d.mountPoints)
        mounts += (mounts.empty() ? "" : ", ") + m;
    row("Mount point:", "mountPoint", mounts.empty() ? std::string("(not mounted)") : mounts);
    row("Read-only:", "readOnly", d.readOnly ? "Yes" : "No");
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

} // namespace km
