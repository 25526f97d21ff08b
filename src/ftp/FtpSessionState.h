#pragma once
// Internal: what one FtpSession holds between Init and Release.
#include "ftp/FtpLineEnds.h"
#include "ftp/FtpSession.h"
#include "platform/ReplacementFile.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace km {

struct FtpSession::State {
    int control = -1;
    int data = -1;
    int listen = -1; // active mode, until the server has connected
    char type = 0;   // the type last set on the server
    int log = -1;
    bool async = true;
    bool cancelled = false;
    ReplacementFile download; // target of Retrieve and List
    int upload = -1;          // source of Store
    bool ascii = false;       // the running transfer converts line ends
    FtpLineEnds lineEnds;
    uint64_t bytes = 0; // of the running transfer, as the local file counts them
    bool progressWanted = false;
    FtpProgressFunction progress;
    // The rate limit's reckoning for the running transfer.
    std::chrono::steady_clock::time_point rateStart{};
    uint64_t rateBytes = 0;
    std::string host; // the server as the user named it, for TLS
    bool serverV6 = false;
    bool tls = false;       // the control connection is encrypted
    bool protectData = false; // PROT P was accepted
    bool dataResumed = false;
    bool epsvRefused = false; // do not ask again on this connection
    FtpFeatures features;
    FtpCertificateCheck certificateCheck;
    bool resume = false;   // the next download continues a partial file
    int64_t restartAt = 0; // where the next transfer starts: REST for RETR, APPE for STOR
    char reply[2048] = {};
    // Uploads read and send several blocks at once (the per-block progress and
    // pacing stay); downloads receive one block at a time.
    static constexpr size_t kBlock = 4096;
    static constexpr size_t kBatch = 16 * kBlock;
    char block[kBatch];
    char converted[2 * kBatch + 1];
};

// Arguments become part of a command line; a line break in one would let a
// name smuggle in a second command.
bool FtpSafeArgument(std::string_view argument);

} // namespace km
