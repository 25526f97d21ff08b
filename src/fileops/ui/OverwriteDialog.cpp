#include "fileops/ui/OverwriteDialog.h"

#include "platform/PathUtil.h"
#include "ui_services/FormatThousands.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <ctime>

namespace km {
namespace {
QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
} // namespace

std::string OverwriteDialog::SizeAndTime(uint64_t size, int64_t time) {
    char buf[128] = "";
    const time_t t = static_cast<time_t>(time);
    struct tm lt;
    localtime_r(&t, &lt);
    strftime(buf, sizeof buf, "%c", &lt);
    return FormatThousands(size) + " bytes, " + buf;
}

OverwriteDialog::OverwriteDialog(const OverwriteQuestion& q, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OVERWRITE"));
    setWindowTitle(QStringLiteral("KM - Overwrite file"));
    auto* grid = new QGridLayout(this);
    const std::string question = "Target directory " + ParentPath(q.targetPath) + " already contains a " +
                                 std::string(BaseName(q.targetPath)) + ".";
    auto* text = new QLabel(qs(question), this);
    text->setObjectName(QStringLiteral("static2380"));
    text->setTextFormat(Qt::PlainText);
    grid->addWidget(text, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Target file"), this), 1, 0);
    auto* target = new QLabel(qs(SizeAndTime(q.targetSize, q.targetTime)), this);
    target->setObjectName(QStringLiteral("static2430"));
    grid->addWidget(target, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("replace with this source file?"), this), 2, 0);
    auto* source = new QLabel(qs(SizeAndTime(q.sourceSize, q.sourceTime)), this);
    source->setObjectName(QStringLiteral("static2420"));
    grid->addWidget(source, 2, 1);
    auto* row = new QHBoxLayout;
    struct B {
        const char* text;
        const char* name;
        int answer;
    };
    for (const B& b : {B{"&Yes", "yes", OverwriteYes}, B{"Yes to &all", "button2390", OverwriteYesToAll},
                       B{"&No", "button2400", OverwriteNo}, B{"&Cancel", "cancel", OverwriteCancel}}) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), this);
        button->setObjectName(QString::fromUtf8(b.name));
        const int answer = b.answer;
        connect(button, &QPushButton::clicked, this, [this, answer] { done(answer); });
        if (answer == OverwriteYes)
            button->setDefault(true);
        if (answer == OverwriteYesToAll)
            button->setEnabled(q.allowYesToAll);
        row->addWidget(button);
    }
    grid->addLayout(row, 3, 0, 1, 2);
}

int OverwriteDialog::Ask(const OverwriteQuestion& q, QWidget* parent) {
    OverwriteDialog dlg(q, parent);
    const int r = dlg.exec();
    return r == OverwriteYes || r == OverwriteYesToAll || r == OverwriteNo ? r : OverwriteCancel;
}

} // namespace km
