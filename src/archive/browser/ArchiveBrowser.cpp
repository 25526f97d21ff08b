#include "archive/browser/ArchiveBrowser.h"

#include "archive/browser/ArchiveEntryModel.h"
#include "archive/browser/ArchiveReaders.h"
#include "archive/browser/ExtractDialog.h"
#include "archive/browser/PasswordDialog.h"
#include "archive/zip/UnzipEngine.h"
#include "archive/zip/ZipErrorTexts.h"
#include "archive/zip/ZipRecords.h"
#include "fileops/CopyEngine.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "fileops/ui/OverwriteDialog.h"
#include "panels/PanelFontChooser.h"
#include "platform/PathUtil.h"
#include "platform/PrivateTemp.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/EventPump.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/ProgressGauge.h"
#include "ui_services/ProgressWindow.h"
#include "viewers/ImageViewWindow.h"
#include "viewers/TextEditorWindow.h"
#include "viewers/imagelib/ImageLib.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace km {
namespace {

constexpr int kContentsHelp = 6430;

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

uint16_t zipCallback(uint16_t, uint16_t type, const char* text, uintptr_t user) {
    return reinterpret_cast<ArchiveBrowser*>(user)->OnZipRecord(type, text);
}

// Local "YYYY-MM-DD" and "HH:MM:SS" of a view record, to the minute, as UTC.
FileTime zipTime(const std::string& date, const std::string& time) {
    std::tm tm{};
    if (std::sscanf(date.c_str(), "%d-%d-%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday) != 3)
        return 0;
    std::sscanf(time.c_str(), "%d:%d", &tm.tm_hour, &tm.tm_min);
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    const time_t t = mktime(&tm);
    return t == static_cast<time_t>(-1) ? 0 : FileTimeFromUnix(t, 0);
}

// "dd Month yyyy hh:mm", the dates of the engine's overwrite question, as a local time.
int64_t queryTime(const std::string& text) {
    static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    std::tm tm{};
    char month[16] = {};
    if (std::sscanf(text.c_str(), "%d %15s %d %d:%d", &tm.tm_mday, month, &tm.tm_year, &tm.tm_hour,
                    &tm.tm_min) != 5)
        return 0;
    for (int m = 0; m < 12; ++m)
        if (std::strcmp(month, kMonths[m]) == 0)
            tm.tm_mon = m;
    tm.tm_year -= 1900;
    tm.tm_isdst = -1;
    const time_t t = mktime(&tm);
    return t == static_cast<time_t>(-1) ? 0 : static_cast<int64_t>(t);
}

std::string lastComponent(const std::string& name) {
    const size_t cut = name.find_last_of("/\\");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

// Text when each of the first 32 bytes is printable ASCII, CR or LF; bytes
// from 0x80 on count as printable so UTF-8 text passes.
bool looksLikeText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char buf[32];
    in.read(buf, sizeof buf);
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
        const auto c = static_cast<unsigned char>(buf[i]);
        if (c < 0x20 && c != '\r' && c != '\n')
            return false;
        if (c == 0x7F)
            return false;
    }
    return true;
}

} // namespace

ArchiveBrowser::ArchiveBrowser(const std::string& archive, const std::string& defaultTarget,
                               QWidget* parent)
    : QDialog(parent), archive_(archive), defaultTarget_(defaultTarget),
      format_(DetectArchiveFormatOfFile(archive)) {
    setObjectName(QStringLiteral("FILECONT"));
    setWindowTitle(QStringLiteral("KM - Contents of archive"));
    // Modal to the main window only: the viewers and editors it opens are
    // windows of their own and must take input while it stays open.
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(qs(std::string(LoadString(4205)) + archive + ":"), this);
    label->setObjectName(QStringLiteral("static1260"));
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    model_ = new ArchiveEntryModel(this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("list2190"));
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setShowGrid(false);
    view_->verticalHeader()->hide();
    view_->setWordWrap(false);
    SettingsStore& s = Settings();
    // Rows as the file panels draw them: their font, their height.
    int rowHeight = 0;
    view_->setFont(PanelFontFromSettings(s, logicalDpiY(), &rowHeight));
    view_->verticalHeader()->setMinimumSectionSize(1);
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(rowHeight);
    view_->horizontalHeader()->resizeSection(0, s.GetInt("ZipPositie", "Col1", 256));
    view_->horizontalHeader()->resizeSection(1, s.GetInt("ZipPositie", "Col2", 64));
    view_->horizontalHeader()->resizeSection(2, s.GetInt("ZipPositie", "Col3", 128));
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int c) { model_->sort(c); });
    layout->addWidget(view_);

    auto* row = new QHBoxLayout;
    auto button = [&](const char* text, int id) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QStringLiteral("button%1").arg(id));
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    QPushButton* all = button("Extract &all files", 2180);
    all->setDefault(true);
    extractSelected_ = button("Extract &selected files", 2170);
    viewButton_ = button("&View", 6500);
    editButton_ = button("&Edit", 1180);
    execute_ = button("E&xecute", 1350);
    QPushButton* close = button("&Close", 3010);
    layout->addLayout(row);
    connect(all, &QPushButton::clicked, this, [this] { extract(true); });
    connect(extractSelected_, &QPushButton::clicked, this, [this] { extract(false); });
    connect(viewButton_, &QPushButton::clicked, this, [this] { openEntry(1); });
    connect(editButton_, &QPushButton::clicked, this, [this] { openEntry(2); });
    connect(execute_, &QPushButton::clicked, this, [this] { openEntry(0); });
    connect(close, &QPushButton::clicked, this, [this] {
        saveColumns();
        done(1);
    });
    connect(view_, &QTableView::doubleClicked, this, [this] { openEntry(0); });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    updateButtons();
    resize(620, 420);
}

