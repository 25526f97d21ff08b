#include "platform/NetworkMount.h"

#include "fileops/open_execute/ProcessLauncher.h"
#include "platform/GioPromptReader.h"
#include "platform/NetworkLocation.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sys/stat.h>

namespace km {
namespace {

std::string readMountInfo() {
    std::ifstream in("/proc/self/mountinfo");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// gio's questions are recognised by their English words, so its messages
// are read untranslated; the character set stays the user's.
std::vector<std::string> gioEnvironment() {
    std::vector<std::string> env = {"LANGUAGE", "LC_MESSAGES=C"};
    if (const char* all = std::getenv("LC_ALL"); all && *all) {
        env.emplace_back("LC_ALL");
        env.push_back(std::string("LC_CTYPE=") + all);
    }
    return env;
}

// An answer is one line of gio's input: a line break in it would answer the
// next question too.
std::string oneLine(std::string s) {
    std::erase_if(s, [](char c) { return c == '\n' || c == '\r'; });
    return s + "\n";
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Puts gio's questions to the user and keeps the answers given together
// (user, domain and password in one dialog) for the questions that follow.
class Questions {
public:
    Questions(NetworkMountUi& ui, bool smb, std::string user)
        : ui_(ui), smb_(smb), typedUser_(std::move(user)) {}

    bool cancelled() const { return cancelled_; }

    std::optional<std::string> onOutput(std::string_view output) {
        std::optional<GioPrompt> p = reader_.Feed(output);
        if (!p)
            return std::string();
        std::optional<std::string> answer = answerFor(*p);
        if (!answer)
            cancelled_ = true;
        return answer;
    }

private:
    std::optional<std::string> answerFor(const GioPrompt& p) {
        using Kind = GioPrompt::Kind;
        if (p.kind == Kind::Choice) {
            const int c = ui_.AskChoice(p.message, p.choices);
            if (c < 0 || static_cast<size_t>(c) >= p.choices.size())
                return std::nullopt;
            return std::to_string(c + 1) + "\n";
        }
        if (p.kind == Kind::Other) {
            NetworkLogin login;
            login.message = p.message;
            login.otherLabel = p.label;
            login.other = p.defaultValue;
            if (!ui_.AskLogin(login))
                return std::nullopt;
            return oneLine(login.other);
        }
        std::optional<std::string>& stored = p.kind == Kind::User     ? user_
                                             : p.kind == Kind::Domain ? domain_
                                                                      : password_;
        if (!stored) {
            // gio asks user, domain and password in that order: one dialog for
            // this question and the ones that follow it.
            NetworkLogin login;
            login.message = p.message;
            login.askUser = p.kind == Kind::User;
            login.askDomain = p.kind == Kind::Domain || (p.kind == Kind::User && smb_);
            login.askPassword = true;
            login.user =
                p.kind == Kind::User && !p.defaultValue.empty() ? p.defaultValue : typedUser_;
            login.domain = p.kind == Kind::Domain ? p.defaultValue : std::string();
            if (!ui_.AskLogin(login))
                return std::nullopt;
            if (login.askUser)
                user_ = login.user;
            if (login.askDomain)
                domain_ = login.domain;
            password_ = login.password;
        }
        std::string answer = oneLine(*stored);
        stored.reset();
        if (p.kind == Kind::Password) {
            // The password ends a login; a wrong one is asked for afresh.
            user_.reset();
            domain_.reset();
        }
        return answer;
    }

    NetworkMountUi& ui_;
    const bool smb_;
    const std::string typedUser_;
    GioPromptReader reader_;
    std::optional<std::string> user_, domain_, password_;
    bool cancelled_ = false;
};

struct GioRun {
    ConversationResult result;
    bool cancelled = false;
};

GioRun runGio(const std::vector<std::string>& argv, NetworkMountUi& ui, Questions& questions) {
    GioRun run;
    run.result = RunConversation(
        argv, {}, gioEnvironment(),
        [&](std::string_view output) { return questions.onOutput(output); },
        [&] { return !ui.Cancelled(); });
    run.cancelled = run.result.cancelled || questions.cancelled();
    return run;
}

std::string cannotRun(int error) {
    if (error == ENOENT)
        return "gio is not installed (package libglib2.0-bin)";
    return std::string("gio could not be started: ") + std::strerror(error);
}

std::string failureText(const ConversationResult& r, std::string_view subject) {
    std::string text = GioErrorText(r.errorOutput, subject);
    if (text.empty())
        text = "gio mount ended with status " + std::to_string(r.exitStatus);
    return text;
}

// False, with `out` saying so, when gio could not start or the user cancelled it.
bool ranToItsEnd(const GioRun& run, NetworkMountResult& out) {
    if (run.result.error != 0) {
        out.message = cannotRun(run.result.error);
        return false;
    }
    if (run.cancelled) {
        out.status = NetworkMountStatus::Cancelled;
        return false;
    }
    return true;
}

} // namespace

std::vector<std::string> SessionGvfsDirectories() {
    // Where GLib puts the user's runtime directory, and so gvfsd-fuse its mount.
    std::string own;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        own = runtime;
    else if (const char* home = std::getenv("HOME"); home && *home)
        own = std::string(home) + "/.cache";
    else
        return {};
    while (own.size() > 1 && own.ends_with('/'))
        own.pop_back();
    own += "/gvfs";
    char real[PATH_MAX];
    const std::string resolved = ::realpath(own.c_str(), real) ? std::string(real) : own;
    for (const std::string& dir : GvfsMountPoints(readMountInfo())) {
        if (dir == own || dir == resolved)
            return {dir};
    }
    return {};
}

std::vector<Volume> ListNetworkMounts() {
    std::vector<Volume> mounts;
    for (const std::string& dir : SessionGvfsDirectories()) {
        std::vector<Volume> found = ListGvfsVolumes(dir);
        std::move(found.begin(), found.end(), std::back_inserter(mounts));
    }
    return mounts;
}

NetworkMountResult MountNetworkLocation(const std::string& location, bool anonymous,
                                        NetworkMountUi& ui) {
    NetworkMountResult out;
    NetworkLocation where;
    if (!ParseNetworkLocation(location, where)) {
        out.message = "“" + location + "” is not a network location";
        return out;
    }
    const std::vector<Volume> before = ListNetworkMounts();
    std::vector<std::string> argv = {"gio", "mount"};
    if (anonymous)
        argv.emplace_back("--anonymous");
    argv.push_back(location);
    Questions questions(ui, where.scheme == "smb", where.user);
    const GioRun run = runGio(argv, ui, questions);
    if (!ranToItsEnd(run, out))
        return out;
    const std::vector<Volume> after = ListNetworkMounts();
    const auto matches = [&](const Volume& v) { return GvfsEntryMatches(v.source, where); };
    std::vector<const Volume*> added;
    for (const Volume& v : after) {
        if (std::none_of(before.begin(), before.end(),
                         [&](const Volume& b) { return b.mountPoint == v.mountPoint; }))
            added.push_back(&v);
    }
    const Volume* mount = nullptr;
    for (const Volume* v : added) {
        if (matches(*v))
            mount = v;
    }
    if (!mount && added.size() == 1)
        mount = added.front();
    if (!mount) {
        const auto it = std::find_if(after.begin(), after.end(), matches);
        mount = it != after.end() ? &*it : nullptr;
    }
    if (run.result.exitStatus != 0 && !mount) {
        out.message = failureText(run.result, location);
        return out;
    }
    // Failed but mounted: it was mounted before ("Location is already mounted").
    out.status = NetworkMountStatus::Done;
    if (mount) {
        out.directory = mount->mountPoint;
        const std::string within = PathWithinMount(where);
        if (!within.empty() && isDirectory(out.directory + "/" + within))
            out.directory += "/" + within;
    }
    return out;
}

NetworkMountResult UnmountNetworkLocation(const std::string& directory, NetworkMountUi& ui) {
    NetworkMountResult out;
    const auto connected = [&] {
        const std::vector<Volume> mounts = ListNetworkMounts();
        return std::any_of(mounts.begin(), mounts.end(),
                           [&](const Volume& v) { return v.mountPoint == directory; });
    };
    // gio says nothing and succeeds for a directory of the gvfs mount whose
    // share has gone already.
    if (!connected()) {
        out.message = directory + " is not connected";
        return out;
    }
    Questions questions(ui, false, std::string());
    const GioRun run = runGio({"gio", "mount", "--unmount", directory}, ui, questions);
    if (!ranToItsEnd(run, out))
        return out;
    if (run.result.exitStatus != 0) {
        out.message = failureText(run.result, directory);
        return out;
    }
    if (connected()) {
        out.message = directory + " is still connected";
        return out;
    }
    out.status = NetworkMountStatus::Done;
    return out;
}

} // namespace km
