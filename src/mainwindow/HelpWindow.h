#pragma once
// The help window: the HTML pages of the help directory, opened at the contents
// page, at a context number (a command's number names its page) or by keyword.
#include <QHash>
#include <QString>
#include <QWidget>

#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTextBrowser;

namespace km {

// The directory that holds the help pages for a program in `programDir`:
// help/ next to it (a build tree), else the installed pages (share/kestrum/help
// beside its bin/), else $KM_HELP_DIR, else the source tree's help/. A
// candidate counts only when it holds index.html; empty when none does.
QString HelpDirectoryFor(const QString& programDir);
// The same for the running program.
QString HelpDirectory();

// The order of the help index: the panels' case-insensitive collation.
bool HelpTopicLess(const QString& a, const QString& b);

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // The one help window of the process, created on first use.
    static HelpWindow* Instance();

    void ShowContents();
    // Opens the context's page (PageForContext); without one shows the contents
    // and returns false.
    bool ShowContext(int context);
    // "<context>.html", else the page that lists the context in its
    // <meta name="contexts" content="..."> (numbers that share a page, such as a
    // command and the dialog it opens); empty when neither exists.
    QString PageForContext(int context);
    // Lists the index entries and page titles that contain `keyword`, then the
    // pages whose text has every word of it as a word or word start, and opens
    // the first; an empty keyword lists the whole index.
    void ShowSearch(const QString& keyword);
    // Opens a page by file name ("6290.html"; the suffix may be left out).
    bool ShowPage(const QString& name);

    QTextBrowser* browser() const { return browser_; }
    QListWidget* results() const { return results_; }
    // File name of the page shown, empty when none is.
    QString currentPage() const;

private:
    HelpWindow();

    struct IndexEntry {
        QString label;
        QString page;
        std::string sortKey;
    };
    struct PageInfo {
        QString page;
        QString title;
        // Title and body, case-folded; empty for pages kept out of the text search.
        QString foldedText;
        std::string sortKey;
    };

    bool open(const QString& dir, const QString& page);
    void showMissingHelp();
    void bringUp();
    void loadIndex(const QString& dir);
    void ensureIndex(const QString& dir);
    void fillResults(const QString& keyword);
    void openResult(QListWidgetItem* item);

    QPushButton* contents_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
    QLineEdit* keyword_ = nullptr;
    QListWidget* results_ = nullptr;
    QTextBrowser* browser_ = nullptr;

    // The directory the index below was read from.
    QString indexDir_;
    std::vector<IndexEntry> keywords_; // from keywords.txt, sorted by label
    std::vector<PageInfo> pages_;      // every titled page, sorted by title
    QHash<int, QString> sharedContexts_;
};

} // namespace km
