#include "mainwindow/NetworkChoiceDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

NetworkChoiceDialog::NetworkChoiceDialog(const std::string& message,
                                         const std::vector<std::string>& choices, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("NETWORKCHOICE"));
    setWindowTitle(QStringLiteral("KM - Network"));
    auto* layout = new QVBoxLayout(this);
    auto* text =
        new QLabel(QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())), this);
    text->setObjectName(QStringLiteral("message"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (size_t i = 0; i < choices.size(); ++i) {
        // The server's words: a '&' in them is text, not a shortcut.
        QString caption =
            QString::fromUtf8(choices[i].data(), static_cast<qsizetype>(choices[i].size()));
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QStringLiteral("choice%1").arg(i + 1));
        button->setAutoDefault(false);
        const int index = static_cast<int>(i);
        connect(button, &QPushButton::clicked, this, [this, index] { done(index + 1); });
        row->addWidget(button);
    }
    layout->addLayout(row);
}

int NetworkChoiceDialog::Ask(const std::string& message, const std::vector<std::string>& choices,
                             QWidget* parent) {
    NetworkChoiceDialog dlg(message, choices, parent);
    return dlg.exec() - 1; // Rejected (0) is -1
}

} // namespace km
