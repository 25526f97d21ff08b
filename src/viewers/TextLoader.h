#pragma once
#include "ui_services/LosslessText.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace km {

// Reads and decodes a file on a worker thread, so a file of hundreds of MiB
// does not hold up the window: the first piece is small so the first page
// shows at once, later ones larger. At most a few decoded pieces wait at a
// time, so memory stays bounded when the window inserts them more slowly
// than they are read.
class TextLoader : public QObject {
    Q_OBJECT
public:
    explicit TextLoader(QObject* parent = nullptr);
    ~TextLoader() override; // stops the worker and waits for it

    // Opens `path` for reading; 0, or the errno of the failed open. On success
    // the worker reads from then on; an error while reading ends the stream
    // with that errno in finishedError().
    int start(const std::string& path);

    // Takes the next piece; false when none is waiting. `last` is set with the
    // final piece (which may be empty).
    bool take(DecodedText& piece, bool& last);
    int finishedError() const { return readError_.load(); }

signals:
    // A piece became available after the queue had been empty.
    void piecesAvailable();

private:
    void run(int fd);

    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable roomFree_;
    std::deque<DecodedText> queue_;
    bool queueEnded_ = false; // the worker has queued its final piece
    std::atomic<bool> stop_{false};
    std::atomic<int> readError_{0};
};

} // namespace km
