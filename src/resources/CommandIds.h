#pragma once
// Command numbers shared by the menus, accelerators, function keys and the
// main window's small buttons. The numbers are also help contexts and are
// stored in the profile (function-key assignment), so they never change.
#include <span>

namespace km {

enum CommandId : int {
    // File menu
    CmdFileAttributes = 6000,
    CmdSearch = 6010,
    CmdAssociate = 6020,
    CmdFileCompare = 6030,
    CmdView = 6500,
    CmdEdit = 1180,
    CmdEditNew = 1185,
    CmdCopy = 1190,
    CmdRenameMove = 1370,
    CmdDeleteToBin = 1220,
    CmdDelete = 2970,
    CmdFilter = 6035,
    CmdSelectFiles = 6040,
    CmdDeselectFiles = 6050,
    CmdSelectAll = 6060,
    CmdDeselectAll = 6070,
    CmdInvertSelection = 6440,
    CmdOpenArchive = 6430,
    CmdZip = 6100,
    CmdZipSelfExtracting = 6110,
    CmdPrint = 1320,
    CmdPrinterSetup = 6090,
    CmdExit = 6150,
    CmdSwapPanels = 6520,

    // Directory menu
    CmdChangeDir = 6510,
    CmdDirAttributes = 6005,
    CmdMakeDir = 1210,
    CmdPrintDirectory = 6470,
    CmdPrintTree = 6480,
    CmdDirCompare = 6200,
    CmdCalcSpace = 6220,
    CmdRefresh = 6380,

    // Disks and network
    CmdDiskProperties = 6228,
    CmdFormatDisk = 6227,
    CmdDiskCopy = 6229,
    CmdConnectNetwork = 6223,
    CmdDisconnectNetwork = 6226,
    CmdFtpSites = 6257,

    // Settings menu
    CmdSaveCurrentPaths = 6250,
    CmdSaveSortOrder = 6460,
    CmdGeneralSettings = 6350,
    CmdFunctionKeyDefinition = 6450,
    CmdChooseFont = 6255,
    CmdChooseColors = 6410,
    CmdFileWindowSettings = 6240,
    CmdPrintSettings = 6360,
    CmdConfirmations = 6370,
    CmdFileCompareSettings = 6375,
    CmdFtpSettings = 6377,

    // Help menu
    CmdHelpIndex = 57670,
    CmdHelpSearch = 6280,
    CmdHelpScreenElements = 6290,
    CmdHelpUsingHelp = 6270,
    CmdAboutWindows = 6300,
    CmdAboutComputer = 1590,
    CmdAboutKestrum = 6320,

    // F2..F9: resolved through the function-key assignment
    CmdFunctionKey2 = 2980,
    CmdFunctionKey3 = 2981,
    CmdFunctionKey4 = 2982,
    CmdFunctionKey5 = 2983,
    CmdFunctionKey6 = 2984,
    CmdFunctionKey7 = 2985,
    CmdFunctionKey8 = 2986,
    CmdFunctionKey9 = 2987,
    CmdExitWindows = 1380, // function-key action only, no menu item

    // Keyboard-only commands
    CmdSwitchPanel = 6330,
    CmdScreenSaver = 2240,
    CmdSortByName = 2260,
    CmdSortByExtension = 2270,
    CmdSortBySize = 2280,
    CmdSortByDate = 2290,
    CmdExtendSelectionDown = 2890,
    CmdExtendSelectionUp = 2900,
    CmdExtendSelectionPageDown = 2910,
    CmdExtendSelectionPageUp = 2920,
    CmdExtendSelectionHome = 2930,
    CmdExtendSelectionEnd = 2940,
    CmdLeftDriveList = 2300,
    CmdRightDriveList = 2310,
    CmdParentDir = 2320,
    CmdFocusPrompt = 6420,
    CmdSwallowKey = 6490, // keypad +/- with Shift: eaten so nothing else sees it

    // The panels' small buttons and the command prompt
    CmdLeftRoot = 1100,
    CmdRightRoot = 1110,
    CmdLeftParent = 1230,
    CmdRightParent = 1240,
    CmdLeftSelectAll = 1450,
    CmdLeftSelectNone = 1455,
    CmdRightSelectAll = 1460,
    CmdRightSelectNone = 1465,
    CmdRunPrompt = 2680,

    // Editor window menu
    CmdEditorSave = 5900,
    CmdEditorSaveAs = 5910,
    CmdEditorExit = 5920,
    CmdEditorUndo = 5925,
    CmdEditorCut = 5930,
    CmdEditorCopy = 5940,
    CmdEditorCopyToFile = 5945,
    CmdEditorPaste = 5950,
    CmdEditorPasteFromFile = 5955,
    CmdEditorDelete = 5960,
    CmdEditorSelectAll = 5965,
    CmdEditorFind = 5970,
    CmdEditorFindNext = 5975,
    CmdEditorReplace = 5980,
    CmdEditorFont = 5990,
    CmdEditorWordWrap = 6390,

    // Desktop menu: items are numbered from First up; the placeholder is
    // removed once the items are in
    CmdDesktopItemFirst = 32772,
    CmdDesktopItemLast = 57343,
    CmdDesktopPlaceholder = 57664,
};

struct CommandInfo {
    int id;
    // Menu text with '&' mnemonic and "\t"-separated key hint; empty for
    // commands that have no menu item (keys and buttons only).
    const char* menuText;
};

// nullptr for an unknown number. Desktop item numbers are a range, not listed.
const CommandInfo* FindCommand(int id);

// Every listed command, in menu order, then the commands without a menu item.
std::span<const CommandInfo> AllCommands();

} // namespace km
