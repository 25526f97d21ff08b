#pragma once
// "FILECONT": the entries of one archive, extracted all or in part into a
// directory, or one at a time into the private temporary directory to be
// viewed, edited or opened.
#include "archive/ArchiveSink.h"
#include "archive/browser/ArchiveFormat.h"

#include <QDialog>
#include <QPointer>

#include <string>
#include <unordered_set>

class QLabel;
class QPushButton;
class QTableView;

namespace km {

class ArchiveEntryModel;
class ProgressWindow;

class ArchiveBrowser : public QDialog, private ArchiveSink {
    Q_OBJECT
public:
    ArchiveBrowser(const std::string& archive, const std::string& defaultTarget, QWidget* parent);
    ~ArchiveBrowser() override;

    // Lists and shows the archive. 1 after Close or an extraction, 2 after
    // Escape, 0 when the archive could not be listed.
    static int Run(const std::string& archive, const std::string& defaultTarget, QWidget* parent);

    ArchiveFormat format() const { return format_; }
    ArchiveEntryModel* model() const { return model_; }
    QTableView* view() const { return view_; }

    // The engine's callback record, for the ZIP engine.
    uint16_t OnZipRecord(uint16_t type, const char* text);

protected:
    void reject() override;

private:
    bool list();
    void extract(bool all);
    void openEntry(int how); // 0 execute, 1 view, 2 edit
    bool extractTo(const std::string& target, bool interactive);
    bool extractZip(const std::string& target, bool interactive);
    std::vector<std::string> wantedNames() const;
    void updateButtons();
    void saveColumns();
    QString shownName(const std::string& entry) const;

    // ArchiveSink, for the readers of the other formats
    void AddEntry(const std::string& name, FileTime modified, uint64_t size) override;
    bool IsWanted(const std::string& name) override;
    bool ConfirmOverwrite(const std::string& outputPath, uint64_t size, FileTime modified) override;
    void ShowEntry(const std::string& name) override;
    bool Progress(uint64_t bytesDone) override;

    std::string archive_, defaultTarget_, target_;
    ArchiveFormat format_;
    ArchiveEntryModel* model_;
    QTableView* view_;
    QPushButton* extractSelected_;
    QPushButton* viewButton_;
    QPushButton* editButton_;
    QPushButton* execute_;
    QPointer<ProgressWindow> status_; // Cancel deletes the window under us
    bool storedPaths_ = false;
    bool error_ = false;
    bool interactive_ = false;
    bool extractAll_ = false;
    std::unordered_set<std::string> wanted_; // the picked rows' names, for this extraction
    bool askOverwrite_ = true;
    bool yesToAll_ = false;
    int wantedCount_ = 0;
    uint64_t wantedBytes_ = 0;
};

// Opens the browser on the panel's cursor file (0x429, or Enter on an
// archive name) with the other panel's directory as the default target.
// True when the main window should re-read both panels.
bool OpenArchiveFile(const std::string& archive, const std::string& otherDir, QWidget* mainWindow);

} // namespace km
