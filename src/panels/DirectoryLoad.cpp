#include "panels/DirectoryLoad.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace km {

struct DirectoryLoad::State {
    mutable std::mutex mutex;
    mutable std::condition_variable done;
    std::function<void()> notify; // cleared when the load is dropped
    bool notified = false;        // a notification is on its way
    bool finished = false;
    std::vector<FileEntry> fresh; // copies not taken yet
    Result result;

    // Called with the mutex held.
    void wake() {
        if (notify && !notified) {
            notified = true;
            notify();
        }
    }
};

namespace {

// Rows go to the window in batches; a batch leaves once this much time passed
// since the last one, so the first rows show at once and later ones cost the
// window one append every few dozen milliseconds.
constexpr auto kBatchInterval = std::chrono::milliseconds(25);

} // namespace

DirectoryLoad::DirectoryLoad(std::string path, ListingFilter filter, std::string mask, int sortFlags,
                             std::function<void()> notify)
    : path_(std::move(path)), sortFlags_(sortFlags), state_(std::make_shared<State>()) {
    state_->notify = std::move(notify);
    std::thread([state = state_, path = path_, filter, mask = std::move(mask), sortFlags] {
        std::vector<FileEntry> rows = PanelListing::StartRows(path);
        size_t handedOver = 0;
        auto lastBatch = std::chrono::steady_clock::now() - kBatchInterval;
        const auto handOver = [&] {
            std::lock_guard lock(state->mutex);
            if (!state->notify)
                return false; // dropped: stop reading
            state->fresh.insert(state->fresh.end(), rows.begin() + static_cast<std::ptrdiff_t>(handedOver), rows.end());
            handedOver = rows.size();
            state->wake();
            return true;
        };
        int enumerated = 0;
        bool dropped = false;
        const DirReadResult status = ReadDirectoryEntries(path, [&](DirEntryInfo&& d) {
            ++enumerated;
            FileEntry e;
            if (PanelListing::MakeRow(std::move(d), filter, mask, e))
                rows.push_back(std::move(e));
            // Checking the clock costs little next to the stat each entry needed.
            if ((enumerated & 63) == 0 && std::chrono::steady_clock::now() - lastBatch >= kBatchInterval) {
                lastBatch = std::chrono::steady_clock::now();
                if (!handOver()) {
                    dropped = true;
                    return false;
                }
            }
            return true;
        });
        if (dropped)
            return;
        PanelListing::SortRows(rows, sortFlags);
        std::lock_guard lock(state->mutex);
        state->result.rows = std::move(rows);
        state->result.enumerated = enumerated;
        state->result.status = status;
        state->finished = true;
        state->done.notify_all();
        state->wake();
    }).detach();
}

DirectoryLoad::~DirectoryLoad() {
    std::lock_guard lock(state_->mutex);
    state_->notify = nullptr;
}

std::vector<FileEntry> DirectoryLoad::TakeNewRows() {
    std::lock_guard lock(state_->mutex);
    state_->notified = false;
    return std::exchange(state_->fresh, {});
}

bool DirectoryLoad::finished() const {
    std::lock_guard lock(state_->mutex);
    return state_->finished;
}

bool DirectoryLoad::WaitFinished(std::chrono::milliseconds limit) const {
    std::unique_lock lock(state_->mutex);
    return state_->done.wait_for(lock, limit, [this] { return state_->finished; });
}

DirectoryLoad::Result DirectoryLoad::TakeResult() {
    std::lock_guard lock(state_->mutex);
    state_->notified = false;
    state_->fresh.clear();
    return std::move(state_->result);
}

} // namespace km
