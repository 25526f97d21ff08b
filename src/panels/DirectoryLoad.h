#pragma once
// Reads a directory into panel rows on a worker thread, so that a huge
// directory or a hung network mount never holds the window. The rows are
// handed over as they come (for showing while the read goes on) and, at the
// end, all of them sorted. A load that is dropped before it ends leaves its
// thread to finish on its own; nothing it does then reaches anyone.
#include "panels/PanelListing.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace km {

class DirectoryLoad {
public:
    // `notify` is called on the worker thread when rows or the end are ready
    // to take; it must only post a message. It is not called again until
    // TakeNewRows() or TakeResult() was called after it.
    DirectoryLoad(std::string path, ListingFilter filter, std::string mask, int sortFlags,
                  std::function<void()> notify);
    ~DirectoryLoad(); // drops the load
    DirectoryLoad(const DirectoryLoad&) = delete;
    DirectoryLoad& operator=(const DirectoryLoad&) = delete;

    const std::string& path() const { return path_; }
    int sortFlags() const { return sortFlags_; }
    // Copies of the rows read since the last call, in the order read (the
    // parent entry comes first in the first batch); of a huge directory only
    // the first many thousand.
    std::vector<FileEntry> TakeNewRows();
    bool finished() const;
    // Waits for the end: at most `limit`, or only `withRows` once there are
    // rows to show (a big directory then shows them rather than wait).
    bool WaitFinished(std::chrono::milliseconds limit, std::chrono::milliseconds withRows) const;

    struct Result {
        std::vector<FileEntry> rows; // sorted, with the parent entry
        int enumerated = 0;          // every entry read, filtered ones too
        DirReadResult status;
    };
    // Once finished(): everything read, sorted.
    Result TakeResult();

private:
    struct State;
    std::string path_;
    int sortFlags_;
    std::shared_ptr<State> state_;
};

} // namespace km
