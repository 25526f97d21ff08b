#include "fileops/open_execute/DesktopEntry.h"

#include "fileops/open_execute/KeyFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <strings.h>

namespace km {
namespace {

constexpr const char* kGroup = "Desktop Entry";
constexpr size_t kMaxEntrySize = 1 << 20; // desktop entries are small; refuse anything else

bool isTrue(const std::string* v) {
    return v && (*v == "true" || *v == "1");
}

std::string value(const KeyFile& f, const char* key) {
    const std::string* v = f.Get(kGroup, key);
    return v ? UnescapeValue(*v) : std::string();
}

} // namespace

std::string UnescapeValue(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            out += raw[i];
            continue;
        }
        switch (raw[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default: // not an escape of this level (e.g. "\;" in lists): keep it
            out += '\\';
            out += raw[i];
        }
    }
    return out;
}

std::string EscapeValue(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case ' ':
            out += i == 0 ? "\\s" : " "; // a leading blank would be trimmed on reading
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool ParseDesktopEntry(std::string_view text, DesktopEntry& out) {
    const KeyFile f(text);
    if (!f.HasGroup(kGroup))
        return false;
    out.type = value(f, "Type");
    out.name = value(f, "Name");
    out.exec = value(f, "Exec");
    out.tryExec = value(f, "TryExec");
    out.path = value(f, "Path");
    out.icon = value(f, "Icon");
    out.url = value(f, "URL");
    out.hidden = isTrue(f.Get(kGroup, "Hidden"));
    out.noDisplay = isTrue(f.Get(kGroup, "NoDisplay"));
    out.terminal = isTrue(f.Get(kGroup, "Terminal"));
    const auto list = [&](const char* key) {
        const std::string* v = f.Get(kGroup, key);
        return v ? SplitList(*v) : std::vector<std::string>();
    };
    out.categories = list("Categories");
    out.mimeTypes = list("MimeType");
    out.onlyShowIn = list("OnlyShowIn");
    out.notShowIn = list("NotShowIn");
    return true;
}

bool LoadDesktopEntry(const std::string& file, DesktopEntry& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::string text;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxEntrySize)
            return false;
    }
    out.file = file;
    return ParseDesktopEntry(text, out);
}

bool SplitExec(std::string_view exec, std::vector<std::string>& args) {
    args.clear();
    std::string cur;
    bool inArg = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArg)
                args.push_back(std::move(cur));
            cur.clear();
            inArg = false;
            continue;
        }
        inArg = true;
        if (c == '"') {
            for (++i;; ++i) {
                if (i >= exec.size())
                    return false;
                if (exec[i] == '"')
                    break;
                if (exec[i] == '\\' && i + 1 < exec.size() &&
                    (exec[i + 1] == '"' || exec[i + 1] == '`' || exec[i + 1] == '$' ||
                     exec[i + 1] == '\\'))
                    ++i;
                cur += exec[i];
            }
        } else if (c == '\'') {
            const size_t end = exec.find('\'', i + 1);
            if (end == std::string_view::npos)
                return false;
            cur.append(exec.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '\\' && i + 1 < exec.size()) {
            cur += exec[++i];
        } else {
            cur += c;
        }
    }
    if (inArg)
        args.push_back(std::move(cur));
    return true;
}

std::string QuoteExecArgument(std::string_view arg) {
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    if (!arg.empty() && arg.find_first_of(kReserved) == std::string_view::npos)
        return std::string(arg);
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

bool ExpandExec(const DesktopEntry& entry, const std::string& file,
                std::vector<std::string>& argv) {
    std::vector<std::string> args;
    argv.clear();
    if (!SplitExec(entry.exec, args))
        return false;
    bool fileUsed = false;
    for (const std::string& a : args) {
        // A lone code that stands for nothing leaves no empty argument behind.
        if (a == "%i") {
            if (!entry.icon.empty()) {
                argv.emplace_back("--icon");
                argv.push_back(entry.icon);
            }
            continue;
        }
        if (a.size() == 2 && a[0] == '%') {
            const char code = a[1];
            const bool nothing =
                std::string_view("dDnNvm").find(code) != std::string_view::npos ||
                (code == 'c' && entry.name.empty()) || (code == 'k' && entry.file.empty()) ||
                (std::string_view("fFuU").find(code) != std::string_view::npos && fileUsed);
            if (nothing)
                continue;
        }
        std::string out;
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i] != '%' || i + 1 == a.size()) {
                out += a[i];
                continue;
            }
            const char code = a[++i];
            switch (code) {
            case '%':
                out += '%';
                break;
            case 'f':
            case 'F':
            case 'u':
            case 'U':
                // One file at most: a second code would pass it twice.
                if (!fileUsed)
                    out += file;
                fileUsed = true;
                break;
            case 'c':
                out += entry.name;
                break;
            case 'k':
                out += entry.file;
                break;
            default:
                break; // deprecated and unknown codes are dropped
            }
        }
        argv.push_back(std::move(out));
    }
    if (!fileUsed)
        argv.push_back(file);
    return !argv.empty() && !argv[0].empty() && argv.size() > 1;
}

bool ShownOnDesktops(const DesktopEntry& entry, const std::vector<std::string>& desktops) {
    const auto names = [&](const std::vector<std::string>& list) {
        return std::any_of(list.begin(), list.end(), [&](const std::string& d) {
            return std::any_of(desktops.begin(), desktops.end(),
                               [&](const std::string& current) { return strcasecmp(d.c_str(), current.c_str()) == 0; });
        });
    };
    if (!entry.onlyShowIn.empty() && !names(entry.onlyShowIn))
        return false;
    return !names(entry.notShowIn);
}

} // namespace km
