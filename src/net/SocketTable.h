#pragma once
// Process-wide record of the sockets the library opened, so that closing can
// treat each kind right and cleanup can close what a thread left open.
#include <cstddef>
#include <thread>
#include <vector>

namespace km {

enum TcpSocketKind : int {
    kSocketUntracked = 0,
    kSocketListening = 12,
    kSocketConnected = 13,
    kSocketAccepted = 14,
};

class SocketTable {
public:
    static constexpr size_t kCapacity = 512;

    // False when every entry is in use: the socket then works but is not tracked.
    static bool Add(int fd, TcpSocketKind kind);
    static void Remove(int fd);
    // The kind of a tracked socket, kSocketUntracked otherwise.
    static TcpSocketKind KindOf(int fd);
    static std::vector<int> OwnedBy(std::thread::id owner);
    static size_t Count();
};

} // namespace km
