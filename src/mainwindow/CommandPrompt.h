#pragma once
// The command line under the panels: the active directory as its prompt, a
// drop-down edit with the last ten commands, and "Run".
#include <QObject>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace km {

class CommandPrompt : public QObject {
    Q_OBJECT
public:
    // `activeDir` is what the prompt shows, `workingDir` where commands start.
    CommandPrompt(QWidget* parent, std::function<std::string()> activeDir, std::function<std::string()> workingDir);

    QLabel* promptLabel() const { return prompt_; }
    QComboBox* edit() const { return edit_; }
    QPushButton* runButton() const { return run_; }

    // The prompt text from the active directory.
    void UpdatePrompt();
    // Runs the edit's text; a started command goes to the top of the history.
    void Run();
    void setVisible(bool visible);

private:
    void fillHistory();

    std::function<std::string()> activeDir_;
    std::function<std::string()> workingDir_;
    QLabel* prompt_;
    QComboBox* edit_;
    QPushButton* run_;
};

} // namespace km
