#include "mainwindow/CommandPrompt.h"

#include "fileops/open_execute/CommandHistory.h"
#include "fileops/open_execute/CommandLine.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "resources/CommandIds.h"
#include "ui_services/AppState.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace km {
namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

} // namespace

CommandPrompt::CommandPrompt(QWidget* parent, std::function<std::string()> activeDir,
                             std::function<std::string()> workingDir)
    : QObject(parent), activeDir_(std::move(activeDir)), workingDir_(std::move(workingDir)) {
    prompt_ = new QLabel(QStringLiteral("/>"), parent);
    prompt_->setObjectName(QStringLiteral("promptText"));
    prompt_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    prompt_->setTextFormat(Qt::PlainText);
    // Long paths are clipped rather than widening the label.
    prompt_->setMinimumWidth(1);
    prompt_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    edit_ = new QComboBox(parent);
    edit_->setObjectName(QStringLiteral("combo%1").arg(1340));
    edit_->setEditable(true);
    edit_->setInsertPolicy(QComboBox::NoInsert);
    edit_->setMaxVisibleItems(10);
    edit_->lineEdit()->setMaxLength(static_cast<int>(kCommandLineMax));

    run_ = new QPushButton(QStringLiteral("Run"), parent);
    run_->setObjectName(QStringLiteral("button%1").arg(CmdRunPrompt));
    run_->setFocusPolicy(Qt::NoFocus);

    // The combo box is the focus widget and calls its line edit's handler
    // directly, so event filters on the line edit never see Enter; the line
    // edit's own signal does fire.
    connect(edit_->lineEdit(), &QLineEdit::returnPressed, this, &CommandPrompt::Run);
    connect(run_, &QPushButton::clicked, this, &CommandPrompt::Run);
    fillHistory();
}

void CommandPrompt::UpdatePrompt() {
    // The path as it is: on this file system case tells directories apart.
    prompt_->setText(qs(activeDir_()) + QLatin1Char('>'));
}

void CommandPrompt::Run() {
    const std::string text = edit_->currentText().toStdString();
    QtOpenExecuteUi ui;
    if (RunCommandLine(text, workingDir_(), ui) != 0)
        return;
    AddToHistory(Settings(), CommandLineText(text));
    fillHistory();
}

void CommandPrompt::fillHistory() {
    const CommandHistory h = ReadCommandHistory(Settings());
    edit_->clear();
    for (const std::string& entry : h)
        edit_->addItem(qs(entry));
    edit_->setCurrentIndex(0);
    edit_->setEditText(qs(h[0]));
}

void CommandPrompt::setVisible(bool visible) {
    prompt_->setVisible(visible);
    edit_->setVisible(visible);
    run_->setVisible(visible);
}

} // namespace km
