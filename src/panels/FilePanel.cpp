#include "panels/FilePanel.h"

#include "panels/PanelDelegate.h"
#include "panels/PanelModel.h"
#include "panels/SortFilesDialog.h"
#include "platform/PathUtil.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

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
};

FilePanel::FilePanel(int controlId, QWidget* parent)
    : QTableView(parent), controlId_(controlId), model_(new PanelModel(listing_, this)) {
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
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setStretchLastSection(false);
    setAutoFillBackground(true);
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

bool FilePanel::event(QEvent* e) {
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

void FilePanel::selectionChanged() {
    model_->allRowsChanged();
    emit summaryChanged();
}

bool FilePanel::Refresh() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_->beginListingReset();
    const DirReadResult r =
        listing_.ReadDirectory(ListingFilter::FromSettings(Settings()), App().filterMask);
    model_->endListingReset();
    QApplication::restoreOverrideCursor();
    MoveCursor(listing_.cursor());
    emit summaryChanged();
    if (r.error != 0) {
        ShowMessage(r.errorText, MbOk | MbIconStop);
        return false;
    }
    return true;
}

bool FilePanel::ChangeDirectory(const std::string& newPath) {
    const std::string oldPath = listing_.path;
    const int oldDepth = listing_.depth;
    listing_.path = newPath;
    listing_.keepSelection = false;
    if (!Refresh()) {
        listing_.path = oldPath;
        listing_.depth = oldDepth;
        return false;
    }
    return true;
}

void FilePanel::EnterFocused() {
    const int cur = listing_.cursor();
    if (cur < 0 || cur >= listing_.rowCount())
        return;
    if (listing_.depth < PanelListing::kCursorSlots)
        listing_.cursorMemory[static_cast<size_t>(listing_.depth)] = cur;
    const FileEntry& e = listing_.entries[static_cast<size_t>(cur)];
    if (e.kind == KindFile) {
        const std::string p = listing_.FullPath(e);
        emit fileActivated(QString::fromUtf8(p.data(), static_cast<qsizetype>(p.size())));
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

void FilePanel::ApplyColors() {
    // Space below the last row is drawn in the file background too.
    QPalette pal = palette();
    pal.setColor(QPalette::Base, ColorFromRef(App().colors.ref[ColFileBg]));
    setPalette(pal);
    viewport()->update();
}

void FilePanel::ApplyFont(const QFont& font, int rowHeight) {
    setFont(font);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(rowHeight);
}

void FilePanel::SetColumnWidths(int c0, int c1, int c2) {
    setColumnWidth(0, c0);
    setColumnWidth(1, c1);
    setColumnWidth(2, c2);
}

void FilePanel::keyPressEvent(QKeyEvent* e) {
    const int cur = listing_.cursor();
    const int last = listing_.rowCount() - 1;
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (shift && !ctrl) {
        static const std::pair<int, int> ranges[] = {
            {Qt::Key_Down, PmExtendDown},         {Qt::Key_Up, PmExtendUp},
            {Qt::Key_PageDown, PmExtendPageDown}, {Qt::Key_PageUp, PmExtendPageUp},
            {Qt::Key_Home, PmExtendHome},         {Qt::Key_End, PmExtendEnd}};
        for (const auto& [key, msg] : ranges) {
            if (e->key() == key) {
                PostPanelMessage(this, msg);
                return;
            }
        }
    }
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: post(PmEnterFocused, controlId_); return;
    case Qt::Key_Space:
        listing_.ToggleSelected(cur);
        selectionChanged();
        return;
    case Qt::Key_Insert:
        listing_.ToggleSelected(cur);
        selectionChanged();
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
            if (ChangeDirectory(listing_.drive.empty() ? "/" : listing_.drive))
                post(PmDirectoryChanged, controlId_);
            return;
        }
        break;
    default: break;
    }
    const QString text = e->text();
    if (!ctrl && text.size() == 1 && text[0].isPrint() && text[0] != QLatin1Char('.') &&
        text[0] != QLatin1Char(' ') && text[0].unicode() < 0x80) {
        const int row = listing_.QuickSearch(static_cast<char>(text[0].unicode()));
        selectionChanged();
        if (row >= 0)
            MoveCursor(row);
        else
            scrollToTop();
        return;
    }
    QTableView::keyPressEvent(e);
}

void FilePanel::mousePressEvent(QMouseEvent* e) {
    post(PmPanelFocused, controlId_);
    setFocus(Qt::MouseFocusReason);
    const int row = rowAt(e->pos().y());
    if (row >= 0 && e->button() == Qt::LeftButton) {
        listing_.SetCursor(row);
        MoveCursor(row);
    }
}

void FilePanel::mouseMoveEvent(QMouseEvent* e) { e->accept(); }
void FilePanel::mouseReleaseEvent(QMouseEvent* e) { e->accept(); }

void FilePanel::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rowAt(e->pos().y()) >= 0)
        post(PmEnterFocused, controlId_);
}

void FilePanel::focusInEvent(QFocusEvent* e) {
    QTableView::focusInEvent(e);
    post(PmPanelFocused, controlId_);
}

void FilePanel::paintEvent(QPaintEvent* e) {
    QTableView::paintEvent(e);
    const int cur = listing_.cursor();
    if (cur < 0 || !hasFocus())
        return;
    const QRect first = visualRect(model_->index(cur, 0));
    const QRect lastCell = visualRect(model_->index(cur, 2));
    if (!first.isValid())
        return;
    QPainter p(viewport());
    QPen pen(Qt::white, 1, Qt::DotLine);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(pen);
    p.drawRect(first.united(lastCell).adjusted(0, 0, -1, -1));
}

void FilePanel::applySort(int flags) {
    model_->beginListingReset();
    listing_.Sort(flags);
    model_->endListingReset();
    MoveCursor(listing_.cursor());
}

void FilePanel::updateSortIndicator() {
    // The arrow points down for ascending order.
    horizontalHeader()->setSortIndicator(listing_.sortColumn, listing_.sortDescending
                                                                  ? Qt::DescendingOrder
                                                                  : Qt::AscendingOrder);
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
    selectionChanged();
    MoveCursor(listing_.cursor());
}

void FilePanel::onInvertSelection(const PanelMessageEvent&) {
    listing_.InvertSelection();
    selectionChanged();
}

} // namespace km