ArchiveBrowser::~ArchiveBrowser() = default;

int ArchiveBrowser::Run(const std::string& archive, const std::string& defaultTarget,
                        QWidget* parent) {
    ArchiveBrowser browser(archive, defaultTarget, parent);
    if (!browser.list())
        return 0;
    return browser.exec();
}

void ArchiveBrowser::reject() {
    done(2);
}

void ArchiveBrowser::updateButtons() {
    const bool any = view_->selectionModel() && view_->selectionModel()->hasSelection();
    extractSelected_->setEnabled(any);
    viewButton_->setEnabled(any);
    // Edit too: with nothing picked it would do nothing at all.
    editButton_->setEnabled(any);
    execute_->setEnabled(any);
}

QString ArchiveBrowser::shownName(const std::string& entry) const {
    return qs(lastComponent(archive_) + ": " + entry);
}

void ArchiveBrowser::saveColumns() {
    SettingsStore& s = Settings();
    SettingsStore::Batch batch(s);
    s.PutInt("ZipPositie", "Col1", view_->columnWidth(0));
    s.PutInt("ZipPositie", "Col2", view_->columnWidth(1));
    s.PutInt("ZipPositie", "Col3", view_->columnWidth(2));
}

bool ArchiveBrowser::list() {
    App().cancelFlag = false;
    storedPaths_ = false;
    bool ok = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (format_ == ArchiveFormat::Zip) {
        UnzipEngine_Initialise();
        UnzipEngine_InstallCallbackEx(zipCallback, reinterpret_cast<uintptr_t>(this));
        UnzipEngine_ArchiveName(archive_.c_str());
        UnzipEngine_RestoreStructure(1);
        UnzipEngine_View(1);
        error_ = false;
        UnzipEngine_Run();
        ok = !error_;
    } else {
        std::string message;
        ok = ListArchive(format_, archive_, *this, message);
        if (!message.empty())
            ShowMessage(message, MbOk | MbIconStop);
    }
    QApplication::restoreOverrideCursor();
    model_->publish();
    return ok;
}

