#include "mainwindow/HelpWindow.h"
#include "resources/CommandIds.h"
#include "support/TempDir.h"

#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <map>

#include <fstream>
#include <gtest/gtest.h>

using km::HelpWindow;

namespace {

const QString kShipped = QDir::cleanPath(QStringLiteral(KM_TEST_HELP_DIR));

QString ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QStringList ResultPages(const HelpWindow* w) {
    QStringList pages;
    for (int i = 0; i < w->results()->count(); ++i)
        pages << w->results()->item(i)->data(Qt::UserRole).toString();
    return pages;
}

QStringList ResultLabels(const HelpWindow* w) {
    QStringList labels;
    for (int i = 0; i < w->results()->count(); ++i)
        labels << w->results()->item(i)->text();
    return labels;
}

// Points the help window at another directory for one test.
class ScopedHelpDir {
public:
    explicit ScopedHelpDir(const std::string& dir) : old_(qgetenv("KM_HELP_DIR")) {
        qputenv("KM_HELP_DIR", QByteArray::fromStdString(dir));
    }
    ~ScopedHelpDir() { qputenv("KM_HELP_DIR", old_); }

private:
    QByteArray old_;
};

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A menu text as the user reads it: no mnemonic, no key hint, no dots.
QString MenuTitle(const char* menuText) {
    QString t = QString::fromUtf8(menuText).section(QLatin1Char('\t'), 0, 0);
    t.remove(QLatin1Char('&'));
    t.remove(QStringLiteral("..."));
    return t;
}

// Commands the user can look up: every one with a menu text. The desktop
// menu's placeholder is removed before that menu is ever shown.
std::vector<km::CommandInfo> MenuCommands() {
    std::vector<km::CommandInfo> out;
    for (const km::CommandInfo& c : km::AllCommands()) {
        if (*c.menuText && c.id != km::CmdDesktopPlaceholder)
            out.push_back(c);
    }
    return out;
}

// The help contexts the sources set with a literal or a named constant
// (HelpContextScope or an assignment to helpContext). Arguments that are
// variables carry command numbers, which MenuCommands() covers.
std::map<int, QString> ContextsSetInSources() {
    const QString src = QStringLiteral(KM_TEST_SOURCE_DIR);
    std::map<QString, int> commandIds;
    static const QRegularExpression enumRe(QStringLiteral("\\b(Cmd\\w+)\\s*=\\s*(\\d+)"));
    const QString ids = ReadAll(src + QStringLiteral("/resources/CommandIds.h"));
    for (auto it = enumRe.globalMatch(ids); it.hasNext();) {
        const auto m = it.next();
        commandIds[m.captured(1)] = m.captured(2).toInt();
    }
    static const QRegularExpression setRe(QStringLiteral(
        "HelpContextScope\\s+\\w+\\s*\\(([^)]*)\\)|helpContext\\s*=\\s*([^;=][^;]*);"));
    static const QRegularExpression tokenRe(QStringLiteral("\\b(\\d{3,5}|[A-Za-z_]\\w*)\\b"));
    std::map<int, QString> found;
    QDirIterator files(src, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString code = ReadAll(path);
        for (auto it = setRe.globalMatch(code); it.hasNext();) {
            const auto m = it.next();
            const QString expr = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
            for (auto t = tokenRe.globalMatch(expr); t.hasNext();) {
                const QString token = t.next().captured(1);
                int context = 0;
                if (token.front().isDigit()) {
                    context = token.toInt();
                } else if (commandIds.count(token)) {
                    context = commandIds[token];
                } else if (token.startsWith(QLatin1Char('k'))) {
                    const QRegularExpression constRe(
                        QStringLiteral("constexpr int %1 = (\\d+);").arg(token));
                    const auto c = constRe.match(code);
                    if (c.hasMatch())
                        context = c.captured(1).toInt();
                }
                if (context > 0)
                    found.emplace(context, QDir(src).relativeFilePath(path));
            }
        }
    }
    return found;
}

} // namespace

