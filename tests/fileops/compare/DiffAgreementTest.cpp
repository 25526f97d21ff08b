// On files of distinct lines changed without moving anything, the lines each
// side shows as not equal must be exactly the lines GNU diff deletes and adds.
#include "CompareHelpers.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace km::test {
namespace {

// Runs `diff left right` (normal output) without a shell; empty on failure.
std::string RunDiff(const std::string& left, const std::string& right, const std::string& out) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0)
            ::_exit(127);
        ::dup2(fd, 1);
        ::execlp("diff", "diff", left.c_str(), right.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) > 1)
        return {};
    return ReadAll(out);
}

void AddRange(const std::string& range, std::vector<size_t>& out) {
    const size_t comma = range.find(',');
    const size_t from = std::stoul(range.substr(0, comma));
    const size_t to = comma == std::string::npos ? from : std::stoul(range.substr(comma + 1));
    for (size_t i = from; i <= to; ++i)
        out.push_back(i);
}

// The left lines diff deletes or changes and the right lines it adds or changes.
void ParseDiff(const std::string& text, std::vector<size_t>& left, std::vector<size_t>& right) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '<' || line[0] == '>' || line[0] == '-')
            continue;
        const size_t op = line.find_first_of("acd");
        ASSERT_NE(op, std::string::npos) << line;
        if (line[op] != 'a')
            AddRange(line.substr(0, op), left);
        if (line[op] != 'd')
            AddRange(line.substr(op + 1), right);
    }
}

TEST(DiffAgreement, ChangedLinesAgreeWithGnuDiff) {
    if (::access("/usr/bin/diff", X_OK) != 0)
        GTEST_SKIP() << "diff is not installed";
    std::mt19937 rng(2024);
    int fresh = 0;
    for (int round = 0; round < 40; ++round) {
        const int count = 5 + static_cast<int>(rng() % 200);
        std::string left, right;
        for (int i = 0; i < count; ++i) {
            const std::string line = "line " + std::to_string(i) + "\n";
            switch (rng() % 10) {
            case 0:
                left += line;
                break; // deleted
            case 1:
                right += line;
                break; // added
            case 2:    // changed
                left += line;
                right += "changed " + std::to_string(fresh++) + "\n";
                break;
            case 3: // inserted before
                right += "new " + std::to_string(fresh++) + "\n" + line;
                left += line;
                break;
            default:
                left += line;
                right += line;
                break;
            }
        }
        TempDir dir;
        WriteAll(dir.file("l"), left);
        WriteAll(dir.file("r"), right);
        const std::string diff = RunDiff(dir.file("l"), dir.file("r"), dir.file("out"));
        std::vector<size_t> diffLeft, diffRight;
        ParseDiff(diff, diffLeft, diffRight);

        Compared c;
        CompareTexts(c, left, right);
        std::vector<size_t> ours[2] = {c.unequalLines(0), c.unequalLines(1)};
        std::sort(ours[0].begin(), ours[0].end());
        std::sort(ours[1].begin(), ours[1].end());
        EXPECT_EQ(ours[0], diffLeft) << "round " << round;
        EXPECT_EQ(ours[1], diffRight) << "round " << round;
        for (const int state : c.states())
            EXPECT_TRUE(state == StateSame || state == StateLeftOnly || state == StateRightOnly)
                << "round " << round << ": nothing moved, yet state " << state;
    }
}

} // namespace
} // namespace km::test
