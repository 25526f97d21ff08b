#pragma once
// How both engines talk to their caller: the text records of the callback protocol, sent to
// a callback (plain or Ex), or as a whole line to a window, with the host's message
// processing after every record.
#include <cstdint>
#include <string>
#include <string_view>

namespace km::zip {

// (engine digit, record type, record text after the six-character prefix) -> answer.
using ZipCallback = uint16_t (*)(uint16_t engine, uint16_t type, const char* text);
// The same with the user value given at installation (pointer-sized on this platform).
using ZipCallbackEx = uint16_t (*)(uint16_t engine, uint16_t type, const char* text,
                                   uintptr_t user);

constexpr uint16_t kAnswerAbort = 255;
constexpr size_t kMaxRecordLength = 1024;
constexpr size_t kRecordPrefixLength = 6;

// Installed instead of a callback: receives every record's whole text; the answer is 0.
class ZipRecordWindow {
public:
    virtual ~ZipRecordWindow() = default;
    virtual void SetText(const char* text) = 0;
};

// The program's side of the engines: it keeps the interface alive between records and shows
// the engines' own questions when neither a callback nor a window is installed.
class ZipEngineHost {
public:
    virtual ~ZipEngineHost() = default;
    // Processes pending window messages of the calling thread.
    virtual void ProcessMessages() {}
    virtual void ShowMessage(const std::string& title, const std::string& text) {
        (void)title;
        (void)text;
    }
    // Disk-change prompt: true for OK, false for Cancel.
    virtual bool AskDisk(const std::string& title, const std::string& text) {
        (void)title;
        (void)text;
        return false;
    }
    // Yes / Yes to all / No / No to all as 0 / 1 / 2 / 3.
    virtual int AskOverwrite(const std::string& text) {
        (void)text;
        return 2;
    }
    // Label of the volume that holds `path`; false when it cannot be told.
    virtual bool VolumeLabel(const std::string& path, std::string* label) {
        (void)path;
        (void)label;
        return false;
    }
};

class ZipRecordChannel {
public:
    explicit ZipRecordChannel(int engine) : engine_(engine) {}

    void InstallCallback(ZipCallback callback);
    void InstallCallbackEx(ZipCallbackEx callback, uintptr_t user);
    void SetWindow(ZipRecordWindow* window) { window_ = window; }
    void SetHost(ZipEngineHost* host) { host_ = host; }

    // A callback or a window takes the records; otherwise the engine asks through the host.
    bool HasReceiver() const { return callback_ || callbackEx_ || window_; }
    ZipEngineHost* host() const { return host_; }

    // Sends one record built from its fields (the text after the prefix) and returns the
    // answer: the callback's, or 0 for a window or when nobody listens.
    uint16_t Send(int type, std::string_view fields);

    // Lets the host process its messages (also done after every record).
    void ProcessMessages();

private:
    int engine_;
    ZipCallback callback_ = nullptr;
    ZipCallbackEx callbackEx_ = nullptr;
    uintptr_t user_ = 0;
    ZipRecordWindow* window_ = nullptr;
    ZipEngineHost* host_ = nullptr;
    std::string line_;
};

} // namespace km::zip
