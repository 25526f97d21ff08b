#pragma once
// The private messages between the main window and its panels: a posted (or
// sent) event carrying (message, first parameter, second parameter), handled
// through a table in the receiving window.
#include <QCoreApplication>
#include <QEvent>
#include <QVariant>

#include <unordered_map>

namespace km {

enum PanelMsg : int {
    PmRefreshBoth = 0x400,
    PmDirectoryChanged = 0x401,
    PmDriveChanged = 0x402,
    PmRefreshOne = 0x403,
    PmPanelFocused = 0x404,
    PmActiveSelectedFile = 0x405,
    PmOtherSelectedFile = 0x406,
    PmLeftChangedOnDisk = 0x407,
    PmRightChangedOnDisk = 0x408,
    PmDrop = 0x409,
    PmCopy = 0x40a,
    PmRenameMove = 0x40b,
    PmDelete = 0x40d,
    PmStartDrag = 0x40e,
    PmMakeDirectory = 0x40f,
    PmDiskSpace = 0x410,
    PmEditFile = 0x411,
    PmZip = 0x413,
    PmFileSearch = 0x414,
    PmPrintFiles = 0x415,
    PmStopIcon = 0x416,
    PmDesktopMenuIcon = 0x417,
    PmFileAttributes = 0x418,
    PmFileAttributesMany = 0x419,
    PmActivePath = 0x41a,
    PmOtherPath = 0x41b,
    PmSortName = 0x41c,
    PmSortExtension = 0x41d,
    PmSortSize = 0x41e,
    PmSortDate = 0x41f,
    PmAssociate = 0x420,
    PmSortColumn = 0x422,
    PmEnterFocused = 0x426,
    PmDeleteToBin = 0x427,
    PmOpenArchive = 0x429,
    PmEditNewFile = 0x42a,
    PmExtendDown = 0x42c,
    PmExtendUp = 0x42d,
    PmExtendPageDown = 0x42e,
    PmExtendPageUp = 0x42f,
    PmExtendHome = 0x430,
    PmExtendEnd = 0x431,
    PmInvertSelection = 0x432,
    PmDirAttributes = 0x433,
    PmDirAttributesMany = 0x434,
    PmPrintListing = 0x435,
    PmPrintTree = 0x436,
    PmControlPanelIcon = 0x437,
    PmViewFile = 0x438,
    PmChangeDirectory = 0x439,
};

class PanelMessageEvent : public QEvent {
public:
    static QEvent::Type eventType() {
        static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
        return t;
    }
    PanelMessageEvent(int msg, qintptr first, qintptr second, QVariant payload = {})
        : QEvent(eventType()), message(msg), first(first), second(second),
          payload(std::move(payload)) {}
    int message;
    qintptr first;
    qintptr second;
    QVariant payload; // e.g. the DropList of 0x409
};

inline void PostPanelMessage(QObject* target, int msg, qintptr first = 0, qintptr second = 0,
                             QVariant payload = {}) {
    QCoreApplication::postEvent(target, new PanelMessageEvent(msg, first, second, std::move(payload)));
}

// Synchronous form, for messages that answer through a buffer (0x405, 0x41a …).
inline void SendPanelMessage(QObject* target, int msg, qintptr first = 0, qintptr second = 0,
                             QVariant payload = {}) {
    PanelMessageEvent ev(msg, first, second, std::move(payload));
    QCoreApplication::sendEvent(target, &ev);
}

// Message number -> member handler of the receiving window.
template <class Owner> class PanelMessageTable {
public:
    using Handler = void (Owner::*)(const PanelMessageEvent&);
    PanelMessageTable(std::initializer_list<std::pair<const int, Handler>> init) : map_(init) {}
    // True when the event was a panel message (handled or not).
    bool dispatch(Owner* owner, QEvent* e) const {
        if (e->type() != PanelMessageEvent::eventType())
            return false;
        const auto* pm = static_cast<PanelMessageEvent*>(e);
        const auto it = map_.find(pm->message);
        if (it != map_.end())
            (owner->*(it->second))(*pm);
        return true;
    }
    bool handles(int msg) const { return map_.count(msg) != 0; }

private:
    std::unordered_map<int, Handler> map_;
};

} // namespace km
