// A program that asks on its output and reads the answers on its input, run
// with the window's pump between slices: answers, end of input, cancelling,
// the environment it inherits, and programs that go early or leave a child.
#include "fileops/open_execute/ProcessLauncher.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace km;

namespace {

using Clock = std::chrono::steady_clock;

ConversationResult sh(const std::string& script,
                      const std::function<std::optional<std::string>(std::string_view)>& onOutput,
                      const std::function<bool()>& keepGoing = {},
                      const std::vector<std::string>& env = {}) {
    return RunConversation({"sh", "-c", script}, {}, env, onOutput, keepGoing);
}

} // namespace

TEST(RunConversation, AnswersEachQuestionAndKeepsTheStreamsApart) {
    int asked = 0;
    std::string seen;
    const ConversationResult r = sh(
        "printf 'Name: '; read -r n; printf 'Age: '; read -r a; echo \"$n is $a\"; echo oops >&2",
        [&](std::string_view out) -> std::optional<std::string> {
            seen.append(out);
            if (seen.ends_with("Name: ")) {
                ++asked;
                return "Ann\n";
            }
            if (seen.ends_with("Age: ")) {
                ++asked;
                return "42\n";
            }
            return std::string();
        });
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(r.output, "Name: Age: Ann is 42\n");
    EXPECT_EQ(r.errorOutput, "oops\n");
}

TEST(RunConversation, NoAnswerClosesTheInput) {
    const ConversationResult r = sh("printf 'Q: '; if read -r x; then exit 0; else exit 7; fi",
                                    [](std::string_view) { return std::nullopt; });
    EXPECT_EQ(r.exitStatus, 7);
    // Without a handler the input is closed from the start.
    EXPECT_EQ(sh("read -r x || exit 5", {}).exitStatus, 5);
}

TEST(RunConversation, KeepGoingFalseEndsAProgramThatWaits) {
    int calls = 0;
    const auto start = Clock::now();
    const ConversationResult r = sh("trap '' TERM; exec sleep 30", {}, [&] { return ++calls < 3; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.exitStatus, -1);
    EXPECT_GE(calls, 3);
    // TERM is ignored: the kill follows within about a second.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

TEST(RunConversation, AnAnswerToAProgramThatLeftDoesNotKillUs) {
    // The program is gone before it reads: the write meets a closed pipe.
    const ConversationResult r = sh("echo ask; exec 0<&-; sleep 0.2", [](std::string_view) {
        return std::optional<std::string>(std::string(256 * 1024, 'x'));
    });
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, "ask\n");
}

TEST(RunConversation, AChildLeftHoldingTheOutputDoesNotHoldTheCaller) {
    const auto start = Clock::now();
    const ConversationResult r = sh("sleep 5 & echo done", {}, [] { return true; });
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, "done\n");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
}

TEST(RunConversation, EnvironmentChangesSetAndRemove) {
    setenv("KM_CONV_KEEP", "kept", 1);
    setenv("KM_CONV_DROP", "dropped", 1);
    const ConversationResult r =
        sh("printf '%s|%s|%s' \"$KM_CONV_KEEP\" \"${KM_CONV_DROP-gone}\" \"$KM_CONV_NEW\"", {}, {},
           {"KM_CONV_DROP", "KM_CONV_NEW=a=b"});
    unsetenv("KM_CONV_KEEP");
    unsetenv("KM_CONV_DROP");
    EXPECT_EQ(r.output, "kept|gone|a=b");
    EXPECT_EQ(RunConversation({"no-such-program-anywhere"}, {}, {}, {}, {}).error, ENOENT);
}
