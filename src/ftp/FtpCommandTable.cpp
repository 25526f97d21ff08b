#include "ftp/FtpCommandTable.h"

#include "ftp/FtpResult.h"

namespace km {

namespace {

const char* const kFormats[kCmdCount] = {
    nullptr,   "USER %s", "PASS %s", "ACCT %s", "QUIT",    "HELP",  "HELP %s",
    "DELE %s", "CWD %s",  "CDUP",    "MKD %s",  "RMD %s",  "PWD",   "TYPE %s",
    "RNFR %s", "RNTO %s", "SYST",    "NOOP",    "REST %s", nullptr,
};

struct Row {
    int command;
    int reply;
    int result;
};

// Every command also maps -1 (no reply) to 2002 and 0 (closed, or no digits)
// to 3001. CWD and CDUP share the rows of DELE, "HELP %s" those of HELP.
constexpr Row kRows[] = {
    {kCmdGreeting, 110, kFtpOk},
    {kCmdGreeting, 120, kFtpOk},
    {kCmdGreeting, 220, kFtpOk},
    {kCmdGreeting, 421, kFtpActionNotTaken},
    {kCmdUser, 220, kFtpOk},
    {kCmdUser, 230, kFtpOk},
    {kCmdUser, 331, kFtpNeedPassword},
    {kCmdUser, 421, kFtpActionNotTaken},
    {kCmdPass, 220, kFtpOk},
    {kCmdPass, 230, kFtpOk},
    {kCmdPass, 332, kFtpNeedAccount},
    {kCmdPass, 501, kFtpNotImplemented},
    {kCmdPass, 503, kFtpNotImplemented},
    {kCmdPass, 504, kFtpNotImplemented},
    {kCmdPass, 530, kFtpLoginRejected},
    {kCmdAcct, 200, kFtpOk},
    {kCmdAcct, 202, kFtpOk},
    {kCmdAcct, 220, kFtpOk},
    {kCmdAcct, 230, kFtpOk},
    {kCmdAcct, 500, kFtpNotImplemented},
    {kCmdAcct, 503, kFtpNotImplemented},
    {kCmdAcct, 530, kFtpLoginRejected},
    {kCmdQuit, 200, kFtpOk},
    {kCmdQuit, 220, kFtpOk},
    {kCmdQuit, 221, kFtpOk},
    {kCmdHelp, 211, kFtpOk},
    {kCmdHelp, 214, kFtpOk},
    {kCmdHelp, 220, kFtpOk},
    {kCmdHelp, 504, kFtpNotImplemented},
    {kCmdDele, 200, kFtpOk},
    {kCmdDele, 250, kFtpOk},
    {kCmdDele, 450, kFtpDeleteFailed},
    {kCmdDele, 502, kFtpNotImplemented},
    {kCmdDele, 504, kFtpNotImplemented},
    {kCmdDele, 550, kFtpActionNotTaken},
    {kCmdMkd, 200, kFtpOk},
    {kCmdMkd, 227, kFtpOk},
    {kCmdMkd, 257, kFtpOk},
    {kCmdMkd, 502, kFtpNotImplemented},
    {kCmdMkd, 504, kFtpNotImplemented},
    {kCmdMkd, 521, kFtpActionNotTaken},
    {kCmdMkd, 550, kFtpActionNotTaken},
    {kCmdRmd, 200, kFtpOk},
    {kCmdRmd, 250, kFtpOk},
    {kCmdRmd, 257, kFtpOk},
    {kCmdRmd, 450, kFtpDeleteFailed},
    {kCmdRmd, 502, kFtpNotImplemented},
    {kCmdRmd, 504, kFtpNotImplemented},
    {kCmdRmd, 550, kFtpActionNotTaken},
    {kCmdPwd, 200, kFtpOk},
    {kCmdPwd, 257, kFtpOk},
    {kCmdPwd, 502, kFtpNotImplemented},
    {kCmdPwd, 504, kFtpNotImplemented},
    {kCmdPwd, 550, kFtpActionNotTaken},
    {kCmdType, 200, kFtpOk},
    {kCmdType, 502, kFtpNotImplemented},
    {kCmdType, 504, kFtpNotImplemented},
    {kCmdType, 530, kFtpTypeRejected},
    {kCmdType, 550, kFtpTypeRejected},
    {kCmdRnfr, 350, kFtpOk},
    {kCmdRnfr, 450, kFtpDeleteFailed},
    {kCmdRnfr, 502, kFtpNotImplemented},
    {kCmdRnfr, 504, kFtpNotImplemented},
    {kCmdRnfr, 550, kFtpServerCannotOpen},
    {kCmdRnto, 250, kFtpOk},
    {kCmdRnto, 502, kFtpNotImplemented},
    {kCmdRnto, 504, kFtpNotImplemented},
    {kCmdRnto, 550, kFtpActionNotTaken},
    {kCmdRnto, 553, kFtpActionNotTaken},
    {kCmdSyst, 200, kFtpOk},
    {kCmdSyst, 215, kFtpOk},
    {kCmdSyst, 220, kFtpOk},
    {kCmdSyst, 502, kFtpNotImplemented},
    {kCmdSyst, 504, kFtpNotImplemented},
    {kCmdNoop, 200, kFtpOk},
    {kCmdNoop, 500, kFtpNotImplemented},
    {kCmdRest, 350, kFtpRestartOk},
    {kCmdRest, 500, kFtpNotImplemented},
    {kCmdRest, 502, kFtpNotImplemented},
    {kCmdRest, 504, kFtpNotImplemented},
    {kCmdTransferEnd, 226, kFtpOk},
    {kCmdTransferEnd, 250, kFtpOk},
    {kCmdTransferEnd, 421, kFtpActionNotTaken},
    {kCmdTransferEnd, 552, kFtpCannotWrite},
};

int RowsOf(int command) {
    switch (command) {
    case kCmdCwd:
    case kCmdCdup:
        return kCmdDele;
    case kCmdHelpOn:
        return kCmdHelp;
    default:
        return command;
    }
}

} // namespace

const char* FtpCommandFormat(int command) {
    return command >= 0 && command < kCmdCount ? kFormats[command] : nullptr;
}

std::string FtpFormatCommand(std::string_view format, std::string_view argument) {
    const size_t at = format.find("%s");
    if (at == std::string_view::npos)
        return std::string(format);
    std::string line(format.substr(0, at));
    line += argument;
    line += format.substr(at + 2);
    return line;
}

int FtpMapReply(int command, int replyCode) {
    if (command < 0 || command >= kCmdCount)
        return kFtpUnexpectedAnswer;
    if (replyCode == -1)
        return kFtpNoAnswer;
    const int rows = RowsOf(command);
    for (const Row& row : kRows) {
        if (row.command == rows && row.reply == replyCode)
            return row.result;
    }
    return kFtpUnexpectedAnswer;
}

} // namespace km
