#pragma once
// "FILESEARCH": finds files by name and contained text below a directory;
// a result can be run, edited, or shown in the panel that opened the dialog.
#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace km {

class FilePanel;

class FileSearchDialog : public QDialog {
    Q_OBJECT
public:
    FileSearchDialog(FilePanel& panel, QWidget* mainWindow);

    // Message 0x414 on `panel`: 4480 on an FTP site, else the dialog.
    static void Run(FilePanel& panel, QWidget* mainWindow);

    QListWidget* results() const { return list_; }

private:
    void search();
    void newSearch();
    void execute();
    void edit();
    void goThere();
    void reloadHistory();
    void setResultButtons(bool enabled);
    void makeDefault(QPushButton* b);
    std::string selectedResult() const;
    std::string defaultPattern() const;

    FilePanel& panel_;
    QWidget* mainWindow_;
    QListWidget* list_;
    QLineEdit* pattern_;
    QComboBox* text_;
    QCheckBox* subdirs_;
    QCheckBox* caseInsensitive_;
    QPushButton* search_;
    QPushButton* newSearch_;
    QPushButton* execute_;
    QPushButton* edit_;
    QPushButton* goThere_;
};

} // namespace km
