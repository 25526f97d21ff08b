#include "panels/FilePanel.h"

#include "ui_services/ReadableColor.h"

#include "panels/CellText.h"
#include "panels/ChangeDirDialog.h"
#include "panels/RemotePanelSource.h"
#include "panels/DirectoryLoad.h"
#include "panels/DragCursors.h"
#include "panels/DropList.h"
#include "panels/PanelDelegate.h"
#include "panels/PanelHeader.h"
#include "panels/PanelModel.h"
#include "fileops/RenameInDirectory.h"
#include "panels/RenameDialog.h"
#include "panels/SortFilesDialog.h"
#include "platform/PathUtil.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"

#include <QApplication>
#include <QTimer>
#include <QDrag>
#include <QFile>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QToolTip>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace km {

const PanelMessageTable<FilePanel> FilePanel::messageTable_ = {
    {PmSortName, &FilePanel::onSort},
    {PmSortExtension, &FilePanel::onSort},
    {PmSortSize, &FilePanel::onSort},
    {PmSortDate, &FilePanel::onSort},
    {PmSortColumn, &FilePanel::onSortColumn},
    {PmExtendDown, &FilePanel::onExtendSelection},
    {PmExtendUp, &FilePanel::onExtendSelection},
    {PmExtendPageDown, &FilePanel::onExtendSelection},
    {PmExtendPageUp, &FilePanel::onExtendSelection},
    {PmExtendHome, &FilePanel::onExtendSelection},
    {PmExtendEnd, &FilePanel::onExtendSelection},
    {PmInvertSelection, &FilePanel::onInvertSelection},
    {PmStartDrag, &FilePanel::onStartDrag},
    {PmChangeDirectory, &FilePanel::onChangeDirectoryDialog},
};

FilePanel::FilePanel(int controlId, QWidget* parent)
    : QTableView(parent), controlId_(controlId), model_(new PanelModel(listing_, this)),
      header_(new PanelHeader(this)) {
    setHorizontalHeader(header_);
    setObjectName(controlId == kLeftId ? QStringLiteral("leftPanel") : QStringLiteral("rightPanel"));
    setModel(model_);
    setItemDelegate(new PanelDelegate(this));
    setSelectionMode(QAbstractItemView::NoSelection); // the listing owns the selection
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    // A border the user drags sets that column's own width.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (fitting_ || column < 0 || column > 2)
            return;
        userWidths_[static_cast<size_t>(column)] = width;
        if (column != 0)
            fitColumns();
    });
    setAutoFillBackground(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int col) {
        post(PmPanelFocused, controlId_);
        PostPanelMessage(this, PmSortColumn, col, 0);
    });
    listing_.UpdateSummary();
    ApplyColors();
}

FilePanel::~FilePanel() = default;

void FilePanel::post(int msg, qintptr first, qintptr second) {
    if (target_)
        PostPanelMessage(target_, msg, first, second);
}

