#include "fileops/compare/ui/FileCompareCommand.h"

#include "fileops/compare/ui/FileCompareWindow.h"
#include "panels/PanelListing.h"
#include "ui_services/MessageBoxes.h"

namespace km {
namespace {

constexpr int kNoFileSelected = 4173;
constexpr int kNotOnFtp = 4510;

} // namespace

void FileCompareCommand(const PanelListing& left, const PanelListing& right, QWidget* owner) {
    if (left.isFtp() || right.isFtp()) {
        ShowWarning(kNotOnFtp);
        return;
    }
    const std::string leftPath = left.SelectedFilePath();
    const std::string rightPath = right.SelectedFilePath();
    if (leftPath.empty() || rightPath.empty()) {
        // Say which side still needs one: with one file chosen, the other panel is easy to miss.
        ShowWarning(kNoFileSelected, leftPath.empty() && rightPath.empty() ? std::string_view()
                                     : leftPath.empty()                    ? "Select a file in the left panel too."
                                                                           : "Select a file in the right panel too.");
        return;
    }
    CompareFiles(leftPath, rightPath, owner);
}

} // namespace km
