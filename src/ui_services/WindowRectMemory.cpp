#include "ui_services/WindowRectMemory.h"

#include "settings/SettingsStore.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace km {
namespace {

constexpr const char* kSection = "DlgPositie";

bool onSomeScreen(const QRect& rect) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(rect))
            return true;
    }
    return false;
}

} // namespace

void RestoreWindowRect(QWidget* window, SettingsStore& store) {
    const int right = store.GetInt(kSection, "cx", 0);
    if (!window || right == 0)
        return;
    const int left = store.GetInt(kSection, "x", 0);
    const int top = store.GetInt(kSection, "y", 0);
    const int bottom = store.GetInt(kSection, "cy", 0);
    // Right and bottom are exclusive, as the stored format has them.
    const QRect rect(left, top, right - left, bottom - top);
    // An empty rectangle or one left behind on a screen that is gone would
    // make the window unreachable; keep the default placement instead.
    if (rect.width() <= 0 || rect.height() <= 0 || !onSomeScreen(rect))
        return;
    window->setGeometry(rect);
}

void SaveWindowRect(QWidget* window, SettingsStore& store) {
    if (!window)
        return;
    const bool restored = !(window->isMaximized() || window->isFullScreen());
    const QRect rect = restored ? window->geometry() : window->normalGeometry();
    if (rect.isEmpty())
        return;
    SettingsStore::Batch batch(store);
    store.PutInt(kSection, "x", rect.x());
    store.PutInt(kSection, "y", rect.y());
    store.PutInt(kSection, "cx", rect.x() + rect.width());
    store.PutInt(kSection, "cy", rect.y() + rect.height());
}

} // namespace km
