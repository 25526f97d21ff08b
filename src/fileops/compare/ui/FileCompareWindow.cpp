#include "fileops/compare/ui/FileCompareWindow.h"

#include "fileops/compare/CompareResult.h"
#include "fileops/compare/RowNavigation.h"
#include "fileops/compare/ui/CompareRowDelegate.h"
#include "fileops/compare/ui/CompareRowModel.h"
#include "fileops/compare/ui/FileCompareFont.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace km {
namespace {

constexpr int kHelpContext = 6030;
constexpr int kTopOfFile = 4570;
constexpr int kEndOfFile = 4580;
constexpr int kMemoryFailed = 4370;
constexpr int kOutOfMemory = 4380;
constexpr int kWheelLines = 3;

QString fromBytes(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

int askOutOfMemory(QWidget* parent) {
    QMessageBox box(QMessageBox::Critical, fromBytes(LoadString(kOutOfMemory)),
                    fromBytes(LoadString(kMemoryFailed)),
                    QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, parent);
    box.setObjectName(QStringLiteral("MESSAGEBOX"));
    switch (box.exec()) {
    case QMessageBox::Abort:
        return IdAbort;
    case QMessageBox::Retry:
        return IdRetry;
    default:
        return IdIgnore;
    }
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

QPushButton* addButton(QWidget* owner, QBoxLayout* row, const char* text, int control) {
    auto* b = new QPushButton(QString::fromLatin1(text), owner);
    b->setObjectName(QStringLiteral("button%1").arg(control));
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
}

} // namespace

FileCompareWindow::FileCompareWindow(std::string leftPath, std::string rightPath, QWidget* parent)
    : QDialog(parent), paths_{std::move(leftPath), std::move(rightPath)} {
    setObjectName(QStringLiteral("FILECOMP"));
    setWindowTitle(QStringLiteral("KM - Compare files"));
    setSizeGripEnabled(true);
    resize(900, 600);

    auto* layout = new QVBoxLayout(this);
    auto* nameRow = new QHBoxLayout;
    auto* listRow = new QHBoxLayout;
    listRow->setSpacing(2);
    delegate_ = new CompareRowDelegate(this);
    for (int side = 0; side < 2; ++side) {
        names_[side] = new QLabel(fromBytes(paths_[side]), this);
        names_[side]->setObjectName(QStringLiteral("static%1").arg(side == 0 ? 2540 : 2550));
        names_[side]->setTextFormat(Qt::PlainText);
        names_[side]->setMinimumWidth(50);
        nameRow->addWidget(names_[side], 1);

        auto* list = new QListView(this);
        list->setObjectName(QStringLiteral("list%1").arg(side == 0 ? 2510 : 2520));
        models_[side] = new CompareRowModel(list);
        list->setModel(models_[side]);
        list->setItemDelegate(delegate_);
        list->setUniformItemSizes(true);
        list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        list->setSelectionMode(QAbstractItemView::NoSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        // The lists follow the one scroll bar only: no focus, no scrolling of their own.
        list->setFocusPolicy(Qt::NoFocus);
        list->setAutoScroll(false);
        list->viewport()->installEventFilter(this);
        connect(list->verticalScrollBar(), &QScrollBar::rangeChanged, this,
                [this, list] { list->verticalScrollBar()->setValue(top_); });
        lists_[side] = list;
        listRow->addWidget(list, 1);
    }
    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setObjectName(QStringLiteral("scroll2530"));
    scrollBar_->setRange(0, 0);
    connect(scrollBar_, &QScrollBar::actionTriggered, this, &FileCompareWindow::onScrollAction);
    listRow->addWidget(scrollBar_);
    layout->addLayout(nameRow);
    layout->addLayout(listRow, 1);

    auto* buttons = new QHBoxLayout;
    connect(addButton(this, buttons, "&Previous difference", 2590), &QPushButton::clicked, this,
            [this] { navigate(false, true); });
    connect(addButton(this, buttons, "&Next difference", 2570), &QPushButton::clicked, this,
            [this] { navigate(true, true); });
    connect(addButton(this, buttons, "Pr&evious match", 2600), &QPushButton::clicked, this,
            [this] { navigate(false, false); });
    connect(addButton(this, buttons, "Next &match", 2580), &QPushButton::clicked, this,
            [this] { navigate(true, false); });
    buttons->addSpacing(12);
    connect(addButton(this, buttons, "Edit &left file", 2620), &QPushButton::clicked, this,
            [this] { edit(paths_[0]); });
    connect(addButton(this, buttons, "Edit &right file", 2630), &QPushButton::clicked, this,
            [this] { edit(paths_[1]); });
    connect(addButton(this, buttons, "&Font...", 2560), &QPushButton::clicked, this,
            &FileCompareWindow::chooseFont);
    buttons->addStretch();
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("close"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    applyFont(FileCompareFontFromSettings(Settings()));
}

FileCompareWindow::~FileCompareWindow() {
    // The models point into rows_ and comparer_, and the lists' scroll bars
    // call back here; both go before the children do.
    for (int side = 0; side < 2; ++side) {
        lists_[side]->verticalScrollBar()->disconnect(this);
        models_[side]->setRows(nullptr, nullptr, nullptr, 1);
    }
}

bool FileCompareWindow::Load() {
    SettingsStore& s = Settings();
    const bool ignoreWhiteSpace = s.GetInt("FileComp", "NegeerSpaties", 0) == 1;
    const int tabSize = std::max(1, s.GetInt("FileComp", "PerTab", 4));
    for (CompareRowModel* m : models_)
        m->setRows(nullptr, nullptr, nullptr, tabSize);
    for (;;) {
        int result = CompareOk;
        {
            WaitCursor wait;
            rows_ = {};
            comparer_ = FileComparer(ignoreWhiteSpace);
            result = comparer_.Compare(paths_[0], paths_[1]);
            if (result == CompareOk)
                result = FillDisplayRows(comparer_.display(), rows_);
        }
        if (result != CompareNoMemory)
            break;
        rows_ = {};
        comparer_ = FileComparer(ignoreWhiteSpace);
        const int answer = askOutOfMemory(this);
        if (answer == IdAbort) {
            QCoreApplication::exit(1);
            return false;
        }
        if (answer != IdRetry)
            return false;
    }
    models_[0]->setRows(&rows_.left, &comparer_.left(), &comparer_.right(), tabSize);
    models_[1]->setRows(&rows_.right, &comparer_.left(), &comparer_.right(), tabSize);
    top_ = 0;
    scrollBar_->setRange(0, rowCount());
    scrollBar_->setSingleStep(1);
    scrollBar_->setValue(0);
    updatePage();
    setTop(0);
    return true;
}

void FileCompareWindow::updatePage() {
    const int rowHeight = std::max(1, delegate_->rowHeight());
    visible_ = std::max(1, lists_[0]->viewport()->height() / rowHeight - 2);
    scrollBar_->setPageStep(visible_);
}

void FileCompareWindow::setTop(int row) {
    top_ = std::clamp(row, 0, std::max(0, rowCount() - 1));
    for (QListView* list : lists_)
        list->verticalScrollBar()->setValue(top_);
}

void FileCompareWindow::onScrollAction(int action) {
    const int n = rowCount();
    const int last = std::max(0, n - 1);
    int top = top_;
    bool down = false;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        top = std::max(0, top_ - 1);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        top = std::min(last, top_ + 1);
        down = true;
        break;
    case QAbstractSlider::SliderPageStepSub:
        top = std::max(0, top_ - visible_);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        top = std::min(last, top_ + visible_);
        down = true;
        break;
    case QAbstractSlider::SliderMove: {
        const int pos = scrollBar_->sliderPosition();
        top = pos >= n ? last : std::max(0, pos);
        setTop(top);
        return; // the thumb stays where it was dragged
    }
    case QAbstractSlider::SliderToMinimum:
        top = 0;
        break;
    case QAbstractSlider::SliderToMaximum:
        top = last;
        break;
    default:
        return;
    }
    setTop(top);
    // Near the end the thumb goes to the bottom, though the top row stops at the last row.
    scrollBar_->setSliderPosition(down && top_ > n - visible_ ? n : top_);
}

void FileCompareWindow::navigate(bool forward, bool difference) {
    const RowMove move = forward ? NextRow(rows_.left, static_cast<size_t>(top_), difference)
                                 : PreviousRow(rows_.left, static_cast<size_t>(top_), difference);
    setTop(static_cast<int>(move.row));
    scrollBar_->setValue(top_);
    if (move.passedEnd)
        ShowWarning(forward ? kEndOfFile : kTopOfFile);
}

void FileCompareWindow::chooseFont() {
    if (const std::optional<QFont> font =
            ChooseFileCompareFont(this, lists_[0]->font(), Settings()))
        applyFont(*font);
}

void FileCompareWindow::applyFont(const QFont& font) {
    const QFontMetrics metrics(font);
    delegate_->setRowHeight(std::max(1, metrics.height() + std::max(0, metrics.leading())));
    for (int side = 0; side < 2; ++side) {
        lists_[side]->setFont(font);
        models_[side]->relayout();
    }
    updatePage();
    setTop(top_);
}

void FileCompareWindow::edit(const std::string& path) {
    EditFile(path, this, false, directoryOf(path));
}

void FileCompareWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    updatePage();
    setTop(top_);
}

bool FileCompareWindow::eventFilter(QObject* watched, QEvent* event) {
    // The page is what the list shows, whatever resized it (the window, or
    // a scroll area the window sits in on a small screen).
    if (event->type() == QEvent::Resize && watched == lists_[0]->viewport())
        updatePage();
    if (event->type() == QEvent::Wheel) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        if (delta != 0) {
            const int steps = std::max(1, std::abs(delta) / 120) * kWheelLines;
            for (int i = 0; i < steps; ++i)
                scrollBar_->triggerAction(delta > 0 ? QAbstractSlider::SliderSingleStepSub
                                                    : QAbstractSlider::SliderSingleStepAdd);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CompareFiles(const std::string& leftPath, const std::string& rightPath, QWidget* owner) {
    HelpContextScope help(kHelpContext);
    FileCompareWindow window(leftPath, rightPath, owner);
    if (window.Load())
        window.exec();
}

} // namespace km