namespace {

// A read that ends within this time is shown at once, as if it were done on
// this thread: short enough not to stall the window, long enough for any
// ordinary directory, so the messages that follow see the new rows. A big
// directory shows its first rows sooner.
constexpr auto kShortRead = std::chrono::milliseconds(45);
constexpr auto kShortReadWithRows = std::chrono::milliseconds(20);

const QEvent::Type kLoadEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

namespace {
FilePanel::ExternalHandler& externalHandler() {
    static FilePanel::ExternalHandler handler;
    return handler;
}
} // namespace

void FilePanel::SetExternalHandler(ExternalHandler handler) { externalHandler() = std::move(handler); }

bool FilePanel::event(QEvent* e) {
    if (e->type() == kLoadEvent) {
        takeLoadedRows();
        return true;
    }
    if (e->type() == PanelMessageEvent::eventType() && externalHandler() &&
        !messageTable_.handles(static_cast<PanelMessageEvent*>(e)->message) &&
        externalHandler()(*this, *static_cast<PanelMessageEvent*>(e)))
        return true;
    if (messageTable_.dispatch(this, e))
        return true;
    return QTableView::event(e);
}

int FilePanel::pageRows() const {
    const int h = verticalHeader()->defaultSectionSize();
    return std::max(1, viewport()->height() / std::max(1, h));
}

int FilePanel::topRow() const { return std::max(0, rowAt(0)); }

void FilePanel::MoveCursor(int row) {
    listing_.SetCursor(row);
    const int cur = listing_.cursor();
    if (cur >= 0) {
        const QModelIndex idx = model_->index(cur, 0);
        setCurrentIndex(idx);
        scrollTo(idx);
    }
    viewport()->update();
}

void FilePanel::markingChanged() {
    model_->allRowsChanged();
    emit summaryChanged();
}

bool FilePanel::Refresh() {
    if (listing_.isFtp()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (load_) { // a local read still going on is of no use now
            load_.reset();
            afterRead(false);
            previewShown_ = false;
            shownBefore_.clear();
        }
        model_->beginListingReset();
        if (RemotePanelSource* remote = RemoteSource())
            remote->Read(listing_);
        else
            listing_.AcceptRemoteRows({}, 0);
        rowsComplete_ = true;
        model_->endListingReset();
        QApplication::restoreOverrideCursor();
        MoveCursor(listing_.cursor());
        emit summaryChanged();
        return true;
    }
    // A read under way is the directory the panel is going to: read that again.
    return startRead(load_ ? load_->path() : listing_.path);
}

bool FilePanel::startRead(const std::string& dirPath) {
    if (load_ && load_->path() == dirPath) {
        // A change arrived while this directory is being read: read it again
        // once this read is done rather than start over and never finish.
        rereadWanted_ = true;
        return true;
    }
    if (load_) {
        load_.reset();
        afterRead(false);
    }
    if (!previewShown_)
        loadCarry_ = listing_.CarryOver(dirPath);
    previewShown_ = false;
    rereadWanted_ = false;
    load_ = std::make_unique<DirectoryLoad>(
        dirPath, ListingFilter::FromSettings(Settings()), App().filterMask, listing_.sortFlags,
        // On the worker thread; the load is dropped (and this never called
        // again) before the panel goes.
        [this] { QCoreApplication::postEvent(this, new QEvent(kLoadEvent)); });
    if (load_->WaitFinished(kShortRead, kShortReadWithRows))
        return finishRead();
    listing_.summaryText = PadLine("Reading\u2026");
    emit summaryChanged();
    return true;
}

void FilePanel::takeLoadedRows() {
    if (!load_)
        return;
    // File operations hold on to rows while they run: no rows change under them.
    if (App().busyFlag) {
        QTimer::singleShot(50, this, &FilePanel::takeLoadedRows);
        return;
    }
    if (load_->finished()) {
        finishRead();
        return;
    }
    std::vector<FileEntry> rows = load_->TakeNewRows();
    if (rows.empty())
        return;
    if (!previewShown_) {
        // The first rows of the new directory replace the old ones, and with
        // them the path: from here on commands act on these rows.
        previewShown_ = true;
        const std::string before = listing_.path;
        if (load_->path() != before)
            shownBefore_ = before;
        model_->beginListingReset();
        listing_.ShowFirstRows(std::move(rows), load_->path());
        rowsComplete_ = false;
        model_->endListingReset();
        if (listing_.path != before)
            emit directoryShown();
    } else {
        const int first = listing_.rowCount();
        model_->beginAppend(first, first + static_cast<int>(rows.size()) - 1);
        listing_.AddRows(std::move(rows));
        model_->endAppend();
    }
}

bool FilePanel::finishRead() {
    std::unique_ptr<DirectoryLoad> load = std::move(load_);
    DirectoryLoad::Result r = load->TakeResult();
    if (r.status.error != 0) {
        afterRead(false);
        goBack(load->path());
        ShowMessage(r.status.errorText, MbOk | MbIconStop);
        return false;
    }
    ReadCarryOver carry = std::move(loadCarry_);
    if (previewShown_)
        listing_.AddShownState(carry);
    previewShown_ = false;
    shownBefore_.clear();
    const std::string before = listing_.path;
    model_->beginListingReset();
    listing_.AcceptRows(std::move(r.rows), r.enumerated, carry, load->path());
    rowsComplete_ = true;
    if (load->sortFlags() != listing_.sortFlags) // re-sorted while reading
        listing_.Sort(listing_.sortFlags);
    model_->endListingReset();
    MoveCursor(listing_.cursor());
    emit summaryChanged();
    if (listing_.path != before)
        emit directoryShown();
    afterRead(true);
    if (rereadWanted_) {
        rereadWanted_ = false;
        startRead(listing_.path);
    }
    return true;
}

void FilePanel::afterRead(bool complete) {
    std::vector<std::function<void()>> pending = std::move(afterRead_);
    afterRead_.clear();
    if (complete) {
        for (auto& then : pending)
            then();
    }
}

void FilePanel::WhenRead(std::function<void()> then) {
    if (load_)
        afterRead_.push_back(std::move(then));
    else
        then();
}

void FilePanel::goBack(const std::string& gaveUp) {
    previewShown_ = false;
    if (!shownBefore_.empty()) {
        // The failed directory's first rows are on show: back to the
        // directory of before, read again.
        const std::string before = std::move(shownBefore_);
        shownBefore_.clear();
        startRead(before);
    } else if (!rowsComplete_ && gaveUp != listing_.path) {
        // The read this one cut short was of the directory on show.
        startRead(listing_.path);
    } else {
        listing_.UpdateSummary();
        emit summaryChanged();
    }
}

void FilePanel::AbandonRead() {
    if (!load_)
        return;
    const std::string abandoned = load_->path();
    load_.reset();
    afterRead(false);
    rereadWanted_ = false;
    if (!previewShown_) {
        // Nothing of the new directory arrived: the panel is where it was,
        // its own rows read again if the abandoned read had cut them short.
        goBack(abandoned);
        return;
    }
    previewShown_ = false;
    shownBefore_.clear();
    ReadCarryOver carry = std::move(loadCarry_);
    listing_.AddShownState(carry);
    std::vector<FileEntry> rows = std::move(listing_.entries);
    PanelListing::SortRows(rows, listing_.sortFlags);
    const int count = static_cast<int>(rows.size());
    model_->beginListingReset();
    listing_.AcceptRows(std::move(rows), count, carry, listing_.path);
    rowsComplete_ = true; // what was read is all there is
    model_->endListingReset();
    MoveCursor(listing_.cursor());
    emit summaryChanged();
}

bool FilePanel::ChangeDirectory(const std::string& newPath) {
    listing_.keepSelection = false;
    return startRead(newPath);
}

void FilePanel::EnterFocused() {
    const int cur = listing_.cursor();
    if (cur < 0 || cur >= listing_.rowCount())
        return;
    if (listing_.depth < PanelListing::kCursorSlots)
        listing_.cursorMemory[static_cast<size_t>(listing_.depth)] = cur;
    const FileEntry& e = listing_.entries[static_cast<size_t>(cur)];
    if (listing_.isFtp()) {
        enterRemote(e);
        return;
    }
    if (e.kind == KindFile) {
        const std::string p = listing_.FullPath(e);
        emit fileActivated(QByteArray::fromStdString(p));
        return;
    }
    std::string target;
    if (e.kind == KindDirectory) {
        target = listing_.FullPath(e);
        const int newDepth = PathDepth(target);
        if (newDepth < PanelListing::kCursorSlots)
            listing_.cursorMemory[static_cast<size_t>(newDepth)] = 0;
    } else {
        target = ParentPath(listing_.path);
    }
    if (ChangeDirectory(target))
        post(PmDirectoryChanged, controlId_);
}

void FilePanel::ChangeRemoteDirectory(int how, const std::string& name) {
    RemotePanelSource* remote = RemoteSource();
    if (!remote)
        return;
    listing_.keepSelection = false;
    remote->ChangeDirectory(listing_, static_cast<RemotePanelSource::Move>(how), name);
    Refresh();
    post(PmDirectoryChanged, controlId_);
}

void FilePanel::enterRemote(const FileEntry& e) {
    if (e.kind == KindFile) {
        // The main window decides: archives are fetched and browsed, other
        // remote files cannot be opened where they are.
        emit fileActivated(QByteArray::fromStdString(e.name));
        return;
    }
    if (e.kind == KindDirectory) {
        const int newDepth = listing_.depth + 1;
        if (newDepth < PanelListing::kCursorSlots)
            listing_.cursorMemory[static_cast<size_t>(newDepth)] = 0;
        ChangeRemoteDirectory(static_cast<int>(RemotePanelSource::Move::Enter), e.name);
    } else {
        ChangeRemoteDirectory(static_cast<int>(RemotePanelSource::Move::Parent), {});
    }
}

void FilePanel::ApplyColors() {
    // Space below the last row is drawn in the file background too.
    QPalette pal = palette();
    pal.setColor(QPalette::Base, ColorFromRef(App().colors.ref[ColFileBg]));
    setPalette(pal);
    viewport()->update();
}

void FilePanel::ApplyFont(const QFont& font, int rowHeight) {
    // Columns sized for the old font keep their share of characters.
    const double before = QFontMetricsF(this->font()).averageCharWidth();
    const double after = QFontMetricsF(font).averageCharWidth();
    if (before > 0 && after > 0 && std::abs(after - before) > 0.01) {
        for (int& w : userWidths_)
            w = std::max(8, static_cast<int>(std::lround(w * after / before)));
    }
    setFont(font);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(rowHeight);
}

void FilePanel::SetColumnWidths(int c0, int c1, int c2) {
    userWidths_ = {c0, c1, c2};
    fitColumns();
}

void FilePanel::fitColumns() {
    fitting_ = true;
    const int free = viewport()->width() - userWidths_[1] - userWidths_[2];
    setColumnWidth(0, std::max(userWidths_[0], free));
    setColumnWidth(1, userWidths_[1]);
    setColumnWidth(2, userWidths_[2]);
    fitting_ = false;
}

void FilePanel::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    fitColumns();
}