TEST(HelpWindow, OpensContextPagesAndFallsBackToContents) {
    HelpWindow* w = HelpWindow::Instance();
    ASSERT_EQ(w, HelpWindow::Instance());
    EXPECT_EQ(w->objectName(), QStringLiteral("HELP"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("KM - Help"));
    EXPECT_EQ(km::HelpDirectory(), kShipped);

    EXPECT_TRUE(w->ShowContext(6410));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->currentPage(), QStringLiteral("6410.html"));
    EXPECT_TRUE(w->browser()->documentTitle().contains(QStringLiteral("Colors")));

    EXPECT_FALSE(w->ShowContext(4242));
    EXPECT_EQ(w->currentPage(), QStringLiteral("index.html"));
    EXPECT_FALSE(w->ShowContext(0));
    EXPECT_EQ(w->currentPage(), QStringLiteral("index.html"));

    EXPECT_TRUE(w->ShowPage(QStringLiteral("6290")));
    EXPECT_EQ(w->currentPage(), QStringLiteral("6290.html"));
    // A page name is a file of the help directory, never a path out of it.
    EXPECT_FALSE(w->ShowPage(QStringLiteral("../tests/mainwindow/CMakeLists.txt")));
    EXPECT_EQ(w->currentPage(), QStringLiteral("index.html"));
}

TEST(HelpWindow, BackForwardAndContentsButtons) {
    HelpWindow* w = HelpWindow::Instance();
    auto* back = w->findChild<QPushButton*>(QStringLiteral("back"));
    auto* forward = w->findChild<QPushButton*>(QStringLiteral("forward"));
    auto* contents = w->findChild<QPushButton*>(QStringLiteral("contents"));
    ASSERT_TRUE(back && forward && contents);

    w->ShowContext(6040);
    w->ShowPage(QStringLiteral("keys.html"));
    ASSERT_TRUE(back->isEnabled());
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(w->currentPage(), QStringLiteral("6040.html"));
    ASSERT_TRUE(forward->isEnabled());
    QTest::mouseClick(forward, Qt::LeftButton);
    EXPECT_EQ(w->currentPage(), QStringLiteral("keys.html"));
    QTest::mouseClick(contents, Qt::LeftButton);
    EXPECT_EQ(w->currentPage(), QStringLiteral("index.html"));
}

// F1 in a modal dialog opens help; the help window must still take input then.
TEST(HelpWindow, UsableWhileAModalDialogIsOpen) {
    HelpWindow* w = HelpWindow::Instance();
    w->ShowContents();
    QDialog dialog;
    QString shown;
    QTimer::singleShot(0, &dialog, [&] {
        w->ShowContext(6410);
        // Through the window, as the window system delivers it, so modality applies.
        auto* contents = w->findChild<QPushButton*>(QStringLiteral("contents"));
        const QPoint at = contents->mapTo(w, contents->rect().center());
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        shown = w->currentPage();
        dialog.reject();
    });
    dialog.exec();
    EXPECT_EQ(shown, QStringLiteral("index.html"));
}

TEST(HelpWindow, KeywordSearchFindsAndOpensPages) {
    HelpWindow* w = HelpWindow::Instance();
    w->ShowSearch(QStringLiteral("COLO"));
    EXPECT_TRUE(ResultPages(w).contains(QStringLiteral("6410.html")));
    EXPECT_EQ(w->currentPage(), QStringLiteral("6410.html"));

    // Keywords that begin with the text are listed before those that only contain it.
    w->ShowSearch(QStringLiteral("select"));
    const QStringList labels = ResultLabels(w);
    ASSERT_GE(labels.size(), 2);
    EXPECT_TRUE(labels.front().startsWith(QStringLiteral("select"), Qt::CaseInsensitive));
    EXPECT_TRUE(labels.contains(QStringLiteral("deselect all")));
    EXPECT_LT(labels.indexOf(QStringLiteral("select all")),
              labels.indexOf(QStringLiteral("deselect all")));

    // An empty keyword lists the whole index without leaving the page shown.
    w->ShowPage(QStringLiteral("keys.html"));
    w->ShowSearch(QString());
    EXPECT_GT(w->results()->count(), 30);
    EXPECT_EQ(w->currentPage(), QStringLiteral("keys.html"));

    w->ShowSearch(QStringLiteral("no such topic anywhere"));
    EXPECT_EQ(w->results()->count(), 0);
}

