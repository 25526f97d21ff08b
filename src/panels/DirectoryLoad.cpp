#include "panels/DirectoryLoad.h"

#include <algorithm>
#include <condition_variable>
#include <iterator>
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
// Rows shown while reading: a screenful many times over, and few enough that
// adding them never holds the window; the rest come with the whole listing.
constexpr size_t kPreviewRows = 50000;

} // namespace

DirectoryLoad::DirectoryLoad(std::string path, ListingFilter filter, std::string mask, int sortFlags,
                             std::function<void()> notify)
    : path_(std::move(path)), sortFlags_(sortFlags), state_(std::make_shared<State>()) {
    state_->notify = std::move(notify);
    std::thread([state = state_, path = path_, filter, mask = std::move(mask), sortFlags] {
        // The blocks come from several threads at once: `rows` and the
        // counts are theirs under `mutex`.
        std::mutex mutex;
        std::vector<FileEntry> rows = PanelListing::StartRows(path);
        size_t handedOver = 0;
        int enumerated = 0;
        bool dropped = false;
        auto lastBatch = std::chrono::steady_clock::now() - kBatchInterval;
        const DirReadResult status = ReadDirectoryBlocks(path, [&](std::vector<DirEntryInfo>& block) {
            std::vector<FileEntry> made = PanelListing::MakeRows(block, filter, mask);
            std::lock_guard lock(mutex);
            enumerated += static_cast<int>(block.size());
            rows.insert(rows.end(), std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
            const auto now = std::chrono::steady_clock::now();
            if (now - lastBatch < kBatchInterval || handedOver >= kPreviewRows)
                return true;
            lastBatch = now;
            std::lock_guard stateLock(state->mutex);
            if (!state->notify) {
                dropped = true; // nobody waits for these rows: stop reading
                return false;
            }
            const size_t upTo = std::min(rows.size(), kPreviewRows);
            state->fresh.insert(state->fresh.end(), rows.begin() + static_cast<std::ptrdiff_t>(handedOver),
                                rows.begin() + static_cast<std::ptrdiff_t>(upTo));
            handedOver = upTo;
            state->wake();
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

bool DirectoryLoad::WaitFinished(std::chrono::milliseconds limit, std::chrono::milliseconds withRows) const {
    std::unique_lock lock(state_->mutex);
    const auto start = std::chrono::steady_clock::now();
    state_->done.wait_for(lock, withRows, [this] { return state_->finished; });
    if (state_->finished || !state_->fresh.empty())
        return state_->finished;
    return state_->done.wait_until(lock, start + limit, [this] { return state_->finished; });
}

DirectoryLoad::Result DirectoryLoad::TakeResult() {
    std::lock_guard lock(state_->mutex);
    state_->notified = false;
    state_->fresh.clear();
    return std::move(state_->result);
}

} // namespace km