uint16_t ArchiveBrowser::OnZipRecord(uint16_t type, const char* text) {
    EventPump::pump();
    if (App().cancelFlag)
        return zip::kAnswerAbort;
    const std::vector<std::string> f = zip::RecordFields(text ? text : "");
    auto at = [&f](size_t i) -> const std::string& {
        static const std::string none;
        return i >= 1 && i <= f.size() ? f[i - 1] : none;
    };
    switch (type) {
    case 14:
        if (status_) {
            status_->setFieldText(ProgressWindow::kFieldFrom, at(2));
            const double total = std::atof(at(8).c_str()), done = std::atof(at(9).c_str());
            if (total > 0)
                status_->setPosition(static_cast<int>(done * 100 / total));
        }
        return 0;
    case 20: {
        const std::string question =
            at(2) != "0" ? std::string(LoadString(4660)) + at(2) + std::string(LoadString(4670))
                         : std::string(LoadString(4680));
        return ShowMessage(question, MbOkCancel | MbIconStop) == IdOk ? 0 : zip::kAnswerAbort;
    }
    case 21: {
        ArchiveRow r;
        r.name = at(2).empty() ? at(3) : at(2) + "/" + at(3);
        storedPaths_ = storedPaths_ || !at(2).empty();
        r.size = std::strtoull(at(4).c_str(), nullptr, 10);
        r.modified = zipTime(at(7), at(8));
        r.encrypted = at(11) == "1";
        model_->add(std::move(r));
        return 0;
    }
    case 22:
    case 23: {
        // Empty for an abort (code 255), which has nothing to say.
        const std::string box =
            zip::ZipMessageBoxText(1, type == 23, at(2), std::atoi(at(3).c_str()));
        if (!box.empty())
            ShowMessage(box, MbOk | MbIconStop);
        if (type == 22)
            error_ = true;
        return 0;
    }
    case 24: {
        if (!interactive_)
            return 0;
        // Field 2 is the output path the engine would replace; 3 and 4 describe
        // the file there, 6 and 7 the entry.
        OverwriteQuestion q;
        q.targetPath = at(2);
        q.targetSize = std::strtoull(at(3).c_str(), nullptr, 10);
        q.targetTime = queryTime(at(4));
        q.sourceSize = std::strtoull(at(6).c_str(), nullptr, 10);
        q.sourceTime = queryTime(at(7));
        q.allowYesToAll = extractAll_ || wantedCount_ > 1;
        switch (OverwriteDialog::Ask(q, status_ ? static_cast<QWidget*>(status_) : this)) {
        case OverwriteYes:
            return 0;
        case OverwriteYesToAll:
            return 1;
        case OverwriteNo:
            return 2;
        default:
            return 3;
        }
    }
    default:
        return 0;
    }
}

std::vector<std::string> ArchiveBrowser::wantedNames() const {
    std::vector<std::string> names;
    if (extractAll_) {
        for (const ArchiveRow& r : model_->rows())
            names.push_back(r.name);
        return names;
    }
    for (const QModelIndex& i : view_->selectionModel()->selectedRows())
        names.push_back(model_->rows()[static_cast<size_t>(i.row())].name);
    return names;
}

void ArchiveBrowser::extract(bool all) {
    extractAll_ = all;
    if (!all && !view_->selectionModel()->hasSelection())
        return;
    const auto typed = ExtractDialog::Ask(defaultTarget_, this);
    if (!typed) {
        extractAll_ = false;
        return;
    }
    if (typed->empty()) {
        ShowWarning(4174);
        extractAll_ = false;
        return;
    }
    const std::string target = ResolvePath(defaultTarget_, *typed);
    if (!IsExistingDirectory(target)) {
        const std::string question =
            std::string(LoadString(4175)) + target + std::string(LoadString(4176));
        if (ShowMessage(question, MbYesNo | MbIconQuestion) != IdYes || MakePath(target) != 0) {
            extractAll_ = false;
            return;
        }
    }
    askOverwrite_ = Settings().GetInt("Algemeen", "BevestigingOverwrite", 1) == 1;
    yesToAll_ = false;
    {
        status_ = ProgressWindow::Create(ProgressKind::Unzip, this);
        status_->show();
        EventPump::force();
        extractTo(target, true);
        if (status_)
            status_->finish();
        status_ = nullptr;
    }
    extractAll_ = false;
    saveColumns();
    done(1);
}