TEST(HelpWindow, IndexRejectsBadEntriesAndSearchesTitles) {
    km::test::TempDir dir;
    Write(dir.file("index.html"), "<html><head><title>Contents</title></head></html>");
    Write(dir.file("a.html"), "<html><head><title>Zebra &amp; crossing</title></head></html>");
    Write(dir.file("keywords.txt"), "# comment\nalpha\ta.html\r\n"
                                    "escape\t../outside.html\nmissing\tnope.html\n"
                                    "no tab here\n\tempty.html\n");
    ScopedHelpDir scoped(dir.path());
    ASSERT_EQ(km::HelpDirectory(), QString::fromStdString(dir.path()));

    HelpWindow* w = HelpWindow::Instance();
    w->ShowSearch(QString());
    EXPECT_EQ(ResultLabels(w), QStringList{QStringLiteral("alpha")});

    w->ShowSearch(QStringLiteral("zebra &"));
    EXPECT_EQ(ResultLabels(w), QStringList{QStringLiteral("Zebra & crossing")});
    EXPECT_EQ(w->currentPage(), QStringLiteral("a.html"));

    // A page the index already names for the text is not listed twice by its title.
    w->ShowSearch(QStringLiteral("a"));
    EXPECT_EQ(ResultPages(w).count(QStringLiteral("a.html")), 1);
}

TEST(HelpWindow, DirectoryWithoutContentsIsSkipped) {
    km::test::TempDir dir;
    Write(dir.file("6410.html"), "<html><head><title>Not ours</title></head></html>");
    ScopedHelpDir scoped(dir.path());
    EXPECT_NE(km::HelpDirectory(), QString::fromStdString(dir.path()));
}

// The shipped pages: what the program opens by number must exist, every page
// must carry a title, link only to pages that exist and be reachable from the contents.
TEST(ShippedHelp, ContextPagesExist) {
    const int contexts[] = {57670, 6290, 6270, 6250, 6460, 6520, 6510, 6380, 6040, 6050, 6060,
                            6070,  6440, 6035, 6350, 6370, 6450, 6255, 6410, 6240, 6150};
    for (int c : contexts)
        EXPECT_TRUE(QFile::exists(kShipped + QStringLiteral("/%1.html").arg(c))) << c;
    EXPECT_TRUE(QFile::exists(kShipped + QStringLiteral("/keys.html")));
}

TEST(ShippedHelp, PagesHaveTitlesAndLinksResolve) {
    const QStringList pages = QDir(kShipped).entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_GT(pages.size(), 20);
    static const QRegularExpression title(QStringLiteral("<title>\\s*\\S[^<]*</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""),
                                         QRegularExpression::CaseInsensitiveOption);
    QSet<QString> reached{QStringLiteral("index.html")};
    QStringList queue{QStringLiteral("index.html")};
    for (const QString& page : pages) {
        const QString html = ReadAll(kShipped + QLatin1Char('/') + page);
        EXPECT_TRUE(title.match(html).hasMatch()) << page.toStdString();
        EXPECT_TRUE(html.contains(QStringLiteral("</html>"))) << page.toStdString();
        for (auto it = href.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1).section(QLatin1Char('#'), 0, 0);
            EXPECT_FALSE(target.contains(QLatin1Char('/')))
                << page.toStdString() << " -> " << target.toStdString();
            EXPECT_TRUE(pages.contains(target))
                << page.toStdString() << " -> " << target.toStdString();
        }
    }
    while (!queue.isEmpty()) {
        const QString html = ReadAll(kShipped + QLatin1Char('/') + queue.takeFirst());
        for (auto it = href.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1).section(QLatin1Char('#'), 0, 0);
            if (!reached.contains(target) && pages.contains(target)) {
                reached.insert(target);
                queue << target;
            }
        }
    }
    for (const QString& page : pages)
        EXPECT_TRUE(reached.contains(page))
            << page.toStdString() << " is not reachable from the contents";
}

TEST(ShippedHelp, KeywordLinesNameExistingPages) {
    const QStringList lines =
        ReadAll(kShipped + QStringLiteral("/keywords.txt")).split(QLatin1Char('\n'));
    int entries = 0;
    for (const QString& line : lines) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char('\t'));
        ASSERT_EQ(parts.size(), 2) << line.toStdString();
        EXPECT_TRUE(QFile::exists(kShipped + QLatin1Char('/') + parts[1])) << line.toStdString();
        ++entries;
    }
    EXPECT_GT(entries, 30);
}

