#pragma once
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace km {

// The editor's non-modal Find ("FIND") and Replace ("REPLACE") dialogs. They
// only collect the texts and the match-case choice; the editor window does
// the searching when a button signal arrives. Searching is always downwards
// and never whole-word, so neither choice is offered.
class FindReplaceDialog : public QDialog {
    Q_OBJECT
public:
    FindReplaceDialog(bool replace, QWidget* parent);

    bool isReplace() const { return replace_; }
    void setTexts(const QString& find, const QString& replace, bool matchCase);
    QString findText() const;
    QString replaceText() const;
    bool matchCase() const;

signals:
    void findNextRequested();
    void replaceRequested();
    void replaceAllRequested();

private:
    void updateButtons();

    bool replace_;
    QLineEdit* find_ = nullptr;
    QLineEdit* replaceWith_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QPushButton* findNext_ = nullptr;
    QPushButton* replaceOne_ = nullptr;
    QPushButton* replaceAll_ = nullptr;
};

} // namespace km
