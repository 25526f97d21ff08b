#include "resources/StringTable.h"

#include <algorithm>
#include <iterator>

namespace km {
namespace {

struct StringEntry {
    int id;
    const char* text;
};

// Kept in ascending id order: lookups are a binary search.
constexpr StringEntry kStrings[] = {
    // Tooltips of the main window's buttons
    {4010, "Application button: right click to define"},
    {4015, "Function key button: right click to define"},
    {4020, "Select all"},
    {4025, "Select none"},
    {4030, "To root directory"},
    {4040, "Up one directory level"},

    // Start-up refusals
    {4150, "This program requires Windows 95 or Windows NT"},
    {4160, "This program requires at least version 4.0 of Windows NT"},

    // File commands: starting programs, selection and file errors
    {4170, "Network error "},
    {4171, "Cannot execute program"},
    {4172, "Cannot modify date/time.\nFile write protected?"},
    {4173, "No file selected"},
    {4174, "No directory specified"},
    {4175, "Directory '"},
    {4176, "' does not exist. Create it?"},
    {4177, "Not enough memory"},
    {4178, "Cannot execute program for this extension"},
    {4179, "Cannot start editor"},
    {4180, "No files found"},
    {4181, " on "},
    {4183, "KM - Choose program file"},
    {4184, "Diskstation not ready"},
    {4185, "Click on a file"},
    {4186, "No access to this file"},
    {4187, "No file or directory selected"},
    {4188, "Filename has no extension"},
    {4189, "Extension already in use"},
    {4197, "Cannot open input file"},
    {4198, "Cannot open output file"},
    {4199, "Error reading input file"},
    {4200, "Error writing output file"},
    {4201, "Error creating directory "},
    {4204, "No directory selected"},
    {4205, "Contents of "},

    // Printing
    {4206, " of "},
    {4207, "Page "},

    // Drive information line and panel columns
    {4213, " total, "},
    {4214, " available"},
    {4215, "Filename"},
    {4216, "Size"},
    {4217, "Date/time"},

    // Progress captions, labels and name pieces
    {4220, "KM - Search files"},
    {4221, " colors"},
    {4222, " Network"},
    {4223, "File:     "},
    {4224, "KM - Move"},
    {4225, " file"},
    {4235, "Directory: "},
    {4240, "All"},
    {4245, "None"},

    // Overwrite question
    {4250, "Target directory "},
    {4260, " already contains a "},

    // Function-key action names
    {4270, "Copy"},
    {4290, "RenMove"},
    {4300, "Delete"},
    {4310, "Exit"},

    // Zip progress caption
    {4350, "KM - Zip"},

    // File compare
    {4370, "Memory allocation failed"},
    {4380, "Out Of Memory"},

    // Editor
    {4400, "Text not found"},
    {4410, "Do you want to save the changes?"},

    // FTP sites and FTP panels
    {4430, "Site already exists"},
    {4440, "FTP connection is in use!"},
    {4460, "FTP connection established"},
    {4470, "FTP connection closed"},
    {4480, "Can't do that on an FTP site"},
    {4490, "Can't do that on an FTP site. Copy to local disk first?"},
    {4500, "Can't copy directories to or from FTP site. Copy files."},
    {4510, "Can't do that on an FTP site. Copy to local disk first."},
    {4540, "KM - FTP   ***** Connection active! *****"},
    {4550, "KM - FTP (not connected)"},

    // Command prompt
    {4560, "Run"},

    // File compare navigation
    {4570, "Top of file"},
    {4580, "End of file"},

    // Zip spanning: floppy requests
    {4640, "Floppy "},
    {4650, " full. Remove this floppy, insert a new one and click OK"},
    {4660, "Insert floppy number "},
    {4670, " of multi-volume set"},
    {4680, "Insert last floppy of multi-volume set"},

    // Extraction
    {4790, "This archive contains files stored with path. Do you want to unzip to this path?"},

    // More function-key action names
    {4830, "Zip"},
    {4850, "Search"},
    {4860, "Attributes"},
    {4870, "Associate"},
    {4880, "FileComp"},
    {4890, "DirComp"},
    {4900, "CalcSpace"},
    {4910, "Refresh"},
    {4920, "Invert"},

    // Copy
    {4940, "Attempt to copy more than one file to filename. Copy to a path."},

    // Archive browser: viewing, CAB sets, RAR passwords
    {4970, "Can't show this type of file"},
    {4980, "Unable to locate next CAB file "},
    {4990, " or this CAB file is invalid. Extraction aborted."},
    {4991, "Password for file "},
    {4992, "Use current password for file "},

    // Zip errors: heading, then heading + error code
    {15000, "Zip error"},
    {15001, "can't create archive"},
    {15002, "Invalid archive"},
    {15004, "out of memory"},
    {15005, "internal error"},
    {15012, "nothing to do, no files to zip"},
    {15013, "can't find archive"},
    {15014, "disk is full"},
    {15015, "archive write protected"},
    {15016, "invalid combination of function calls"},
    {15017, "too many files"},
    {15018, "file is in use"},
    {15027, "can't use non-removable disk for spanning"},
    {15050, "archive not modified"},

    // Zip warnings
    {15256, "Zip problem"},
    {15258, "can't open file"},
    {15259, "can't delete file"},
    {15306, "archive not modified"},

    // Unzip errors
    {15512, "Unzip error"},
    {15513, "invalid archive"},
    {15514, "invalid archive"},
    {15515, "invalid archive"},
    {15516, "out of memory"},
    {15521, "can't find archive"},
    {15522, "can't open archive"},
    {15523, "no files to unzip"},
    {15562, "disk is full"},
    {15563, "unexpected end of file"},
    {15613, "multi-volume archive"},

    // Unzip warnings (code 2 deliberately has no text)
    {15768, "Unzip problem"},
    {15769, "can't unzip file"},
    {15771, "can't unzip file"},
    {15772, "damaged archive, use PKZIPFIX"},
    {15773, "out of memory"},
    {15776, "can't open archive"},
    {15777, "can't open output file"},
    {15778, "invalid filename"},
    {15779, "unknown compression method"},
    {15780, "file is encrypted"},
    {15781, "file has inconsistent local header"},
    {15782, "file is encrypted"},
    {15783, "invalid CRC value"},
    {15787, "file is invalid, can't be unzipped"},
    {15789, "can't unzip file"},
    {15791, "can't unzip file"},
    {15792, "need more recent software version"},
    {15793, "file comment too long"},
    {15794, "at least one error in archive"},
};

constexpr bool strictlyAscending()
{
    for (std::size_t i = 1; i < std::size(kStrings); ++i) {
        if (kStrings[i - 1].id >= kStrings[i].id)
            return false;
    }
    return true;
}
static_assert(strictlyAscending(), "string ids must be ascending and unique");

constexpr bool allTextsSet()
{
    for (const StringEntry& e : kStrings) {
        if (e.text == nullptr || e.text[0] == '\0')
            return false;
    }
    return true;
}
// An empty text would be indistinguishable from a missing id.
static_assert(allTextsSet(), "every string entry needs a text");

const StringEntry* find(int id)
{
    const auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                     [](const StringEntry& e, int key) { return e.id < key; });
    if (it == std::end(kStrings) || it->id != id)
        return nullptr;
    return it;
}

} // namespace

std::string_view LoadString(int id)
{
    const StringEntry* e = find(id);
    return e ? std::string_view(e->text) : std::string_view();
}

bool HasString(int id)
{
    return find(id) != nullptr;
}

} // namespace km
