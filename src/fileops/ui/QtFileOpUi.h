#pragma once
// The file engines' questions and progress, answered by the real dialogs and
// a progress window.
#include "fileops/FileOpUi.h"
#include "ui_services/ProgressWindow.h"

#include <QPointer>

#include <chrono>
#include <string>

namespace km {

class QtFileOpUi : public FileOpUi {
public:
    // Opens a progress window of `kind` (none for a null title) owned by `owner`.
    QtFileOpUi(QWidget* owner, ProgressKind kind, const char* title);
    ~QtFileOpUi() override;

    int AskOverwrite(const OverwriteQuestion& q) override;
    bool AskYesNo(std::string_view text) override;
    using FileOpUi::Warning;
    void Warning(int stringId, std::string_view detail) override;
    void Message(std::string_view text, bool stopIcon) override;
    void ShowPaths(std::string_view from, std::string_view to) override;
    bool Pump() override;

private:
    void flushPaths();

    QWidget* owner_;
    QPointer<ProgressWindow> window_;
    std::string from_, to_;
    bool pathsPending_ = false;
    std::chrono::steady_clock::time_point lastShown_{};
};

} // namespace km