bool ArchiveBrowser::extractTo(const std::string& target, bool interactive) {
    target_ = target;
    interactive_ = interactive;
    App().cancelFlag = false;
    // Exact names: two entries whose names differ in case are two entries.
    const std::vector<std::string> names = wantedNames();
    wanted_ = std::unordered_set<std::string>(names.begin(), names.end());
    wantedCount_ = static_cast<int>(names.size());
    wantedBytes_ = 0;
    for (const ArchiveRow& r : model_->rows()) {
        if (wanted_.count(r.name) != 0)
            wantedBytes_ += r.size;
    }
    if (format_ == ArchiveFormat::Zip)
        return extractZip(target, interactive);
    ArchiveExtractOptions options;
    options.targetDir = target;
    options.stopAfterFirst = !interactive;
    if (interactive && storedPaths_)
        options.restorePaths = ShowMessage(LoadString(4790), MbYesNo | MbIconQuestion) == IdYes;
    std::string message;
    QWidget* const owner = status_ ? static_cast<QWidget*>(status_) : this;
    ArchivePasswordPrompts prompts;
    prompts.askPassword = [owner](const std::string& entry, std::string& password) {
        const auto typed = PasswordDialog::Ask(entry, owner);
        if (typed)
            password = *typed;
        return typed.has_value();
    };
    prompts.askReuse = [owner](const std::string& entry) {
        return PasswordReuseDialog::Ask(entry, owner);
    };
    const bool ok = ExtractArchive(format_, archive_, options, *this, message, prompts);
    if (!ok && !App().cancelFlag)
        ShowMessage(message, MbOk | MbIconStop);
    return ok;
}

bool ArchiveBrowser::extractZip(const std::string& target, bool interactive) {
    UnzipEngine_Initialise();
    UnzipEngine_InstallCallbackEx(zipCallback, reinterpret_cast<uintptr_t>(this));
    UnzipEngine_ArchiveName(archive_.c_str());
    UnzipEngine_ExtractTo(target.c_str());
    // A copy to view, edit or run goes straight into the temporary directory,
    // where it is looked for: a path question would only lose it.
    int restore = 0;
    if (interactive)
        restore = !storedPaths_ || ShowMessage(LoadString(4790), MbYesNo | MbIconQuestion) == IdYes
                      ? 1
                      : 0;
    UnzipEngine_RestoreStructure(restore);
    UnzipEngine_Overwrite(interactive && askOverwrite_ ? 10 : 11);
    // An encrypted entry among those wanted: its password first (one serves the run).
    for (const ArchiveRow& r : model_->rows()) {
        if (!r.encrypted || wanted_.count(r.name) == 0)
            continue;
        const auto password =
            PasswordDialog::Ask(r.name, status_ ? static_cast<QWidget*>(status_) : this);
        if (!password)
            return false;
        UnzipEngine_Decrypt(password->c_str());
        break;
    }
    if (extractAll_) { // no list at all: every entry, whatever its name looks like
        UnzipEngine_Run();
        return UnzipEngine_GetLastError() == 0;
    }
    // The picked rows by their exact names: "file[1].txt" or ";notes" are not patterns.
    const std::string listFile = PrivateTempFile("list");
    std::ofstream out;
    if (!listFile.empty())
        out.open(listFile, std::ios::trunc | std::ios::binary);
    if (!out) {
        ShowMessage("Internal unzip error - Can't open list file", MbOk | MbIconStop);
        return false;
    }
    for (const std::string& n : wanted_)
        out << n << '\n';
    out.close();
    UnzipEngine_IncludeNamesFile(listFile.c_str());
    UnzipEngine_Run();
    unlink(listFile.c_str());
    return UnzipEngine_GetLastError() == 0;
}

