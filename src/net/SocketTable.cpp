#include "net/SocketTable.h"

namespace km {

namespace {

struct Entry {
    int fd = -1; // -1 = free
    TcpSocketKind kind = kSocketUntracked;
    std::thread::id owner;
};

// Used from one thread, as the sockets themselves are.
Entry g_entries[SocketTable::kCapacity];

Entry* Find(int fd) {
    if (fd < 0)
        return nullptr;
    for (Entry& e : g_entries) {
        if (e.fd == fd)
            return &e;
    }
    return nullptr;
}

} // namespace

bool SocketTable::Add(int fd, TcpSocketKind kind) {
    for (Entry& e : g_entries) {
        if (e.fd == -1) {
            e = Entry{fd, kind, std::this_thread::get_id()};
            return true;
        }
    }
    return false;
}

void SocketTable::Remove(int fd) {
    if (Entry* e = Find(fd))
        *e = Entry{};
}

TcpSocketKind SocketTable::KindOf(int fd) {
    const Entry* e = Find(fd);
    return e ? e->kind : kSocketUntracked;
}

std::vector<int> SocketTable::OwnedBy(std::thread::id owner) {
    std::vector<int> fds;
    for (const Entry& e : g_entries) {
        if (e.fd != -1 && e.owner == owner)
            fds.push_back(e.fd);
    }
    return fds;
}

size_t SocketTable::Count() {
    size_t n = 0;
    for (const Entry& e : g_entries)
        n += e.fd != -1;
    return n;
}

} // namespace km
