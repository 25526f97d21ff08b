#include "fileops/attributes/ui/AttributesDialog.h"

#include "platform/FileAttributes.h"
#include "resources/StringTable.h"
#include "ui_services/DialogButtons.h"
#include "ui_services/MessageBoxes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <ctime>

namespace km {
namespace {

struct BitRow {
    const char* label;
    int onId;
    int offId;
    uint32_t bit;
};

// In the order of bits_.
constexpr BitRow kBitRows[4] = {
    {"Archive bit:", 1610, 1620, AttrArchive},
    {"Read only bit:", 1630, 1640, AttrReadOnly},
    {"Hidden bit:", 1595, 1600, AttrHidden},
    {"System bit:", 1570, 1580, AttrSystem},
};

const char* ResourceName(AttributesDialog::Mode mode) {
    switch (mode) {
    case AttributesDialog::OneFile:
        return "FILEATTR";
    case AttributesDialog::ManyFiles:
        return "FILEATTRALL";
    case AttributesDialog::OneDirectory:
        return "DIRATTR";
    case AttributesDialog::ManyDirectories:
        return "DIRATTRALL";
    }
    return "";
}

QString FromBytes(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString Named(const char* kind, int id) {
    return QStringLiteral("%1%2").arg(QLatin1String(kind)).arg(id);
}

} // namespace

AttributesDialog::AttributesDialog(Mode mode, const std::string& path, bool isDirectory,
                                   uint32_t attributes, const DateTimeTexts& prefill,
                                   const LocaleInfo& locale, QWidget* parent)
    : QDialog(parent), mode_(mode), locale_(locale) {
    setObjectName(QLatin1String(ResourceName(mode)));
    const bool dirs = mode == OneDirectory || mode == ManyDirectories;
    setWindowTitle(dirs ? QStringLiteral("KM - Directory attributes")
                        : QStringLiteral("KM - File attributes"));
    auto* layout = new QVBoxLayout(this);

    QString heading;
    if (mode == ManyFiles)
        heading = QStringLiteral("For all selected files:");
    else if (mode == ManyDirectories)
        heading = QStringLiteral("For all selected directories:");
    else
        heading = FromBytes(LoadString(isDirectory ? 4235 : 4223)) + FromBytes(path);
    auto* label = new QLabel(heading, this);
    label->setObjectName(QStringLiteral("label1260"));
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);

    auto* group = new QGroupBox(mode == ManyDirectories ? QStringLiteral("Attributen")
                                                        : QStringLiteral("Attributes"),
                                this);
    group->setObjectName(QStringLiteral("groupAttributes"));
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < 4; ++i) {
        const BitRow& row = kBitRows[i];
        grid->addWidget(new QLabel(QLatin1String(row.label), group), i, 0);
        BitControls& c = bits_[static_cast<size_t>(i)];
        if (multi()) {
            auto* on = new QCheckBox(QStringLiteral("on"), group);
            auto* off = new QCheckBox(QStringLiteral("off"), group);
            on->setObjectName(Named("check", row.onId));
            off->setObjectName(Named("check", row.offId));
            // Both clear leaves the bit as each entry has it.
            connect(on, &QCheckBox::toggled, off, [off](bool checked) {
                if (checked)
                    off->setChecked(false);
            });
            connect(off, &QCheckBox::toggled, on, [on](bool checked) {
                if (checked)
                    on->setChecked(false);
            });
            c = {on, off};
        } else {
            auto* on = new QRadioButton(QStringLiteral("on"), group);
            auto* off = new QRadioButton(QStringLiteral("off"), group);
            on->setObjectName(Named("radio", row.onId));
            off->setObjectName(Named("radio", row.offId));
            auto* pair = new QButtonGroup(group);
            pair->addButton(on);
            pair->addButton(off);
            ((attributes & row.bit) ? on : off)->setChecked(true);
            c = {on, off};
        }
        grid->addWidget(c.on, i, 1);
        grid->addWidget(c.off, i, 2);
    }
    layout->addWidget(group);

