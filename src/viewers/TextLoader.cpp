#include "viewers/TextLoader.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace km {
namespace {

constexpr size_t kFirstPiece = 64 * 1024;
constexpr size_t kPiece = 256 * 1024;
constexpr size_t kMaxWaiting = 16;

} // namespace

TextLoader::TextLoader(QObject* parent) : QObject(parent) {}

TextLoader::~TextLoader() {
    {
        // Under the lock, so the worker cannot miss the wake-up between
        // checking the flag and going to sleep.
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    roomFree_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

int TextLoader::start(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    worker_ = std::thread([this, fd] { run(fd); });
    return 0;
}

bool TextLoader::take(DecodedText& piece, bool& last) {
    std::lock_guard lock(mutex_);
    if (queue_.empty())
        return false;
    piece = std::move(queue_.front());
    queue_.pop_front();
    last = queueEnded_ && queue_.empty();
    roomFree_.notify_all();
    return true;
}

void TextLoader::run(int fd) {
    LosslessDecoder decoder;
    std::vector<char> buffer(kPiece);
    size_t want = kFirstPiece;
    auto push = [&](DecodedText&& piece, bool final) {
        std::unique_lock lock(mutex_);
        roomFree_.wait(lock, [&] { return stop_ || queue_.size() < kMaxWaiting; });
        if (stop_)
            return false;
        const bool wasEmpty = queue_.empty();
        queue_.push_back(std::move(piece));
        queueEnded_ = final;
        lock.unlock();
        if (wasEmpty)
            emit piecesAvailable(); // delivered queued to the window's thread
        return true;
    };
    while (!stop_) {
        ssize_t n = ::read(fd, buffer.data(), want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            readError_ = errno;
        DecodedText piece;
        if (n > 0) {
            decoder.feed(std::string_view(buffer.data(), static_cast<size_t>(n)), piece);
            if (!push(std::move(piece), false))
                break;
            want = kPiece;
            continue;
        }
        decoder.finish(piece);
        push(std::move(piece), true);
        break;
    }
    ::close(fd);
}

} // namespace km