// F1 in a dialog opens the dialog's page; a number without one would fall
// back to the contents.
TEST(ShippedHelp, EveryContextTheProgramSetsHasAPage) {
    HelpWindow* w = HelpWindow::Instance();
    for (const km::CommandInfo& c : MenuCommands())
        EXPECT_FALSE(w->PageForContext(c.id).isEmpty()) << c.id << " " << c.menuText;

    const std::map<int, QString> set = ContextsSetInSources();
    // The dialogs' own numbers, so the scan cannot quietly find nothing.
    for (int c : {5050, 5055, 5060, 5080, 5090, 5110, 5190, 6000, 6030, 6100, 6110, 6230, 6430})
        EXPECT_TRUE(set.count(c)) << c << " is no longer set anywhere";
    for (const auto& [context, file] : set)
        EXPECT_FALSE(w->PageForContext(context).isEmpty())
            << context << " set in " << file.toStdString() << " has no page";
}

TEST(ShippedHelp, DialogContextsOpenTheirOwnPage) {
    HelpWindow* w = HelpWindow::Instance();
    for (int c : {5050, 5055, 5060, 5080, 5090, 5110, 6005, 6090, 6360, 6470, 6480, 6500}) {
        EXPECT_TRUE(w->ShowContext(c)) << c;
        EXPECT_EQ(w->currentPage(), QStringLiteral("%1.html").arg(c));
    }
    // A command and the dialog it opens share a page.
    EXPECT_TRUE(w->ShowContext(km::CmdEditNew));
    EXPECT_EQ(w->currentPage(), QStringLiteral("5055.html"));
    EXPECT_TRUE(w->ShowContext(km::CmdMakeDir));
    EXPECT_EQ(w->currentPage(), QStringLiteral("5090.html"));
    EXPECT_TRUE(w->ShowContext(km::CmdEditorReplace));
    EXPECT_EQ(w->currentPage(), QStringLiteral("5900.html"));
}

// No page may claim a number another page already answers to: one of the two
// would never be shown.
TEST(ShippedHelp, SharedContextsAreUnambiguous) {
    static const QRegularExpression meta(
        QStringLiteral("<meta name=\"contexts\" content=\"([^\"]*)\""));
    QMap<int, QString> claimed;
    for (const QString& page : QDir(kShipped).entryList({QStringLiteral("*.html")}, QDir::Files)) {
        const auto m = meta.match(ReadAll(kShipped + QLatin1Char('/') + page));
        if (!m.hasMatch())
            continue;
        for (const QString& n : m.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            EXPECT_FALSE(QFile::exists(kShipped + QStringLiteral("/%1.html").arg(n)))
                << page.toStdString() << " claims " << n.toStdString()
                << ", which has its own page";
            EXPECT_FALSE(claimed.contains(n.toInt()))
                << n.toStdString() << " claimed by " << page.toStdString() << " and "
                << claimed.value(n.toInt()).toStdString();
            claimed.insert(n.toInt(), page);
        }
    }
}

TEST(ShippedHelp, SearchFindsEveryCommandByTheWordsOfItsTitle) {
    HelpWindow* w = HelpWindow::Instance();
    static const QSet<QString> stopWords{QStringLiteral("the"), QStringLiteral("for"),
                                         QStringLiteral("and"), QStringLiteral("this")};
    static const QRegularExpression nonLetters(QStringLiteral("[^A-Za-z]+"));
    for (const km::CommandInfo& c : MenuCommands()) {
        const QString page = w->PageForContext(c.id);
        for (const QString& word : MenuTitle(c.menuText).split(nonLetters, Qt::SkipEmptyParts)) {
            if (word.size() < 3 || stopWords.contains(word.toLower()))
                continue;
            w->ShowSearch(word);
            EXPECT_TRUE(ResultPages(w).contains(page))
                << word.toStdString() << " does not find " << page.toStdString() << " ("
                << c.menuText << ")";
        }
    }
    // The words the empty searches were reported with.
    w->ShowSearch(QStringLiteral("copy"));
    EXPECT_TRUE(ResultPages(w).contains(QStringLiteral("5060.html")));
    w->ShowSearch(QStringLiteral("Archive"));
    EXPECT_TRUE(ResultPages(w).contains(QStringLiteral("6430.html")));
    w->ShowSearch(QStringLiteral("ftp"));
    EXPECT_TRUE(ResultPages(w).contains(QStringLiteral("6257.html")));
    EXPECT_TRUE(ResultPages(w).contains(QStringLiteral("6377.html")));
}

