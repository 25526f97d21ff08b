#include "mainwindow/HelpWindow.h"
#include "support/TempDir.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

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
