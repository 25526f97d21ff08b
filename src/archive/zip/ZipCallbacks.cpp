#include "archive/zip/ZipCallbacks.h"

#include <cstdio>

namespace km::zip {

void ZipRecordChannel::InstallCallback(ZipCallback callback) {
    callback_ = callback;
    callbackEx_ = nullptr;
    user_ = 0;
}

void ZipRecordChannel::InstallCallbackEx(ZipCallbackEx callback, uintptr_t user) {
    callbackEx_ = callback;
    callback_ = nullptr;
    user_ = user;
}

void ZipRecordChannel::ProcessMessages() {
    if (host_)
        host_->ProcessMessages();
}

uint16_t ZipRecordChannel::Send(int type, std::string_view fields) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%1u|%3u|", static_cast<unsigned>(engine_),
                  static_cast<unsigned>(type));
    line_.assign(prefix);
    line_.append(fields);
    uint16_t answer = 0;
    const char* text = line_.c_str() + kRecordPrefixLength;
    if (callbackEx_)
        answer =
            callbackEx_(static_cast<uint16_t>(engine_), static_cast<uint16_t>(type), text, user_);
    else if (callback_)
        answer = callback_(static_cast<uint16_t>(engine_), static_cast<uint16_t>(type), text);
    else if (window_)
        window_->SetText(line_.c_str());
    ProcessMessages();
    return answer;
}

} // namespace km::zip