void FilePanel::keyPressEvent(QKeyEvent* e) {
    const int cur = listing_.cursor();
    const int last = listing_.rowCount() - 1;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: post(PmEnterFocused, controlId_); return;
    case Qt::Key_Space:
        listing_.ToggleSelected(cur);
        markingChanged();
        return;
    case Qt::Key_Insert:
        listing_.ToggleSelected(cur);
        markingChanged();
        MoveCursor(cur + 1);
        return;
    case Qt::Key_Up: MoveCursor(std::max(cur - 1, 0)); return;
    case Qt::Key_Down: MoveCursor(std::min(cur + 1, last)); return;
    case Qt::Key_PageUp: {
        const int top = topRow();
        MoveCursor(cur != top ? top : std::max(cur - pageRows(), 0));
        return;
    }
    case Qt::Key_PageDown: MoveCursor(std::min(cur + pageRows(), last)); return;
    case Qt::Key_Home: MoveCursor(0); return;
    case Qt::Key_End: MoveCursor(last); return;
    case Qt::Key_Left:
    case Qt::Key_Right: return;
    case Qt::Key_Delete: post(PmDeleteToBin, controlId_); return;
    case Qt::Key_Backslash:
        if (ctrl) {
            if (listing_.isFtp())
                ChangeRemoteDirectory(static_cast<int>(RemotePanelSource::Move::Root), {});
            else if (ChangeDirectory(listing_.drive.empty() ? "/" : listing_.drive))
                post(PmDirectoryChanged, controlId_);
            return;
        }
        break;
    default: break;
    }
    // One typed character of any script (a pair of UTF-16 units beyond the BMP).
    const QList<uint> typed = e->text().toUcs4();
    if (!ctrl && typed.size() == 1 && QChar::isPrint(typed[0]) && typed[0] != '.' && typed[0] != ' ') {
        const int row = listing_.QuickSearch(static_cast<char32_t>(typed[0]));
        markingChanged();
        if (row >= 0)
            MoveCursor(row);
        else
            scrollToTop();
        return;
    }
    QTableView::keyPressEvent(e);
}

