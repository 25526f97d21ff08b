#include "fileops/ui/QtFileOpUi.h"

#include "fileops/ui/OverwriteDialog.h"
#include "ui_services/AppState.h"
#include "ui_services/EventPump.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/ProgressGauge.h"

namespace km {

QtFileOpUi::QtFileOpUi(QWidget* owner, ProgressKind kind, const char* title) : owner_(owner) {
    window_ = ProgressWindow::Create(kind, owner);
    if (title)
        window_->setTitle(title);
    if (window_->gauge())
        window_->gauge()->hide(); // local copies show no percentage
    window_->show();
    EventPump::force();
}

QtFileOpUi::~QtFileOpUi() {
    if (window_)
        window_->finish();
}

// Before each box the progress window catches up with the throttled paths,
// so it shows the file the box is about, not one from before.
int QtFileOpUi::AskOverwrite(const OverwriteQuestion& q) {
    flushPaths();
    return OverwriteDialog::Ask(q, window_ ? window_.data() : owner_);
}

bool QtFileOpUi::AskYesNo(std::string_view text) {
    flushPaths();
    return ShowMessage(text, MbYesNo | MbIconExclamation) == IdYes;
}

void QtFileOpUi::Warning(int stringId, std::string_view detail) {
    flushPaths();
    ShowWarning(stringId, detail);
}

void QtFileOpUi::Message(std::string_view text, bool stopIcon) {
    flushPaths();
    ShowMessage(text, MbOk | (stopIcon ? MbIconStop : MbIconExclamation));
}

void QtFileOpUi::ShowPaths(std::string_view from, std::string_view to) {
    from_.assign(from);
    to_.assign(to);
    pathsPending_ = true;
    // Thousands of small files would otherwise spend their time repainting.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastShown_ >= std::chrono::milliseconds(15))
        flushPaths();
}

void QtFileOpUi::flushPaths() {
    if (!pathsPending_ || !window_)
        return;
    window_->setFieldText(ProgressWindow::kFieldFrom, from_);
    window_->setFieldText(ProgressWindow::kFieldTo, to_);
    pathsPending_ = false;
    lastShown_ = std::chrono::steady_clock::now();
}

bool QtFileOpUi::Pump() {
    const bool cancelled = EventPump::pump();
    if (std::chrono::steady_clock::now() - lastShown_ >= std::chrono::milliseconds(15))
        flushPaths();
    return cancelled || App().cancelFlag;
}

} // namespace km
