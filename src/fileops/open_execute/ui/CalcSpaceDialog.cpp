#include "fileops/open_execute/ui/CalcSpaceDialog.h"

#include "ui_services/FormatThousands.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace km {
namespace {

QString text(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

CalcSpaceDialog::CalcSpaceDialog(const std::string& label, const DiskSpaceTotals& totals,
                                 QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CALCSPACE"));
    setWindowTitle(QStringLiteral("KM - Calculate disk space"));
    auto* grid = new QGridLayout(this);
    auto* heading = new QLabel(text(label), this);
    heading->setObjectName(QStringLiteral("static1270"));
    heading->setTextFormat(Qt::PlainText);
    grid->addWidget(heading, 0, 0, 1, 2);
    const struct {
        const char* caption;
        const char* name;
        uint64_t value;
    } rows[] = {
        {"Number of directories:", "static1900", totals.directories},
        {"Number of files:", "static1910", totals.files},
        {"Number of bytes:", "static1920", totals.bytes},
    };
    int r = 1;
    for (const auto& row : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(row.caption), this), r, 0);
        auto* value = new QLabel(text(FormatThousands(row.value)), this);
        value->setObjectName(QString::fromLatin1(row.name));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(value, r++, 1);
    }
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    grid->addLayout(buttons, r, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace km