int FilePanel::RowAtY(int y) const {
    // The view's own geometry knows the part of the top row scrolled away.
    const int row = rowAt(y);
    return row >= 0 && row < listing_.rowCount() ? row : -1;
}

void FilePanel::ClickSelect(int row, Qt::KeyboardModifiers mods) {
    if (row < 0 || row >= listing_.rowCount())
        return;
    listing_.bulkChange = true;
    if (mods & Qt::ControlModifier) {
        listing_.ToggleSelected(row);
    } else if (mods & Qt::ShiftModifier) {
        listing_.SelectAll(false);
        for (int i = std::min(anchorRow_, row); i <= std::max(anchorRow_, row); ++i)
            listing_.SetSelected(i, true);
    } else {
        listing_.SelectAll(false);
        listing_.SetSelected(row, true);
        anchorRow_ = row;
    }
    listing_.bulkChange = false;
    listing_.UpdateSummary();
    MoveCursor(row);
    markingChanged();
}

void FilePanel::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton && e->button() != Qt::RightButton)
        return;
    post(PmPanelFocused, controlId_);
    setFocus(Qt::MouseFocusReason);
    const int row = RowAtY(e->pos().y());
    if (e->button() == Qt::RightButton) {
        ContextClick(row, e->globalPosition().toPoint());
        return;
    }
    if (row < 0)
        return;
    listing_.SetCursor(row);
    dragArmed_ = true;
    pressPoint_ = e->pos();
    pressMods_ = e->modifiers();
    pressRow_ = row;
    pressOnSelected_ = listing_.entries[static_cast<size_t>(row)].selected;
    if (!pressOnSelected_)
        ClickSelect(row, e->modifiers());
    else
        MoveCursor(row);
}