    auto* timeGroup = new QGroupBox(QStringLiteral("Modification date and time"), this);
    timeGroup->setObjectName(QStringLiteral("groupTime"));
    auto* timeLayout = new QGridLayout(timeGroup);
    keepTime_ = new QRadioButton(QStringLiteral("don't change"), timeGroup);
    nowTime_ = new QRadioButton(QStringLiteral("change to current date and time"), timeGroup);
    specificTime_ = new QRadioButton(QStringLiteral("change to specific date and time"), timeGroup);
    keepTime_->setObjectName(QStringLiteral("radio1930"));
    nowTime_->setObjectName(QStringLiteral("radio1931"));
    specificTime_->setObjectName(QStringLiteral("radio1932"));
    keepTime_->setChecked(true);
    timeLayout->addWidget(keepTime_, 0, 0, 1, 4);
    timeLayout->addWidget(nowTime_, 1, 0, 1, 4);
    timeLayout->addWidget(specificTime_, 2, 0, 1, 4);
    dateLabel_ = new QLabel(QStringLiteral("Date:"), timeGroup);
    dateLabel_->setObjectName(QStringLiteral("label1970"));
    date_ = new QLineEdit(FromBytes(prefill.date), timeGroup);
    date_->setObjectName(QStringLiteral("edit1950"));
    date_->setMaxLength(8);
    timeLabel_ = new QLabel(QStringLiteral("Time:"), timeGroup);
    timeLabel_->setObjectName(QStringLiteral("label1980"));
    time_ = new QLineEdit(FromBytes(prefill.time), timeGroup);
    time_->setObjectName(QStringLiteral("edit1960"));
    time_->setMaxLength(5);
    timeLayout->addWidget(dateLabel_, 3, 0);
    timeLayout->addWidget(date_, 3, 1);
    timeLayout->addWidget(timeLabel_, 3, 2);
    timeLayout->addWidget(time_, 3, 3);
    layout->addWidget(timeGroup);
    connect(specificTime_, &QRadioButton::toggled, this, &AttributesDialog::showTimeFields);
    showTimeFields(false);

    AddDialogButtons(this, layout, [this] { accept(); });
}

void AttributesDialog::showTimeFields(bool show) {
    for (QWidget* w : {static_cast<QWidget*>(dateLabel_), static_cast<QWidget*>(date_),
                       static_cast<QWidget*>(timeLabel_), static_cast<QWidget*>(time_)})
        w->setVisible(show);
}

BitChange AttributesDialog::changeOf(const BitControls& bit) const {
    if (bit.on->isChecked())
        return BitChange::On;
    if (bit.off->isChecked())
        return BitChange::Off;
    return BitChange::Keep;
}

void AttributesDialog::accept() {
    AttributeRequest request;
    request.multi = multi();
    request.changes.archive = changeOf(bits_[0]);
    request.changes.readOnly = changeOf(bits_[1]);
    request.changes.hidden = changeOf(bits_[2]);
    request.changes.system = changeOf(bits_[3]);
    if (nowTime_->isChecked()) {
        request.newTime = static_cast<int64_t>(std::time(nullptr));
    } else if (specificTime_->isChecked()) {
        const QByteArray date = date_->text().toUtf8();
        const QByteArray time = time_->text().toUtf8();
        request.newTime = ParseDateTime(
            std::string_view(date.constData(), static_cast<size_t>(date.size())),
            std::string_view(time.constData(), static_cast<size_t>(time.size())), locale_);
        // Rather than hand an impossible date to the file system, ask again.
        if (!request.newTime) {
            ShowMessage("Invalid date or time", MbOk | MbIconExclamation);
            date_->setFocus();
            return;
        }
    }
    request_ = request;
    QDialog::accept();
}

} // namespace km
