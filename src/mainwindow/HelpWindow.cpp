#include "mainwindow/HelpWindow.h"

#include "platform/Collation.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QShortcut>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace km {

namespace {

constexpr qint64 kMaxIndexBytes = 1 << 20;
constexpr qint64 kMaxPageBytes = 1 << 20;

bool HoldsHelp(const QString& dir) {
    return !dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/index.html"));
}

// Index lines and callers name pages; only a plain file name of the help
// directory is accepted, so an entry cannot point outside it.
bool IsPageName(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_-]+\\.html$"));
    return re.match(name).hasMatch();
}

struct PageText {
    QString title;
    QString body;
    QList<int> contexts;
    bool searchable = true;
};

PageText ReadPage(const QString& path) {
    PageText out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QString html = QString::fromUtf8(f.read(kMaxPageBytes));
    static const QRegularExpression titleRe(QStringLiteral("<title[^>]*>(.*?)</title>"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = titleRe.match(html);
    if (m.hasMatch())
        out.title = QTextDocumentFragment::fromHtml(m.captured(1)).toPlainText().simplified();

    static const QRegularExpression metaRe(
        QStringLiteral("<meta\\s+name=\"([a-z]+)\"\\s+content=\"([^\"]*)\""),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = metaRe.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch meta = it.next();
        const QString name = meta.captured(1).toLower();
        if (name == QStringLiteral("contexts")) {
            for (const QString& n : meta.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                bool ok = false;
                const int context = n.toInt(&ok);
                if (ok && context > 0)
                    out.contexts << context;
            }
        } else if (name == QStringLiteral("robots")) {
            // Topic lists (the contents, the index) name every other page and
            // would match every word.
            out.searchable =
                !meta.captured(2).contains(QStringLiteral("noindex"), Qt::CaseInsensitive);
        }
    }
    if (out.searchable) {
        static const QRegularExpression bodyRe(QStringLiteral("<body[^>]*>(.*)</body>"),
                                               QRegularExpression::CaseInsensitiveOption |
                                                   QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch b = bodyRe.match(html);
        out.body =
            QTextDocumentFragment::fromHtml(b.hasMatch() ? b.captured(1) : html).toPlainText();
    }
    return out;
}

std::string SortKey(const QString& label) {
    return CollationKey(label.toUtf8().toStdString());
}

// Every word of `words` (case-folded) starts a word of `folded`.
bool HasWordStarts(const QString& folded, const QStringList& words) {
    for (const QString& w : words) {
        bool found = false;
        for (qsizetype at = folded.indexOf(w); at >= 0 && !found; at = folded.indexOf(w, at + 1))
            found = at == 0 || !folded.at(at - 1).isLetterOrNumber();
        if (!found)
            return false;
    }
    return true;
}

} // namespace

QString HelpDirectoryFor(const QString& programDir) {
    QStringList candidates{programDir + QStringLiteral("/help")};
#ifdef KM_INSTALLED_HELP_DIR
    candidates << programDir + QStringLiteral("/" KM_INSTALLED_HELP_DIR);
#endif
    candidates << qEnvironmentVariable("KM_HELP_DIR");
#ifdef KM_SOURCE_HELP_DIR
    candidates << QStringLiteral(KM_SOURCE_HELP_DIR);
#endif
    for (const QString& dir : candidates) {
        if (HoldsHelp(dir))
            return QDir::cleanPath(QDir(dir).absolutePath());
    }
    return {};
}

QString HelpDirectory() {
    return HelpDirectoryFor(QCoreApplication::applicationDirPath());
}

bool HelpTopicLess(const QString& a, const QString& b) {
    return SortKey(a) < SortKey(b);
}

HelpWindow* HelpWindow::Instance() {
    static QPointer<HelpWindow> instance;
    if (!instance) {
        instance = new HelpWindow;
        // Parentless, so it is deleted when the event loop ends rather than
        // outliving the application object.
        connect(qApp, &QCoreApplication::aboutToQuit, instance, &QObject::deleteLater);
    }
    return instance;
}

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("HELP"));
    setWindowTitle(QStringLiteral("KM - Help"));
    // An open help window must not keep the program running after the main window closes.
    setAttribute(Qt::WA_QuitOnClose, false);

    contents_ = new QPushButton(QStringLiteral("&Contents"), this);
    contents_->setObjectName(QStringLiteral("contents"));
    back_ = new QPushButton(QStringLiteral("&Back"), this);
    back_->setObjectName(QStringLiteral("back"));
    back_->setEnabled(false);
    forward_ = new QPushButton(QStringLiteral("&Forward"), this);
    forward_->setObjectName(QStringLiteral("forward"));
    forward_->setEnabled(false);
    keyword_ = new QLineEdit(this);
    keyword_->setObjectName(QStringLiteral("keyword"));
    keyword_->setPlaceholderText(QStringLiteral("Search for a keyword"));
    keyword_->setClearButtonEnabled(true);
    results_ = new QListWidget(this);
    results_->setObjectName(QStringLiteral("results"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("page"));
    browser_->setOpenExternalLinks(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents_);
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch();

    auto* searchPane = new QWidget(this);
    auto* searchLayout = new QVBoxLayout(searchPane);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    searchLayout->addWidget(keyword_);
    searchLayout->addWidget(results_);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(searchPane);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({180, 540});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    resize(760, 540);

    connect(contents_, &QPushButton::clicked, this, &HelpWindow::ShowContents);
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
    connect(keyword_, &QLineEdit::textEdited, this, &HelpWindow::fillResults);
    connect(keyword_, &QLineEdit::returnPressed, this, [this] {
        if (results_->count() > 0)
            openResult(results_->item(0));
    });
    connect(results_, &QListWidget::itemActivated, this, &HelpWindow::openResult);
    connect(results_, &QListWidget::itemClicked, this, &HelpWindow::openResult);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
}

QString HelpWindow::currentPage() const {
    const QUrl source = browser_->source();
    return source.isLocalFile() ? QFileInfo(source.toLocalFile()).fileName() : QString();
}

void HelpWindow::ShowContents() {
    const QString dir = HelpDirectory();
    if (dir.isEmpty())
        showMissingHelp();
    else
        open(dir, QStringLiteral("index.html"));
    bringUp();
}

bool HelpWindow::ShowContext(int context) {
    const QString dir = HelpDirectory();
    if (dir.isEmpty()) {
        showMissingHelp();
        bringUp();
        return false;
    }
    const QString page = PageForContext(context);
    const bool found = !page.isEmpty() && open(dir, page);
    if (!found)
        open(dir, QStringLiteral("index.html"));
    bringUp();
    return found;
}

QString HelpWindow::PageForContext(int context) {
    const QString dir = HelpDirectory();
    if (context <= 0 || dir.isEmpty())
        return {};
    const QString own = QStringLiteral("%1.html").arg(context);
    if (QFileInfo(dir + QLatin1Char('/') + own).isFile())
        return own;
    ensureIndex(dir);
    return sharedContexts_.value(context);
}

bool HelpWindow::ShowPage(const QString& name) {
    const QString page =
        name.endsWith(QStringLiteral(".html")) ? name : name + QStringLiteral(".html");
    const QString dir = HelpDirectory();
    bool found = false;
    if (dir.isEmpty())
        showMissingHelp();
    else if (!(found = open(dir, page)))
        open(dir, QStringLiteral("index.html"));
    bringUp();
    return found;
}

void HelpWindow::ShowSearch(const QString& keyword) {
    const QString dir = HelpDirectory();
    if (dir.isEmpty()) {
        indexDir_.clear();
        keywords_.clear();
        pages_.clear();
        sharedContexts_.clear();
        showMissingHelp();
    } else {
        loadIndex(dir);
    }
    keyword_->setText(keyword);
    fillResults(keyword);
    if (!keyword.trimmed().isEmpty() && results_->count() > 0)
        openResult(results_->item(0));
    else if (!dir.isEmpty() && currentPage().isEmpty())
        open(dir, QStringLiteral("index.html"));
    bringUp();
    keyword_->setFocus();
}

bool HelpWindow::open(const QString& dir, const QString& page) {
    if (!IsPageName(page))
        return false;
    const QString path = dir + QLatin1Char('/') + page;
    if (!QFileInfo(path).isFile())
        return false;
    browser_->setSource(QUrl::fromLocalFile(path));
    return true;
}

void HelpWindow::showMissingHelp() {
    browser_->setHtml(QStringLiteral(
        "<h3>Help is not installed</h3><p>The help pages were not found in the folder "
        "<i>help</i> next to the program.</p>"));
}

void HelpWindow::bringUp() {
    // Opened from a modal dialog (F1), the window would be blocked by it: as the
    // dialog's transient child it takes input while the dialog stays modal.
    if (!windowHandle())
        create();
    QWidget* modal = QApplication::activeModalWidget();
    QWindow* owner = modal && modal != this ? modal->window()->windowHandle() : nullptr;
    if (windowHandle()->transientParent() != owner)
        windowHandle()->setTransientParent(owner);
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void HelpWindow::ensureIndex(const QString& dir) {
    if (dir != indexDir_)
        loadIndex(dir);
}

void HelpWindow::loadIndex(const QString& dir) {
    indexDir_ = dir;
    keywords_.clear();
    pages_.clear();
    sharedContexts_.clear();

    QFile f(dir + QStringLiteral("/keywords.txt"));
    if (f.open(QIODevice::ReadOnly)) {
        const QStringList lines =
            QString::fromUtf8(f.read(kMaxIndexBytes)).split(QLatin1Char('\n'));
        for (const QString& raw : lines) {
            const QString line = raw.trimmed();
            const qsizetype tab = line.indexOf(QLatin1Char('\t'));
            if (line.startsWith(QLatin1Char('#')) || tab <= 0)
                continue;
            IndexEntry e{line.left(tab).trimmed(), line.mid(tab + 1).trimmed(), {}};
            if (!e.label.isEmpty() && IsPageName(e.page) &&
                QFileInfo(dir + QLatin1Char('/') + e.page).isFile()) {
                e.sortKey = SortKey(e.label);
                keywords_.push_back(std::move(e));
            }
        }
    }
    std::stable_sort(
        keywords_.begin(), keywords_.end(),
        [](const IndexEntry& a, const IndexEntry& b) { return a.sortKey < b.sortKey; });

    const QStringList pages =
        QDir(dir).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    for (const QString& page : pages) {
        if (!IsPageName(page))
            continue;
        PageText text = ReadPage(dir + QLatin1Char('/') + page);
        // The first page (by name) to claim a number keeps it.
        for (int context : text.contexts) {
            if (!sharedContexts_.contains(context))
                sharedContexts_.insert(context, page);
        }
        if (text.title.isEmpty())
            continue;
        QString folded;
        if (text.searchable)
            folded = (text.title + QLatin1Char('\n') + text.body).toCaseFolded();
        std::string key = SortKey(text.title);
        pages_.push_back({page, std::move(text.title), std::move(folded), std::move(key)});
    }
    std::stable_sort(pages_.begin(), pages_.end(),
                     [](const PageInfo& a, const PageInfo& b) { return a.sortKey < b.sortKey; });
}

void HelpWindow::fillResults(const QString& keyword) {
    results_->clear();
    const QString dir = HelpDirectory();
    if (dir.isEmpty())
        return;
    // Typing into the field may come before any search call (help opened by F1).
    ensureIndex(dir);
    const QString needle = keyword.simplified();
    auto add = [this](const QString& label, const QString& page) {
        auto* item = new QListWidgetItem(label, results_);
        item->setData(Qt::UserRole, page);
    };

    // Keywords that begin with the text come before those that only contain it.
    std::vector<const IndexEntry*> inner;
    QSet<QString> listed;
    for (const IndexEntry& e : keywords_) {
        if (e.label.startsWith(needle, Qt::CaseInsensitive)) {
            add(e.label, e.page);
            listed.insert(e.page);
        } else if (e.label.contains(needle, Qt::CaseInsensitive)) {
            inner.push_back(&e);
        }
    }
    for (const IndexEntry* e : inner) {
        add(e->label, e->page);
        listed.insert(e->page);
    }
    if (needle.isEmpty())
        return;
    // Then pages the index does not name for this text: by title, then by their words.
    std::vector<const PageInfo*> byText;
    for (const PageInfo& p : pages_) {
        if (listed.contains(p.page))
            continue;
        if (p.title.contains(needle, Qt::CaseInsensitive)) {
            add(p.title, p.page);
            listed.insert(p.page);
        } else {
            byText.push_back(&p);
        }
    }
    const QStringList words = needle.toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const PageInfo* p : byText) {
        if (HasWordStarts(p->foldedText, words))
            add(p->title, p->page);
    }
}

void HelpWindow::openResult(QListWidgetItem* item) {
    const QString dir = HelpDirectory();
    if (item && !dir.isEmpty())
        open(dir, item->data(Qt::UserRole).toString());
}

} // namespace km
