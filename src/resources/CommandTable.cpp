#include "resources/CommandIds.h"

#include <iterator>

namespace km {
namespace {

// Menu order, so a menu builder can walk it; lookups are linear (the table is small).
constexpr CommandInfo kCommands[] = {
    // File menu
    {CmdFileAttributes, "Attri&butes..."},
    {CmdSearch, "&Search...\tCtrl+F"},
    {CmdAssociate, "&Associate..."},
    {CmdFileCompare, "C&ompare..."},
    {CmdView, "View..."},
    {CmdEdit, "Edit..."},
    {CmdEditNew, "Edit new..."},
    {CmdCopy, "Copy..."},
    {CmdRenameMove, "Rename/Move..."},
    {CmdDeleteToBin, "Delete to bin...\tDel"},
    {CmdDelete, "Delete...\tShift+Del"},
    {CmdFilter, "F&ilter..."},
    {CmdSelectFiles, "Select &file..."},
    {CmdDeselectFiles, "&Deselect file..."},
    {CmdSelectAll, "Se&lect all\tCtrl/+"},
    {CmdDeselectAll, "Desele&ct all\tCtrl/-"},
    {CmdInvertSelection, "In&vert selection"},
    {CmdOpenArchive, "Open arc&hive..."},
    {CmdZip, "&Zip...\tCtrl+Z"},
    {CmdZipSelfExtracting, "Zip to self extractin&g..."},
    {CmdPrint, "&Print"},
    {CmdPrinterSetup, "Printer set&up..."},
    {CmdExit, "E&xit"},
    {CmdSwapPanels, "S&wap file windows...\tCtrl+U"},

    // Directory menu
    {CmdChangeDir, "C&hange...\tCtrl+D"},
    {CmdDirAttributes, "Attri&butes..."},
    {CmdMakeDir, "Make..."},
    {CmdPrintDirectory, "&Print current directory"},
    {CmdPrintTree, "Print directory &tree"},
    {CmdDirCompare, "&Compare"},
    {CmdCalcSpace, "Calculate disk&space"},
    {CmdRefresh, "&Refresh\tCtrl+R"},

    // Disks and network
    {CmdDiskProperties, "&Disk properties..."},
    {CmdFormatDisk, "&Format disk..."},
    {CmdDiskCopy, "Disk &copy..."},
    {CmdConnectNetwork, "&Connect over network..."},
    {CmdDisconnectNetwork, "&Disconnect over network..."},
    {CmdFtpSites, "FTP &sites..."},

    // Settings menu
    {CmdSaveCurrentPaths, "&Save current paths"},
    {CmdSaveSortOrder, "Save cu&rrent sort order"},
    {CmdGeneralSettings, "&General settings..."},
    {CmdFunctionKeyDefinition, "Function key &definition..."},
    {CmdChooseFont, "Choose &font for file windows..."},
    {CmdChooseColors, "Choose co&lors for file windows..."},
    {CmdFileWindowSettings, "Other se&ttings for file windows..."},
    {CmdPrintSettings, "&Print settings..."},
    {CmdConfirmations, "&Confirmations..."},
    {CmdFileCompareSettings, "File c&ompare..."},
    {CmdFtpSettings, "FTP s&etting..."},

    // Help menu
    {CmdHelpIndex, "&Index"},
    {CmdHelpSearch, "&Search for topic..."},
    {CmdHelpScreenElements, "Help on screen &elements..."},
    {CmdHelpUsingHelp, "Use &help..."},
    {CmdAboutWindows, "About &Windows..."},
    {CmdAboutComputer, "About this &computer..."},
    {CmdAboutKestrum, "&About Kestrum..."},

    // Editor window menu
    {CmdEditorSave, "&Save"},
    {CmdEditorSaveAs, "Save &as..."},
    {CmdEditorExit, "E&xit"},
    {CmdEditorUndo, "Undo"},
    {CmdEditorCut, "Cut"},
    {CmdEditorCopy, "Copy"},
    {CmdEditorCopyToFile, "Copy &to file"},
    {CmdEditorPaste, "Paste"},
    {CmdEditorPasteFromFile, "Paste &from file"},
    {CmdEditorDelete, "Delete"},
    {CmdEditorSelectAll, "Select All"},
    {CmdEditorFind, "Find..."},
    {CmdEditorFindNext, "Find Next"},
    {CmdEditorReplace, "Replace..."},
    {CmdEditorFont, "&Font..."},
    {CmdEditorWordWrap, "&Word Wrap"},

    // Desktop menu
    {CmdDesktopPlaceholder, "Last..."},

    // No menu item: function keys, keys and buttons
    {CmdFunctionKey2, ""},
    {CmdFunctionKey3, ""},
    {CmdFunctionKey4, ""},
    {CmdFunctionKey5, ""},
    {CmdFunctionKey6, ""},
    {CmdFunctionKey7, ""},
    {CmdFunctionKey8, ""},
    {CmdFunctionKey9, ""},
    {CmdExitWindows, ""},
    {CmdSwitchPanel, ""},
    {CmdScreenSaver, ""},
    {CmdSortByName, ""},
    {CmdSortByExtension, ""},
    {CmdSortBySize, ""},
    {CmdSortByDate, ""},
    {CmdExtendSelectionDown, ""},
    {CmdExtendSelectionUp, ""},
    {CmdExtendSelectionPageDown, ""},
    {CmdExtendSelectionPageUp, ""},
    {CmdExtendSelectionHome, ""},
    {CmdExtendSelectionEnd, ""},
    {CmdLeftDriveList, ""},
    {CmdRightDriveList, ""},
    {CmdParentDir, ""},
    {CmdFocusPrompt, ""},
    {CmdSwallowKey, ""},
    {CmdLeftRoot, ""},
    {CmdRightRoot, ""},
    {CmdLeftParent, ""},
    {CmdRightParent, ""},
    {CmdLeftSelectAll, ""},
    {CmdLeftSelectNone, ""},
    {CmdRightSelectAll, ""},
    {CmdRightSelectNone, ""},
    {CmdRunPrompt, ""},
};

constexpr bool idsUnique()
{
    for (std::size_t i = 0; i < std::size(kCommands); ++i) {
        if (kCommands[i].menuText == nullptr)
            return false;
        for (std::size_t j = i + 1; j < std::size(kCommands); ++j) {
            if (kCommands[i].id == kCommands[j].id)
                return false;
        }
    }
    return true;
}
static_assert(idsUnique(), "each command number may be listed once, with a text");

} // namespace

const CommandInfo* FindCommand(int id)
{
    for (const CommandInfo& c : kCommands) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

std::span<const CommandInfo> AllCommands()
{
    return kCommands;
}

} // namespace km
