#pragma once
// "NETWORKCHOICE": a question a network server puts while a drive is
// connected or disconnected (an unknown host key, a busy volume), one button
// per answer.
#include <QDialog>

#include <string>
#include <vector>

namespace km {

class NetworkChoiceDialog : public QDialog {
    Q_OBJECT
public:
    NetworkChoiceDialog(const std::string& message, const std::vector<std::string>& choices,
                        QWidget* parent);
    // The chosen answer's index; -1 when the dialog is closed without one.
    static int Ask(const std::string& message, const std::vector<std::string>& choices,
                   QWidget* parent);
};

} // namespace km
