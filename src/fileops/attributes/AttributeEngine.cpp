#include "fileops/attributes/AttributeEngine.h"

#include "platform/DirectoryReader.h"
#include "platform/FileAttributes.h"

namespace km {
namespace {

constexpr int kCannotModify = 4172;

void ReportChangeFailure(int err, const AttributeRequest& request, AttributeUi& ui) {
    if (request.multi)
        ui.Warning(kCannotModify);
    else
        ui.SystemError(ErrorText(err));
}

} // namespace

bool ApplyToFile(const std::string& path, const AttributeRequest& request, AttributeUi& ui) {
    uint32_t current = 0;
    int err = ReadPathAttributes(path, current);
    if (err == 0) {
        const uint32_t wanted = NewAttributes(current, request.changes, request.multi);
        if (current & AttrReadOnly) {
            err = WriteAttributes(path, wanted);
            if (err == 0 && request.newTime)
                err = SetModificationTime(path, *request.newTime);
        } else {
            if (request.newTime)
                err = SetModificationTime(path, *request.newTime);
            if (err == 0)
                err = WriteAttributes(path, wanted);
        }
    }
    if (err != 0) {
        ReportChangeFailure(err, request, ui);
        return false;
    }
    return true;
}

bool ApplyToDirectory(const std::string& path, const AttributeRequest& request, AttributeUi& ui) {
    uint32_t current = 0;
    int err = ReadPathAttributes(path, current);
    if (err == 0)
        err = WriteAttributes(path, NewAttributes(current, request.changes, request.multi));
    if (err != 0) {
        ReportChangeFailure(err, request, ui);
        return false;
    }
    if (request.newTime) {
        err = SetModificationTime(path, *request.newTime);
        if (err != 0) {
            ui.SystemError(ErrorText(err));
            return false;
        }
    }
    return true;
}

int ApplyToEntries(const std::vector<std::string>& paths, bool directories,
                   const AttributeRequest& request, AttributeUi& ui) {
    int failed = 0;
    for (const std::string& path : paths) {
        const bool ok =
            directories ? ApplyToDirectory(path, request, ui) : ApplyToFile(path, request, ui);
        if (!ok)
            ++failed;
    }
    return failed;
}

} // namespace km
