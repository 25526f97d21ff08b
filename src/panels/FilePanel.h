#pragma once
// One of the two panels: the view over a PanelListing, its keyboard and mouse
// input, and the panel side of the private messages.
#include "panels/PanelListing.h"
#include "ui_services/PanelMessage.h"

#include <QTableView>

#include <array>

#include <functional>
#include <memory>

class QMimeData;

namespace km {

class DirectoryLoad;
class PanelHeader;
class PanelModel;

class FilePanel : public QTableView {
    Q_OBJECT
public:
    // The active panel shows its cursor row even while the focus is elsewhere
    // (a small button, the prompt), since commands still act on it.
    void setActivePanel(bool active);
    bool isActivePanel() const { return activePanel_; }
    static QColor cursorColor();
    static constexpr int kLeftId = 1070;
    static constexpr int kRightId = 1080;

    FilePanel(int controlId, QWidget* parent = nullptr);

    // Handles the panel messages whose code lives above this library (the
    // file operations); returns true when it took the message.
    using ExternalHandler = std::function<bool(FilePanel&, const PanelMessageEvent&)>;
    static void SetExternalHandler(ExternalHandler handler);
    ~FilePanel() override;

    int controlId() const { return controlId_; }
    PanelListing& listing() { return listing_; }
    const PanelListing& listing() const { return listing_; }
    PanelModel* panelModel() const { return model_; }

    // Where the panel posts its messages (the main window).
    void setMessageTarget(QObject* target) { target_ = target; }

    // Re-reads the directory. On failure shows the platform's text and keeps
    // the previous rows; returns false. A local directory is read on a worker
    // thread: what takes longer than a moment goes on while the window runs
    // ("Reading…", the rows as they come) and true is returned; a failure
    // found later is shown then.
    bool Refresh();
    // Reads `newPath`; its rows and its path replace those on show together
    // (directoryShown() tells when). On failure the panel stays where it was.
    bool ChangeDirectory(const std::string& newPath);
    // Whether a read is still going on.
    bool reading() const { return load_ != nullptr; }
    // Stops the read: what was read so far stays, sorted; with nothing read
    // yet the panel goes back to the directory it showed before.
    void AbandonRead();
    // Runs `then` once the rows are complete: now, or when the read ends
    // (not at all when it fails or is abandoned).
    void WhenRead(std::function<void()> then);
    // Enter or double click on the cursor row.
    void EnterFocused();
    // On a remote panel: moves the server (a RemotePanelSource::Move) and
    // re-reads, telling the main window the directory changed.
    void ChangeRemoteDirectory(int how, const std::string& name);
    // Puts the cursor on `row`, scrolls it into view and repaints.
    void MoveCursor(int row);

    // Re-reads the cached panel colours.
    void ApplyColors();
    void ApplyFont(const QFont& font, int rowHeight);
    // Click selection: Ctrl toggles, Shift selects anchor..row, plain selects only `row`.
    void ClickSelect(int row, Qt::KeyboardModifiers mods);
    // The row a drop at `pos` (viewport coordinates) targets: a local directory
    // row, or -1 for the panel's own directory. `allowed` is false over a
    // remote directory row.
    int DropTargetRow(const QPoint& pos, bool* allowed) const;
    // Builds the drop list from `source`'s selection and posts the drop
    // message to this panel; false (after the message box) when nothing could be listed.
    bool AcceptDrop(const FilePanel& source, int targetRow);
    // Right click on `row` (the selection rules and the menu of the setting).
    void ContextClick(int row, const QPoint& globalPos);
    // Row under a y coordinate in viewport space, -1 past the last row.
    int RowAtY(int y) const;
    // The widths the user set (stored as "ColL"...). The name column also
    // takes whatever width the others leave; a new font scales all three.
    void SetColumnWidths(int c0, int c1, int c2);
    int storedColumnWidth(int column) const { return userWidths_[static_cast<size_t>(column)]; }
    int pageRows() const;
    // Redraws the header arrow from the listing's sort column and direction.
    void updateSortIndicator();
    int topRow() const;

signals:
    // A file was entered; the open/archive commands act on it.
    void fileActivated(const QByteArray& path); // the real bytes of the path
    // The selection changed; the summary line needs rewriting.
    void summaryChanged();
    // Rows of another directory are on show: the path line, the drive and
    // the watcher follow.
    void directoryShown();

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool viewportEvent(QEvent* e) override;

private:
    void onSort(const PanelMessageEvent& m);
    void onSortColumn(const PanelMessageEvent& m);
    void onExtendSelection(const PanelMessageEvent& m);
    void onInvertSelection(const PanelMessageEvent& m);
    void onStartDrag(const PanelMessageEvent& m);
    void onChangeDirectoryDialog(const PanelMessageEvent& m);
    void enterRemote(const FileEntry& e);
    void renameEntry(int row);
    void setDropTarget(int row);
    void applySort(int flags);
    void markingChanged();
    void post(int msg, qintptr first = 0, qintptr second = 0);
    bool startRead(const std::string& dirPath);
    void takeLoadedRows();
    bool finishRead();
    // After a read of `gaveUp` failed or was abandoned: back to the directory
    // of before, read again when its rows are not all on show.
    void goBack(const std::string& gaveUp);
    void afterRead(bool complete);

    const int controlId_;
    PanelListing listing_;
    PanelModel* model_;
    PanelHeader* header_;
    QObject* target_ = nullptr;
    // mouse
    bool dragArmed_ = false;
    bool pressOnSelected_ = false;
    QPoint pressPoint_;
    Qt::KeyboardModifiers pressMods_;
    int pressRow_ = -1;
    int anchorRow_ = 0;
    int dropTargetRow_ = -1;
    bool activePanel_ = false;
    void fitColumns();
    std::array<int, 3> userWidths_{90, 64, 118};
    bool fitting_ = false;
    // the read in progress
    std::unique_ptr<DirectoryLoad> load_;
    ReadCarryOver loadCarry_;
    std::string shownBefore_; // the directory whose rows the read's first rows replaced
    bool rowsComplete_ = false; // the rows on show are a finished read of the listing's path
    bool previewShown_ = false; // the rows shown are the new directory's first ones
    bool rereadWanted_ = false; // a change came in while reading
    std::vector<std::function<void()>> afterRead_;
    static const PanelMessageTable<FilePanel> messageTable_;
};

} // namespace km