void FilePanel::mouseMoveEvent(QMouseEvent* e) {
    if (!dragArmed_)
        return;
    const QPoint d = e->pos() - pressPoint_;
    if (std::abs(d.x()) > 3 || std::abs(d.y()) >= 4) {
        dragArmed_ = false;
        PostPanelMessage(this, PmStartDrag);
    }
}

void FilePanel::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && dragArmed_ && pressOnSelected_)
        ClickSelect(pressRow_, pressMods_);
    dragArmed_ = false;
}

void FilePanel::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && RowAtY(e->pos().y()) >= 0)
        post(PmEnterFocused, controlId_);
}

void FilePanel::focusInEvent(QFocusEvent* e) {
    QTableView::focusInEvent(e);
    post(PmPanelFocused, controlId_);
}

void FilePanel::setActivePanel(bool active) {
    if (activePanel_ == active)
        return;
    activePanel_ = active;
    viewport()->update();
}

QColor FilePanel::cursorColor() {
    // The focus rectangle's colour, unless it would not show on the rows.
    return ReadableOn(ColorFromRef(App().colors.ref[ColFileBg]), ColorFromRef(App().colors.ref[ColFRect]));
}

void FilePanel::paintEvent(QPaintEvent* e) {
    QTableView::paintEvent(e);
    const int cur = listing_.cursor();
    if ((cur < 0 || !(hasFocus() || activePanel_)) && dropTargetRow_ < 0)
        return;
    const QRect first = visualRect(model_->index(cur, 0));
    const QRect lastCell = visualRect(model_->index(cur, 2));
    if (!first.isValid())
        return;
    QPainter p(viewport());
    if (dropTargetRow_ >= 0) {
        const QRect t = visualRect(model_->index(dropTargetRow_, 0))
                            .united(visualRect(model_->index(dropTargetRow_, 2)));
        p.setPen(ColorFromRef(App().colors.ref[ColDirFg]));
        p.drawRect(t.adjusted(0, 0, -1, -1));
    }
    if (cur < 0)
        return;
    // Two pixels wide and solid: a one-pixel dotted frame was lost on the rows.
    p.setPen(QPen(cursorColor(), 2));
    p.drawRect(first.united(lastCell).adjusted(1, 1, -1, -1));
}

void FilePanel::applySort(int flags) {
    model_->beginListingReset();
    listing_.Sort(flags);
    model_->endListingReset();
    MoveCursor(listing_.cursor());
}

void FilePanel::updateSortIndicator() {
    header_->setSortArrow(listing_.sortColumn, listing_.sortDescending);
}

void FilePanel::onSort(const PanelMessageEvent& m) {
    static const int keys[] = {SortByName, SortByExtension, SortBySize, SortByDate};
    applySort(PanelListing::ToggledFlags(listing_.sortFlags, keys[m.message - PmSortName]));
}

void FilePanel::onSortColumn(const PanelMessageEvent& m) {
    const int col = static_cast<int>(m.first);
    if (col < 0 || col > 2)
        return;
    int flags;
    if (m.second == 1) { // start-up: arrow from the restored flags, no question
        flags = listing_.sortFlags;
    } else {
        int key = col == 1 ? SortBySize : SortByDate;
        if (col == 0) {
            key = SortFilesDialog::Ask(this);
            if (key == 0)
                return;
        }
        flags = PanelListing::ToggledFlags(listing_.sortFlags, key);
    }
    listing_.sortColumn = col;
    listing_.sortDescending = (flags & SortDescending) != 0;
    applySort(flags);
    updateSortIndicator();
}

