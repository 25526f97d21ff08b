#include "fileops/attributes/ui/AttributeCommands.h"

#include "fileops/attributes/AttributeEngine.h"
#include "fileops/attributes/ui/AttributesDialog.h"
#include "panels/FilePanel.h"
#include "platform/FileAttributes.h"
#include "ui_services/AppState.h"
#include "ui_services/BusyGuard.h"
#include "ui_services/MessageBoxes.h"

#include <string>
#include <vector>

namespace km {
namespace {

constexpr int kAttributesHelp = 6000;
constexpr int kNoFileSelected = 4173;
constexpr int kNoDirectorySelected = 4204;
constexpr int kNoAccess = 4186;
constexpr int kNotOnFtp = 4480;

class QtAttributeUi : public AttributeUi {
public:
    void Warning(int stringId) override { ShowWarning(stringId); }
    void SystemError(std::string_view text) override { ShowMessage(text, MbOk | MbIconStop); }
};

// Keeps the directory watchers quiet while a dialog is open, as during the change.
class BusyFlagScope {
public:
    BusyFlagScope() : was_(App().busyFlag.exchange(true)) {}
    ~BusyFlagScope() { App().busyFlag = was_; }
    BusyFlagScope(const BusyFlagScope&) = delete;
    BusyFlagScope& operator=(const BusyFlagScope&) = delete;

private:
    bool was_;
};

bool IsAttributeMessage(int msg) {
    return msg == PmFileAttributes || msg == PmFileAttributesMany || msg == PmDirAttributes ||
           msg == PmDirAttributesMany;
}

// The entries a message acts on: false (after the warning) when it has none.
bool CollectEntries(const PanelListing& listing, const PanelMessageEvent& m,
                    std::vector<std::string>& paths, bool& firstIsDirectory) {
    const bool dirs = m.message == PmDirAttributes || m.message == PmDirAttributesMany;
    const int missing = dirs ? kNoDirectorySelected : kNoFileSelected;
    if (m.message == PmFileAttributes || m.message == PmDirAttributes) {
        const int row = m.first >= 0 && m.first < listing.rowCount() ? static_cast<int>(m.first)
                                                                     : listing.cursor();
        if (row < 0 || row >= listing.rowCount())
            return false;
        const FileEntry& e = listing.entries[static_cast<size_t>(row)];
        // ".." stands for the directory above, not an entry of this one.
        if (e.kind == KindParent) {
            if (dirs)
                ShowWarning(missing);
            return false;
        }
        if (dirs && e.kind != KindDirectory) {
            ShowWarning(missing);
            return false;
        }
        paths.push_back(listing.FullPath(e));
        firstIsDirectory = e.kind == KindDirectory;
        return true;
    }
    const int wanted = dirs ? KindDirectory : KindFile;
    bool first = true;
    for (const FileEntry& e : listing.entries) {
        if (!e.selected || e.kind == KindParent)
            continue;
        if (first && e.kind != wanted) {
            ShowWarning(missing);
            return false;
        }
        first = false;
        if (e.kind == wanted)
            paths.push_back(listing.FullPath(e));
    }
    if (paths.empty()) {
        ShowWarning(missing);
        return false;
    }
    firstIsDirectory = dirs;
    return true;
}

AttributesDialog::Mode ModeOf(int msg) {
    switch (msg) {
    case PmFileAttributesMany:
        return AttributesDialog::ManyFiles;
    case PmDirAttributes:
        return AttributesDialog::OneDirectory;
    case PmDirAttributesMany:
        return AttributesDialog::ManyDirectories;
    default:
        return AttributesDialog::OneFile;
    }
}

} // namespace

bool HandleAttributeCommand(FilePanel& panel, const PanelMessageEvent& m, QWidget* mainWindow) {
    if (!IsAttributeMessage(m.message))
        return false;
    PanelListing& listing = panel.listing();
    if (listing.isFtp()) {
        ShowWarning(kNotOnFtp);
        return true;
    }
    std::vector<std::string> paths;
    bool firstIsDirectory = false;
    if (!CollectEntries(listing, m, paths, firstIsDirectory))
        return true;
    uint32_t attributes = 0;
    int64_t modified = 0;
    if (ReadPathAttributes(paths.front(), attributes, &modified) != 0) {
        ShowWarning(kNoAccess);
        return true;
    }

    BusyFlagScope busyFlag;
    const LocaleInfo& locale = CurrentLocale();
    AttributeRequest request;
    {
        HelpContextScope help(kAttributesHelp);
        AttributesDialog dialog(ModeOf(m.message), paths.front(), firstIsDirectory, attributes,
                                FormatDateTime(modified, locale), locale, mainWindow);
        if (dialog.exec() != QDialog::Accepted)
            return true;
        request = dialog.request();
    }
    {
        BusyGuard busy(mainWindow);
        QtAttributeUi ui;
        if (request.multi) {
            ApplyToEntries(paths, firstIsDirectory, request, ui);
        } else if (firstIsDirectory) {
            ApplyToDirectory(paths.front(), request, ui);
        } else {
            ApplyToFile(paths.front(), request, ui);
        }
    }
    listing.keepSelection = false;
    if (mainWindow)
        PostPanelMessage(mainWindow, PmRefreshBoth, panel.controlId());
    return true;
}

void AttributesCommand(FilePanel& active, bool directoryMenu) {
    const PanelListing& listing = active.listing();
    if (listing.isFtp()) {
        ShowWarning(kNotOnFtp);
        return;
    }
    if (directoryMenu) {
        PostPanelMessage(&active, listing.selectedDirs > 1 ? PmDirAttributesMany : PmDirAttributes,
                         -1);
        return;
    }
    if (listing.selectedDirs > 0) {
        ShowWarning(kNoFileSelected);
        return;
    }
    PostPanelMessage(&active, listing.selectedFiles > 1 ? PmFileAttributesMany : PmFileAttributes,
                     -1);
}

} // namespace km