void ArchiveBrowser::openEntry(int how) {
    if (model_->rows().empty() || !view_->selectionModel()->hasSelection())
        return;
    const std::string dir = PrivateTempDir();
    if (dir.empty())
        return;
    extractAll_ = false;
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    const QModelIndex pick = how == 0 ? rows.first() : rows.last();
    const std::string& name = model_->rows()[static_cast<size_t>(pick.row())].name;
    std::string path = JoinPath(dir, lastComponent(name));
    // Cabinets keep their directories below the temporary directory.
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const std::string nested = ResolvePath(dir, relative);
    const bool nestedInside = nested.compare(0, dir.size(), dir) == 0;
    // An earlier copy of the same name must not pass for this entry when the
    // extraction fails.
    unlink(path.c_str());
    if (nestedInside)
        unlink(nested.c_str());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool extracted = extractTo(dir, false);
    QApplication::restoreOverrideCursor();
    if (!extracted)
        return; // the reader has said why
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        path = nested;
        if (!nestedInside || stat(path.c_str(), &st) != 0)
            return;
    }
    switch (how) {
    case 0:
        ExecuteByAssociation(path, dir);
        break;
    case 1:
        if (imagelib::IsPictureName(path))
            ImageViewWindow::Show(path, this, shownName(name));
        else if (looksLikeText(path))
            TextEditorWindow::Open(path, true, false)->setShownName(shownName(name));
        else
            ShowWarning(4970);
        break;
    default: {
        // The internal editor comes through the main window's hook; the
        // window it opened is the new one on this path.
        const std::vector<TextEditorWindow*> before = TextEditorWindow::OpenWindows();
        EditFile(path, this, false, dir);
        for (TextEditorWindow* w : TextEditorWindow::OpenWindows()) {
            if (w->filePath() == path && std::find(before.begin(), before.end(), w) == before.end())
                w->setShownName(shownName(name));
        }
        break;
    }
    }
    // A cabinet pass has written its copy; its browser is done with.
    if (format_ == ArchiveFormat::Cab)
        done(0);
}

// ---- the sink of the other formats' readers ----

void ArchiveBrowser::AddEntry(const std::string& name, FileTime modified, uint64_t size) {
    if (name.find_first_of("/\\") != std::string::npos)
        storedPaths_ = true;
    model_->add({name, size, modified});
}

bool ArchiveBrowser::IsWanted(const std::string& name) {
    return extractAll_ || wanted_.count(name) != 0;
}

bool ArchiveBrowser::ConfirmOverwrite(const std::string& outputPath, uint64_t size,
                                      FileTime modified) {
    if (!interactive_ || yesToAll_ || !askOverwrite_)
        return true;
    OverwriteQuestion q;
    q.targetPath = outputPath;
    struct stat st;
    if (stat(outputPath.c_str(), &st) == 0) {
        q.targetSize = static_cast<uint64_t>(st.st_size);
        q.targetTime = st.st_mtime;
    }
    q.sourceSize = size;
    q.sourceTime = UnixSecondsFromFileTime(modified);
    q.allowYesToAll = wantedCount_ > 1 || extractAll_;
    switch (OverwriteDialog::Ask(q, status_ ? static_cast<QWidget*>(status_) : this)) {
    case OverwriteYes:
        return true;
    case OverwriteYesToAll:
        yesToAll_ = true;
        return true;
    case OverwriteNo:
        return false;
    default:
        App().cancelFlag = true;
        yesToAll_ = false;
        return false;
    }
}

void ArchiveBrowser::ShowEntry(const std::string& name) {
    if (status_)
        status_->setFieldText(ProgressWindow::kFieldFrom, name);
}

bool ArchiveBrowser::Progress(uint64_t bytesDone) {
    if (status_ && wantedBytes_ > 0)
        status_->setPosition(static_cast<int>(bytesDone * 100 / wantedBytes_));
    EventPump::pump();
    return App().cancelFlag;
}

bool OpenArchiveFile(const std::string& archive, const std::string& otherDir, QWidget* mainWindow) {
    HelpContextScope help(kContentsHelp);
    if (mainWindow) {
        mainWindow->raise();
        mainWindow->activateWindow();
    }
    return ArchiveBrowser::Run(archive, otherDir, mainWindow) == 1;
}

} // namespace km
