#include "viewers/EditorRecovery.h"

#include "platform/ReplacementFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

constexpr const char* kIndex = "INDEX";
constexpr const char* kShownIndex = "INDEX.shown";

// Each directory of `path` that is missing, made private.
int makePrivateDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        const std::string dir = path.substr(0, i);
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

int writeFile(const std::string& path, std::string_view bytes) {
    ReplacementFile f;
    if (int err = f.Create(path, 0600))
        return err;
    if (int err = f.Write(bytes.data(), bytes.size()))
        return err;
    return f.Commit(true);
}

std::string baseName(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    return name.empty() ? std::string("text") : name;
}

} // namespace

std::string RecoveryDirectory() {
    std::string base;
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = ::getpwuid(::getuid());
            home = pw && pw->pw_dir ? pw->pw_dir : "";
        }
        base = std::string(home) + "/.local/state";
    }
    return base + "/Orlent/KM/recovery";
}

int KeepForRecovery(const std::string& recoveryDir, const std::vector<UnsavedText>& texts,
                    std::vector<RecoveredText>& kept) {
    if (texts.empty())
        return 0;
    if (int err = makePrivateDirs(recoveryDir))
        return err;
    // One folder per session end, named by its time, so nothing is overwritten.
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &tm);
    std::string folder;
    for (int n = 0;; ++n) {
        folder = recoveryDir + "/" + stamp + (n ? "-" + std::to_string(n) : std::string());
        if (::mkdir(folder.c_str(), 0700) == 0)
            break;
        if (errno != EEXIST)
            return errno;
    }
    std::string index;
    for (size_t i = 0; i < texts.size(); ++i) {
        // A number keeps two editors on files of the same name apart.
        const std::string file =
            folder + "/" + std::to_string(i + 1) + "-" + baseName(texts[i].path);
        if (int err = writeFile(file, texts[i].bytes))
            return err;
        kept.push_back({texts[i].path, file});
        // Paths may hold anything but NUL: the index separates with NULs.
        index += texts[i].path + '\0' + file + '\0';
        if (int err = writeFile(folder + "/" + kIndex, index))
            return err;
    }
    return 0;
}

std::vector<RecoveredText> TakeUnreportedRecoveries(const std::string& recoveryDir) {
    std::vector<RecoveredText> out;
    DIR* d = ::opendir(recoveryDir.c_str());
    if (!d)
        return out;
    std::vector<std::string> folders;
    while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] != '.')
            folders.emplace_back(e->d_name);
    }
    ::closedir(d);
    std::sort(folders.begin(), folders.end());
    for (const std::string& name : folders) {
        const std::string index = recoveryDir + "/" + name + "/" + kIndex;
        std::ifstream in(index, std::ios::binary);
        if (!in)
            continue;
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        in.close();
        size_t at = 0;
        while (at < text.size()) {
            const size_t a = text.find('\0', at);
            if (a == std::string::npos)
                break;
            const size_t b = text.find('\0', a + 1);
            if (b == std::string::npos)
                break;
            out.push_back({text.substr(at, a - at), text.substr(a + 1, b - a - 1)});
            at = b + 1;
        }
        ::rename(index.c_str(), (recoveryDir + "/" + name + "/" + kShownIndex).c_str());
    }
    return out;
}

} // namespace km
