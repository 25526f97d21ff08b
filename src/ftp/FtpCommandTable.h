#pragma once
// The engine's commands: what is sent, and how each reply code maps to a result.
#include <string>
#include <string_view>

namespace km {

enum FtpCommand : int {
    kCmdGreeting = 0,
    kCmdUser = 1,
    kCmdPass = 2,
    kCmdAcct = 3,
    kCmdQuit = 4,
    kCmdHelp = 5,
    kCmdHelpOn = 6,
    kCmdDele = 7,
    kCmdCwd = 8,
    kCmdCdup = 9,
    kCmdMkd = 10,
    kCmdRmd = 11,
    kCmdPwd = 12,
    kCmdType = 13,
    kCmdRnfr = 14,
    kCmdRnto = 15,
    kCmdSyst = 16,
    kCmdNoop = 17,
    kCmdRest = 18,
    kCmdTransferEnd = 19,
    kCmdCount = 20,
};

// The command's format ("CWD %s"), or null for a pure reply read.
const char* FtpCommandFormat(int command);
// The format with its "%s" replaced by `argument` (the bare command when none).
std::string FtpFormatCommand(std::string_view format, std::string_view argument);
// The result for a reply code (as TnReadAnswerCode gives it); 3001 when the
// command's list does not hold it, or for an unknown command.
int FtpMapReply(int command, int replyCode);

} // namespace km