void FilePanel::onExtendSelection(const PanelMessageEvent& m) {
    static const RangeKey keys[] = {RangeKey::Down,   RangeKey::Up,   RangeKey::PageDown,
                                    RangeKey::PageUp, RangeKey::Home, RangeKey::End};
    listing_.ExtendSelection(keys[m.message - PmExtendDown], pageRows(), topRow());
    markingChanged();
    MoveCursor(listing_.cursor());
}

void FilePanel::onInvertSelection(const PanelMessageEvent&) {
    listing_.InvertSelection();
    markingChanged();
}

void FilePanel::onChangeDirectoryDialog(const PanelMessageEvent&) {
    const auto typed = ChangeDirDialog::Ask(this);
    if (!typed)
        return;
    if (listing_.isFtp()) {
        listing_.ClearCursorMemory();
        ChangeRemoteDirectory(static_cast<int>(RemotePanelSource::Move::Typed), *typed);
        return;
    }
    // A path that cannot be entered leaves the panel where it is, silently.
    const std::string target = ResolvePath(listing_.path, *typed);
    struct stat st;
    const bool enterable =
        stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(target.c_str(), R_OK | X_OK) == 0;
    listing_.ClearCursorMemory();
    listing_.keepSelection = false;
    if (enterable)
        ChangeDirectory(target);
    else
        Refresh();
    post(PmDirectoryChanged, controlId_);
}

// ---- drag and drop between the panels ----

void FilePanel::onStartDrag(const PanelMessageEvent&) {
    if (listing_.selectedFiles + listing_.selectedDirs == 0)
        return;
    auto* mime = new QMimeData;
    // Remote names are no local paths: a drag from the site carries no URLs,
    // so only the other panel takes it (and downloads).
    QList<QUrl> urls;
    for (const FileEntry& e : listing_.entries) {
        if (!listing_.isFtp() && e.selected && e.kind != KindParent) {
            const std::string p = listing_.FullPath(e);
            urls << QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(p)));
        }
    }
    mime->setUrls(urls);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const bool many = listing_.selectedFiles + listing_.selectedDirs > 1;
    const QPixmap allowed = many ? DragCursorMultiple() : DragCursorSingle();
    drag->setDragCursor(allowed, Qt::CopyAction);
    drag->setDragCursor(DragCursorNotAllowed(), Qt::IgnoreAction);
    drag->exec(Qt::CopyAction);
}

int FilePanel::DropTargetRow(const QPoint& pos, bool* allowed) const {
    *allowed = true;
    const int row = RowAtY(pos.y());
    if (row < 0 || listing_.entries[static_cast<size_t>(row)].kind != KindDirectory)
        return -1;
    if (listing_.isFtp()) {
        *allowed = false;
        return -1;
    }
    return row;
}

void FilePanel::setDropTarget(int row) {
    if (row != dropTargetRow_) {
        dropTargetRow_ = row;
        viewport()->update();
    }
}

void FilePanel::dragEnterEvent(QDragEnterEvent* e) {
    // Only the other panel's drags count; drops from other programs are ignored.
    auto* source = qobject_cast<FilePanel*>(e->source());
    if (source && source != this)
        e->acceptProposedAction();
    else
        e->ignore();
}

void FilePanel::dragMoveEvent(QDragMoveEvent* e) {
    auto* source = qobject_cast<FilePanel*>(e->source());
    if (!source || source == this) {
        e->ignore();
        return;
    }
    bool allowed = true;
    setDropTarget(DropTargetRow(e->position().toPoint(), &allowed));
    if (allowed)
        e->acceptProposedAction();
    else
        e->ignore();
}

void FilePanel::dragLeaveEvent(QDragLeaveEvent*) { setDropTarget(-1); }

void FilePanel::dropEvent(QDropEvent* e) {
    auto* source = qobject_cast<FilePanel*>(e->source());
    bool allowed = true;
    const int row = DropTargetRow(e->position().toPoint(), &allowed);
    setDropTarget(-1);
    if (!source || source == this || !allowed) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    AcceptDrop(*source, row);
}