TEST(ShippedHelp, IndexIsInAlphabeticalOrder) {
    EXPECT_TRUE(km::HelpTopicLess(QStringLiteral("apple"), QStringLiteral("Banana")));
    EXPECT_TRUE(km::HelpTopicLess(QStringLiteral("Banana"), QStringLiteral("cherry")));

    HelpWindow* w = HelpWindow::Instance();
    w->ShowSearch(QString());
    const QStringList listed = ResultLabels(w);
    for (qsizetype i = 1; i < listed.size(); ++i)
        EXPECT_FALSE(km::HelpTopicLess(listed[i], listed[i - 1]))
            << listed[i - 1].toStdString() << " before " << listed[i].toStdString();

    // The index page names every page. Written once, it follows English order,
    // whatever the locale the tests run in.
    static const QRegularExpression item(QStringLiteral("<li><a href=\"([^\"]+)\">([^<]+)</a>"));
    const QString html = ReadAll(kShipped + QStringLiteral("/57670.html"));
    QStringList labels;
    QSet<QString> pages;
    for (auto it = item.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        pages.insert(m.captured(1));
        labels << m.captured(2);
    }
    for (qsizetype i = 1; i < labels.size(); ++i)
        EXPECT_LE(QString::compare(labels[i - 1], labels[i], Qt::CaseInsensitive), 0)
            << labels[i - 1].toStdString() << " before " << labels[i].toStdString();
    for (const QString& page : QDir(kShipped).entryList({QStringLiteral("*.html")}, QDir::Files)) {
        if (page != QStringLiteral("57670.html") && page != QStringLiteral("index.html")) {
            EXPECT_TRUE(pages.contains(page)) << page.toStdString() << " is missing from the index";
        }
    }
}

TEST(HelpWindow, TextSearchMatchesWordStartsAndSharedContexts) {
    km::test::TempDir dir;
    Write(dir.file("index.html"),
          "<html><head><meta name=\"robots\" content=\"noindex\">"
          "<title>Contents</title></head><body>zebra printing</body></html>");
    Write(dir.file("a.html"), "<html><head><title>Alpha</title></head>"
                              "<body><p>Printing of <b>pages</b></p></body></html>");
    Write(dir.file("b.html"),
          "<html><head><meta name=\"contexts\" content=\"7 8 1\">"
          "<title>Beta</title></head><body>The PRINTER and its pages.</body></html>");
    Write(dir.file("c.html"), "<html><head><meta name=\"contexts\" content=\"8\">"
                              "<title>Gamma</title></head><body>reprint</body></html>");
    Write(dir.file("1.html"), "<html><head><title>One</title></head><body></body></html>");
    ScopedHelpDir scoped(dir.path());
    HelpWindow* w = HelpWindow::Instance();

    // Opened by F1, the window has not searched yet; typing must still find pages.
    EXPECT_TRUE(w->ShowContext(7));
    EXPECT_EQ(w->currentPage(), QStringLiteral("b.html"));
    auto* field = w->findChild<QLineEdit*>(QStringLiteral("keyword"));
    ASSERT_TRUE(field);
    field->clear();
    QTest::keyClicks(field, QStringLiteral("print"));
    EXPECT_EQ(ResultPages(w), (QStringList{QStringLiteral("a.html"), QStringLiteral("b.html")}));

    w->ShowSearch(QStringLiteral("rint"));
    EXPECT_TRUE(ResultPages(w).isEmpty()); // inside a word is no match
    w->ShowSearch(QStringLiteral("printer  PAGES"));
    EXPECT_EQ(ResultPages(w), QStringList{QStringLiteral("b.html")});
    w->ShowSearch(QStringLiteral("zebra"));
    EXPECT_TRUE(ResultPages(w).isEmpty());

    EXPECT_EQ(w->PageForContext(8), QStringLiteral("b.html")); // the first claim holds
    EXPECT_EQ(w->PageForContext(1), QStringLiteral("1.html")); // an own page comes first
    EXPECT_FALSE(w->ShowContext(9));
    EXPECT_EQ(w->currentPage(), QStringLiteral("index.html"));
}
