#pragma once
// "FILECOMP": two files side by side, equal lines black on the same row in
// both lists, lines only one file has red opposite empty rows. One vertical
// scroll bar moves both lists; the buttons go to the next or previous
// difference or match, open either file in the editor and change the font.
#include "fileops/compare/DisplayRows.h"
#include "fileops/compare/FileComparer.h"

#include <QDialog>
#include <string>

class QLabel;
class QListView;
class QScrollBar;

namespace km {

class CompareRowDelegate;
class CompareRowModel;

class FileCompareWindow : public QDialog {
    Q_OBJECT
public:
    // Paths are byte strings. Nothing is read until Load().
    FileCompareWindow(std::string leftPath, std::string rightPath, QWidget* parent = nullptr);
    ~FileCompareWindow() override;

    // Compares the files under the wait cursor ("NegeerSpaties" and "PerTab"
    // as stored now) and fills the lists; a file that cannot be read leaves
    // both empty. When memory runs out the user chooses: Abort ends the
    // program, Retry tries again, Ignore gives up and Load returns false.
    bool Load();

    const DisplayRows& rows() const { return rows_; }
    int topRow() const { return top_; }
    int visibleRows() const { return visible_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int rowCount() const { return static_cast<int>(rows_.left.size()); }
    void setTop(int row);
    void onScrollAction(int action);
    void navigate(bool forward, bool difference);
    void chooseFont();
    void applyFont(const QFont& font);
    void updatePage();
    void edit(const std::string& path);

    std::string paths_[2];
    FileComparer comparer_{false};
    DisplayRows rows_;
    QLabel* names_[2] = {};
    QListView* lists_[2] = {};
    CompareRowModel* models_[2] = {};
    CompareRowDelegate* delegate_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    int top_ = 0;
    int visible_ = 1;
};

// The Compare command once both files are known: "FILECOMP" on them, modal,
// with help context 6030.
void CompareFiles(const std::string& leftPath, const std::string& rightPath, QWidget* owner);

} // namespace km