bool FilePanel::AcceptDrop(const FilePanel& source, int targetRow) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const DropListResult list = BuildDropList(source.listing());
    QApplication::restoreOverrideCursor();
    if (list.skippedFtpDirectory)
        ShowWarning(4500);
    if (list.paths.empty()) {
        ShowWarning(4187);
        return false;
    }
    QList<QByteArray> paths;
    paths.reserve(static_cast<qsizetype>(list.paths.size()));
    for (const std::string& p : list.paths)
        paths << QByteArray::fromStdString(p);
    const qintptr row = targetRow >= 0 ? targetRow : 0xFFFF;
    PostPanelMessage(this, PmDrop, 0, row << 16, QVariant::fromValue(paths));
    return true;
}

// ---- right click and tooltips ----

void FilePanel::ContextClick(int row, const QPoint& globalPos) {
    if (row >= 0 && !listing_.entries[static_cast<size_t>(row)].selected)
        ClickSelect(row, Qt::NoModifier);
    if (listing_.selectedFiles + listing_.selectedDirs == 0) {
        ShowWarning(4185);
        return;
    }
    const int clicked = row >= 0 ? row : listing_.cursor();
    const bool onParent = clicked >= 0 && listing_.entries[static_cast<size_t>(clicked)].kind == KindParent;
    if (Settings().GetInt("Algemeen", "ContextMenus", 2490) == 2480) {
        if (listing_.selectedFiles > 0 && listing_.selectedDirs > 0) {
            ShowWarning(4185);
            return;
        }
        const bool files = listing_.selectedFiles > 0;
        const int count = files ? listing_.selectedFiles : listing_.selectedDirs;
        const int msg = files ? (count > 1 ? PmFileAttributesMany : PmFileAttributes)
                              : (count > 1 ? PmDirAttributesMany : PmDirAttributes);
        PostPanelMessage(this, msg, clicked);
        return;
    }
    if (onParent) {
        ShowWarning(4187);
        return;
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("panelContextMenu"));
    QAction* open = menu.addAction(QStringLiteral("&Open"));
    QAction* rename = menu.addAction(QStringLiteral("Re&name..."));
    QAction* copy = menu.addAction(QStringLiteral("&Copy to other panel..."));
    QAction* del = menu.addAction(QStringLiteral("&Delete"));
    QAction* chosen = menu.exec(globalPos);
    if (!chosen)
        return;
    if (chosen == open) {
        MoveCursor(clicked);
        post(PmEnterFocused, controlId_);
    } else if (chosen == rename) {
        renameEntry(clicked);
    } else if (chosen == copy) {
        PostPanelMessage(this, PmCopy);
    } else if (chosen == del) {
        post(PmDeleteToBin, controlId_);
    }
}

void FilePanel::renameEntry(int row) {
    if (row < 0 || row >= listing_.rowCount() || (listing_.isFtp() && !RemoteSource()))
        return;
    const std::string oldName = listing_.entries[static_cast<size_t>(row)].name;
    const auto newName = RenameDialog::Ask(oldName, this);
    if (!newName)
        return;
    if (listing_.isFtp()) {
        RemoteSource()->Rename(listing_, oldName, *newName);
    } else if (const int err = RenameInDirectory(listing_.path, oldName, *newName)) {
        ShowMessage(ErrorText(err), MbOk | MbIconStop);
    }
    listing_.keepSelection = false;
    post(PmRefreshOne, controlId_);
}

bool FilePanel::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* he = static_cast<QHelpEvent*>(e);
        const int row = RowAtY(he->pos().y());
        if (row >= 0 && listing_.entries[static_cast<size_t>(row)].kind != KindParent) {
            const FileEntry& entry = listing_.entries[static_cast<size_t>(row)];
            const std::string shown = DisplayName(entry, App().nameCase);
            const int width = fontMetrics().horizontalAdvance(
                QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())));
            if (width > columnWidth(0) - 8) {
                QString full = QString::fromUtf8(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
                QToolTip::showText(he->globalPos(), full.left(79), viewport());
                return true;
            }
        }
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    return QTableView::viewportEvent(e);
}

} // namespace km
