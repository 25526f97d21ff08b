#include "archive/zip/ui/ZipCommand.h"

#include "archive/zip/ZipEngine.h"
#include "archive/zip/ZipErrorTexts.h"
#include "archive/zip/ZipPatterns.h"
#include "archive/zip/ZipRecords.h"
#include "archive/zip/ui/ZipDialogs.h"
#include "fileops/CopyEngine.h"
#include "fileops/ui/OverwriteDialog.h"
#include "panels/FilePanel.h"
#include "platform/PathUtil.h"
#include "platform/PrivateTemp.h"
#include "platform/Volumes.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/BusyGuard.h"
#include "ui_services/EventPump.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/ProgressWindow.h"

#include <QLabel>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {
namespace {

constexpr int kNoFileSelected = 4173;
constexpr int kErrorCreatingDirectory = 4201;
constexpr int kAlreadyContains = 4260;
constexpr int kZipTitle = 4350;
constexpr int kNotOnFtp = 4480;
constexpr int kFloppy = 4640;
constexpr int kFloppyFull = 4650;

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

struct ZipRun {
    QPointer<ProgressWindow> status;
};

uint16_t zipRecord(uint16_t, uint16_t type, const char* text, uintptr_t user) {
    auto* run = reinterpret_cast<ZipRun*>(user);
    EventPump::pump();
    if (App().cancelFlag)
        return zip::kAnswerAbort;
    const std::vector<std::string> f = zip::RecordFields(text ? text : "");
    auto at = [&f](size_t i) -> const std::string& {
        static const std::string none;
        return i >= 1 && i <= f.size() ? f[i - 1] : none;
    };
    QWidget* parent = run->status ? static_cast<QWidget*>(run->status) : MessageOwner();
    switch (type) {
    case 12:
    case 14:
        if (run->status) {
            run->status->setFieldText(ProgressWindow::kFieldFrom, at(2));
            const double total = std::atof(at(8).c_str());
            const double done = std::atof(at(9).c_str());
            if (total > 0)
                run->status->setPosition(static_cast<int>(done * 100 / total));
        }
        return 0;
    case 20: {
        const std::string text20 =
            std::string(LoadString(kFloppy)) + at(2) + std::string(LoadString(kFloppyFull));
        return ShowMessage(text20, MbOkCancel | MbIconStop) == IdOk ? 0 : zip::kAnswerAbort;
    }
    case 22:
    case 23: {
        const std::string box = zip::ZipMessageBoxText(zip::kZipEngineDigit, type == 23, at(2),
                                                       std::atoi(at(3).c_str()));
        if (!box.empty())
            ShowMessage(box, MbOk | MbIconStop);
        return 0;
    }
    case 24: {
        OverwriteQuestion q;
        q.allowYesToAll = true;
        OverwriteDialog dlg(q, parent);
        const std::string& name = at(2);
        const size_t cut = name.find_last_of("/\\");
        const std::string question = at(1) + std::string(LoadString(kAlreadyContains)) +
                                     (cut == std::string::npos ? name : name.substr(cut + 1)) + ".";
        // The dates come from the record as the engine wrote them.
        if (auto* l = dlg.findChild<QLabel*>(QStringLiteral("static2380")))
            l->setText(QString::fromStdString(question));
        if (auto* l = dlg.findChild<QLabel*>(QStringLiteral("static2430")))
            l->setText(QString::fromStdString(at(3) + " bytes, " + at(4)));
        if (auto* l = dlg.findChild<QLabel*>(QStringLiteral("static2420")))
            l->setText(QString::fromStdString(at(6) + " bytes, " + at(7)));
        const int r = dlg.exec();
        switch (r) {
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

} // namespace

std::string DefaultZipArchiveName(const PanelListing& panel, const PanelListing& other,
                                  bool selfExtractor) {
    const std::string otherFile = other.SelectedFilePath();
    if (!selfExtractor && !otherFile.empty())
        return otherFile;
    int files = 0;
    const FileEntry* onlyDir = nullptr;
    int dirs = 0;
    for (const FileEntry& e : panel.entries) {
        if (!e.selected)
            continue;
        if (e.kind == KindFile)
            ++files;
        if (e.kind == KindDirectory) {
            ++dirs;
            onlyDir = &e;
        }
    }
    if (files == 0 && dirs == 0 && panel.cursor() >= 0 && panel.cursor() < panel.rowCount()) {
        const FileEntry& e = panel.entries[static_cast<size_t>(panel.cursor())];
        if (e.kind == KindDirectory) {
            dirs = 1;
            onlyDir = &e;
        }
    }
    std::string base;
    if (dirs == 1 && files == 0) {
        base = onlyDir->name;
    } else if (IsRootPath(panel.path)) {
        base = "temp";
    } else {
        base = std::string(BaseName(panel.path));
        base = base.substr(0, base.find('.'));
        if (base.empty())
            base = "temp";
    }
    // Only the new name is put in small letters: the directories above it are case-sensitive.
    return JoinPath(other.isFtp() ? panel.path : other.path,
                    lower(base) + (selfExtractor ? ".run" : ".zip"));
}

std::string ResolveZipArchiveName(const std::string& typed, const std::string& dir, bool otherIsFtp) {
    if (!typed.empty() && typed[0] == '/')
        return typed;
    if (typed.rfind("[FTP]", 0) == 0 || otherIsFtp)
        return {};
    return ResolvePath(dir, typed);
}

bool HandleZipCommand(FilePanel& panel, FilePanel& other, const PanelMessageEvent& m,
                      QWidget* mainWindow) {
    if (m.message != PmZip)
        return false;
    const bool sfx = m.first == 1;
    App().helpContext = sfx ? 6110 : 6100;
    struct HelpReset {
        ~HelpReset() { App().helpContext = 0; }
    } helpReset;

    PanelListing& listing = panel.listing();
    if (listing.isFtp()) {
        ShowWarning(kNotOnFtp);
        return true;
    }
    // Taken now: rows that arrive while the dialogs are open change nothing.
    const PanelSelection chosen = listing.Chosen();
    if (chosen.empty()) {
        ShowWarning(kNoFileSelected);
        return true;
    }
    bool anyDirectory = false;
    for (const FileEntry& e : chosen.entries)
        anyDirectory = anyDirectory || e.kind == KindDirectory;
    const std::string defaultName = DefaultZipArchiveName(listing, other.listing(), sfx);
    const bool otherIsFtp = other.listing().isFtp();

    const auto mode = ZipPathDialog::Ask(anyDirectory ? 1 : 0, mainWindow);
    if (!mode)
        return true;
    const auto typed = ZipNameDialog::Ask(defaultName, !sfx, mainWindow);
    if (!typed || typed->name.empty())
        return true;
    const std::string archive = ResolveZipArchiveName(typed->name, chosen.dir, otherIsFtp);
    if (archive.empty()) {
        ShowWarning(kNotOnFtp);
        return true;
    }
    const std::string directory = ParentPath(archive);
    struct stat st;
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (MakePath(directory) != 0) {
            ShowMessage(std::string(LoadString(kErrorCreatingDirectory)) + directory,
                        MbOk | MbIconExclamation);
            return true;
        }
    }

    // The list of what to zip goes to the private directory, never a shared one.
    const std::string listFile = PrivateTempFile("list");
    {
        std::FILE* f = listFile.empty() ? nullptr : std::fopen(listFile.c_str(), "w");
        if (!f) {
            ShowMessage("Zip error - Can't open list file", MbOk | MbIconStop);
            return true;
        }
        std::vector<std::string> files, directories;
        for (const FileEntry& e : chosen.entries)
            (e.kind == KindDirectory ? directories : files).push_back(chosen.FullPath(e));
        const std::string text = zip::ZipSelectionListText(files, directories);
        const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (std::fclose(f) != 0 || !written) {
            ::unlink(listFile.c_str());
            ShowMessage("Zip error - Can't open list file", MbOk | MbIconStop);
            return true;
        }
    }

    ZipRun run;
    {
        BusyGuard busy(mainWindow);
        run.status = ProgressWindow::Create(ProgressKind::Copy, mainWindow);
        run.status->setTitle(LoadString(kZipTitle));
        run.status->setFieldText(ProgressWindow::kFieldTo, archive);
        run.status->show();
        if (mainWindow)
            mainWindow->raise();
        EventPump::force();

        ZipEngine_Initialise();
        ZipEngine_UseLFN(1);
        ZipEngine_InstallCallbackEx(&zipRecord, reinterpret_cast<uintptr_t>(&run));
        ZipEngine_ArchiveName(archive.c_str());
        if (anyDirectory)
            ZipEngine_Recurse(1);
        if (*mode == 0) {
            ZipEngine_SaveStructure(0);
        } else {
            ZipEngine_SaveRelativeTo(chosen.dir.c_str());
            ZipEngine_SaveStructure(*mode);
        }
        if (typed->partSize != 0) {
            ZipEngine_Span(1);
            ZipEngine_SpanCreateImages(1);
            ZipEngine_SpanSizes(typed->partSize, typed->partSize);
        } else if (!sfx && IsOnRemovableVolume(std::string(ParentPath(archive)))) {
            // A plain archive onto a removable volume fills one medium, then asks for the next.
            ZipEngine_Span(1);
        }
        ZipEngine_Overwrite(Settings().GetInt("Algemeen", "BevestigingOverwrite", 1) == 1 ? 10
                                                                                          : 11);
        if (sfx)
            ZipEngine_BuildSFX(1);
        ZipEngine_IncludeListFile(listFile.c_str());
        ZipEngine_Run();
        ::unlink(listFile.c_str());
        if (run.status && !App().cancelFlag)
            run.status->finish();
    }
    PostPanelMessage(mainWindow, PmRefreshBoth, panel.controlId());
    if (mainWindow) {
        mainWindow->raise();
        mainWindow->activateWindow();
    }
    return true;
}

} // namespace km
