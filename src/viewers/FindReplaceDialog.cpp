#include "viewers/FindReplaceDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

FindReplaceDialog::FindReplaceDialog(bool replace, QWidget* parent)
    : QDialog(parent), replace_(replace) {
    setObjectName(replace ? QStringLiteral("REPLACE") : QStringLiteral("FIND"));
    setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
    setModal(false);

    auto* fields = new QGridLayout;
    find_ = new QLineEdit(this);
    find_->setObjectName(QStringLiteral("findWhat"));
    find_->setMinimumWidth(220);
    auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    findLabel->setBuddy(find_);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(find_, 0, 1);
    if (replace) {
        replaceWith_ = new QLineEdit(this);
        replaceWith_->setObjectName(QStringLiteral("replaceWith"));
        auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"), this);
        replaceLabel->setBuddy(replaceWith_);
        fields->addWidget(replaceLabel, 1, 0);
        fields->addWidget(replaceWith_, 1, 1);
    }
    matchCase_ = new QCheckBox(QStringLiteral("Match &case"), this);
    matchCase_->setObjectName(QStringLiteral("matchCase"));
    fields->addWidget(matchCase_, replace ? 2 : 1, 0, 1, 2);

    auto* buttons = new QVBoxLayout;
    auto addButton = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    findNext_ = addButton(QStringLiteral("&Find Next"), "findNext");
    findNext_->setDefault(true);
    connect(findNext_, &QPushButton::clicked, this, &FindReplaceDialog::findNextRequested);
    if (replace) {
        replaceOne_ = addButton(QStringLiteral("&Replace"), "replace");
        replaceAll_ = addButton(QStringLiteral("Replace &All"), "replaceAll");
        connect(replaceOne_, &QPushButton::clicked, this, &FindReplaceDialog::replaceRequested);
        connect(replaceAll_, &QPushButton::clicked, this, &FindReplaceDialog::replaceAllRequested);
    }
    QPushButton* cancel = addButton(QStringLiteral("Cancel"), "cancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    connect(find_, &QLineEdit::textChanged, this, &FindReplaceDialog::updateButtons);
    updateButtons();
}

void FindReplaceDialog::setTexts(const QString& find, const QString& replace, bool matchCase) {
    find_->setText(find);
    find_->selectAll();
    if (replaceWith_)
        replaceWith_->setText(replace);
    matchCase_->setChecked(matchCase);
}

QString FindReplaceDialog::findText() const {
    return find_->text();
}
QString FindReplaceDialog::replaceText() const {
    return replaceWith_ ? replaceWith_->text() : QString();
}
bool FindReplaceDialog::matchCase() const {
    return matchCase_->isChecked();
}

void FindReplaceDialog::updateButtons() {
    // Nothing to look for: the buttons would only report "Text not found".
    const bool any = !find_->text().isEmpty();
    findNext_->setEnabled(any);
    if (replaceOne_) {
        replaceOne_->setEnabled(any);
        replaceAll_->setEnabled(any);
    }
}

} // namespace km
