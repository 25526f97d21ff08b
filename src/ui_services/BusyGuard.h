#pragma once
// Held for the length of a long operation: sets the busy flag (so the
// directory watchers leave the panels alone), clears the cancel flag, disables
// the main window and shows the wait cursor. All is undone however the
// operation ends.
#include "ui_services/AppState.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

namespace km {

class BusyGuard {
public:
    explicit BusyGuard(QWidget* mainWindow)
        : window_(mainWindow), wasBusy_(App().busyFlag.exchange(true)) {
        App().cancelFlag = false;
        if (window_) {
            wasEnabled_ = window_->isEnabled();
            window_->setEnabled(false);
        }
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyGuard() {
        QGuiApplication::restoreOverrideCursor();
        if (window_ && wasEnabled_)
            window_->setEnabled(true);
        // A guard nested inside another leaves the flag to the outer one.
        App().busyFlag = wasBusy_;
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    QPointer<QWidget> window_;
    bool wasBusy_;
    bool wasEnabled_ = false;
};

} // namespace km
