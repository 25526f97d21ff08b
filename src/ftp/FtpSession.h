#pragma once
// The FTP client engine (RFC 959): one control connection, one data connection
// per transfer, every reply code turned into a result of ftp/FtpResult.h by a
// fixed table per command. Synchronous: each call returns when its work is done;
// while it waits, the TCP library pumps the user interface (net/TcpHooks.h).
// One session exists per process, between Init and Release.
#include "ftp/FtpConfig.h"
#include "ftp/FtpReplyText.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace km {

// Called as progress(0, bytes of the current file so far) after every block.
using FtpProgressFunction = std::function<void(int, uint64_t)>;

// A server certificate that did not verify against the system's store.
struct FtpCertificate {
    std::string host;        // as the user gave it
    std::string fingerprint; // SHA-256, "AB:CD:..."
    std::string problem;     // why it did not verify
};
// True to go on with this certificate.
using FtpCertificateCheck = std::function<bool(const FtpCertificate&)>;

class FtpSession {
public:
    explicit FtpSession(FtpConfig config = {});
    ~FtpSession(); // releases a session this object still holds
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    int Init();
    int Release();
    // Takes effect at once, also for a running session.
    void SetConfig(const FtpConfig& config);

    // `host` may name a port: "name:2121", "[::1]:2121"; a bare IPv6
    // address is taken whole. After the login the session learns the
    // server's features and, with TLS, protects the data connections.
    int Login(std::string_view host, std::string_view user, std::string_view password);
    // Modes 1 "SITE site", 2 "OPEN site", 3 "USER with logon", 4 "USER user@site".
    int FirewallLogin(std::string_view firewallHost, std::string_view firewallUser,
                      std::string_view firewallPassword, std::string_view site,
                      std::string_view user, std::string_view password, int mode);
    int Quit();
    int CloseConnections();
    int FlushReplies();

    int DeleteFile(std::string_view name);
    int ChangeDir(std::string_view path);
    int ParentDir();
    // `created` receives the name quoted in the reply, or is emptied.
    int MakeDir(std::string_view path, std::string& created);
    int RemoveDir(std::string_view path);
    // 0 with the quoted directory; 3004 with the text after the code otherwise.
    int CurrentDir(std::string& dir);
    // 'A', 'I' or 'L' (sent as "L 8"); nothing is sent for the current type.
    int SetType(char type);
    int Rename(std::string_view from, std::string_view to);
    // The index of the first name found in the "SYST" reply; 5006 when none is.
    int SystemType(std::span<const std::string_view> names);
    // The rest of the protocol the table carries; the reply is in LastReply.
    int Account(std::string_view account);
    int Help(std::string_view topic); // "HELP" alone when empty
    int Noop();
    // 3 when the server will resume at `offset`; an offset of 0 or less sends
    // nothing and counts as accepted.
    int Restart(int64_t offset);

    // Types 'A', 'I', 'L'; any other value sends no TYPE command. A download
    // replaces `localPath` only when it is complete; one that fails after
    // data arrived keeps it in a partial file beside the target
    // (PartialDownloadSize), from which `resume` continues with REST.
    int Retrieve(std::string_view remoteName, const std::string& localPath, char type,
                 bool progressWanted, bool resume = false);
    // With `resume`, a binary upload continues behind what the server has
    // of the file (SIZE, then APPE) when it supports REST STREAM.
    int Store(const std::string& localPath, std::string_view remoteName, char type,
              bool progressWanted, bool resume = false);
    // "LIST" (with the path when not empty) into `localPath`, always in type
    // A; `machine` asks for MLSD instead (RFC 3659 facts, one entry a line).
    int List(std::string_view remotePath, const std::string& localPath, bool machine = false);
    // SIZE and MDTM (RFC 3659): 0 with the value; the table's errors else.
    int Size(std::string_view name, uint64_t& size);
    int ModificationTime(std::string_view name, int64_t& unixUtc);
    // The bytes a failed download left for `localPath`, or -1 when none.
    static int64_t PartialDownloadSize(const std::string& localPath);
    // From the progress function (or a pump): ends the running transfer.
    int Cancel();

    int SetProgressFunction(FtpProgressFunction progress);
    int SetSynchronous();
    int SetLogFile(int handle);
    // Asked when a server's certificate does not verify; without it such a
    // server is refused.
    void SetCertificateCheck(FtpCertificateCheck check);
    const FtpFeatures& Features() const;
    // The control connection is encrypted; its data connections as well
    // when `DataProtected`.
    bool Encrypted() const;
    bool DataProtected() const;
    // The last data connection took up the control connection's TLS session.
    bool LastDataResumedTls() const;
    // The last reply, all its lines with codes; empty after FlushReplies.
    std::string_view LastReply() const;
    static const char* ErrorText(int result);

private:
    struct State;
    enum class Direction { Download, Upload, Listing, MachineListing };

    int Check(bool needControl) const;
    int Exchange(int command, std::string_view argument = {});
    int ReadReply();
    int SendLine(std::string_view line);
    int Connect(std::string_view host);
    int StartTls();
    int AfterLogin(int result);
    int VerifyPeer(int sock);
    int PassiveConnect();
    int ActiveListen();
    int FileQuery(const char* verb, std::string_view name);
    int Transfer(Direction direction, std::string_view remote, const std::string& local, char type,
                 bool progressWanted);
    int OpenDataConnection(Direction direction, std::string_view remote);
    int AcceptData();
    int ReceiveData();
    int SendData();
    int Abort(bool drain);
    int CloseData(bool drain);
    void WaitForPeerClose();
    void Pace(uint64_t bytes, bool& interrupted);

    FtpConfig config_;
    std::unique_ptr<State> s_;
};

} // namespace km
