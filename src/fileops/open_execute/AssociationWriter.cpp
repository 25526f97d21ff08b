#include "fileops/open_execute/AssociationWriter.h"

#include "fileops/open_execute/DesktopEntry.h"
#include "fileops/open_execute/KeyFile.h"
#include "fileops/open_execute/MimeApps.h"
#include "fileops/open_execute/MimeLookup.h"
#include "fileops/open_execute/ProcessLauncher.h"
#include "platform/DirectoryReader.h"
#include "platform/PathUtil.h"
#include "settings/AtomicWrite.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

std::string xmlEscape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            // XML 1.0 allows no other control characters.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n')
                out += c;
        }
    }
    return out;
}

// A glob that matches the extension literally.
std::string globFor(std::string_view extension) {
    std::string out = "*";
    for (char c : extension) {
        if (c == '*' || c == '?' || c == '[') {
            out += '[';
            out += c;
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Reads a file we are about to rewrite; a file that is there but cannot be
// read must not be replaced by one that lost its contents.
bool readForUpdate(const std::string& path, std::string& text, std::string& error) {
    text = ReadSmallFile(path);
    if (!text.empty() || !exists(path))
        return true;
    if (access(path.c_str(), R_OK) == 0)
        return true; // empty
    error = ErrorText(errno) + ": " + path;
    return false;
}

bool writeFile(const std::string& path, std::string_view data, std::string& error) {
    std::string why;
    if (AtomicWrite(path, data, why))
        return true;
    error = why.empty() ? "Cannot write " + path : why;
    return false;
}

bool runTool(const std::vector<std::string>& argv, std::string& error) {
    const RunResult r = RunAndWait(argv, {});
    if (r.error != 0) {
        error = ErrorText(r.error) + ": " + argv[0];
        return false;
    }
    if (r.exitStatus != 0) {
        error = argv[0] + ": " + (r.output.empty() ? "failed" : r.output);
        while (!error.empty() && error.back() == '\n')
            error.pop_back();
        return false;
    }
    return true;
}

bool writeMimePackage(const std::string& type, std::string_view extension,
                      std::string_view description, const XdgDirs& dirs, std::string& error) {
    const std::string mimeDir = dirs.dataHome + "/mime";
    std::string name = type;
    for (char& c : name)
        c = c == '/' ? '-' : c;
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
        xmlEscape(type) +
        "\">\n"
        "    <comment>" +
        xmlEscape(description) +
        "</comment>\n"
        "    <glob pattern=\"" +
        xmlEscape(globFor(extension)) +
        "\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n";
    if (!writeFile(mimeDir + "/packages/kestrum-" + name + ".xml", xml, error))
        return false;
    return runTool({"update-mime-database", mimeDir}, error);
}

std::string withIdFirst(const std::string* list, const std::string& id) {
    std::string out = id + ";";
    if (list) {
        for (const std::string& other : SplitList(*list)) {
            if (other != id)
                out += other + ";";
        }
    }
    return out;
}

bool makeDefault(const std::string& type, const std::string& id, const XdgDirs& dirs,
                 std::string& error) {
    const std::string path = dirs.configHome + "/mimeapps.list";
    std::string text;
    if (!readForUpdate(path, text, error))
        return false;
    KeyFile f(text);
    f.Set("Default Applications", type, id);
    f.Set("Added Associations", type, withIdFirst(f.Get("Added Associations", type), id));
    if (const std::string* removed = f.Get("Removed Associations", type)) {
        std::string rest;
        for (const std::string& other : SplitList(*removed)) {
            if (other != id)
                rest += other + ";";
        }
        if (rest.empty())
            f.Remove("Removed Associations", type);
        else
            f.Set("Removed Associations", type, rest);
    }
    if (!writeFile(path, f.ToText(), error))
        return false;
    // A desktop's own list is read first; where it names a default for this
    // type, ours must replace it there too or it would never be used.
    for (const std::string& desktop : dirs.desktops) {
        const std::string own = dirs.configHome + "/" + desktop + "-mimeapps.list";
        std::string ownText;
        if (!exists(own) || !readForUpdate(own, ownText, error))
            continue;
        KeyFile g(ownText);
        if (!g.Get("Default Applications", type))
            continue;
        g.Set("Default Applications", type, id);
        if (!writeFile(own, g.ToText(), error))
            return false;
    }
    return true;
}

} // namespace

std::string ExtensionOf(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == fileName.size())
        return {};
    return std::string(fileName.substr(dot));
}

std::string NewTypeName(std::string_view extension) {
    std::string out = "application/x-extension-";
    for (char c : extension.substr(extension.empty() || extension[0] != '.' ? 0 : 1)) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '+' ||
                        c == '_' || c == '-';
        out += ok ? c : '-';
    }
    return out;
}

std::string DesktopIdFor(std::string_view mimeType) {
    std::string id = "kestrum-";
    for (char c : mimeType)
        id += c == '/' ? '-' : c;
    return id + ".desktop";
}

std::vector<std::string> SplitCommandText(std::string_view command) {
    std::vector<std::string> words;
    std::string text(command);
    // Users leave a quote open; take the rest as quoted rather than failing.
    if (!SplitExec(text, words) && !SplitExec(text + "\"", words) && !SplitExec(text + "'", words))
        words.clear();
    return words;
}

std::string QuoteCommandWord(std::string_view word) {
    if (!word.empty() && word.find_first_of(" \t\n\"'\\") == std::string_view::npos)
        return std::string(word);
    std::string out = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\' || c == '$' || c == '`')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string CommandToExec(std::string_view command) {
    const std::vector<std::string> words = SplitCommandText(command);
    std::string exec;
    bool fileCode = false;
    for (size_t w = 0; w < words.size(); ++w) {
        const std::string& word = words[w];
        std::string arg;
        bool hadCode = false;
        for (size_t i = 0; i < word.size(); ++i) {
            if (word[i] == '%' && i + 1 < word.size() &&
                (word[i + 1] == '1' || word[i + 1] == '2')) {
                // The file itself as the program has no desktop-entry form.
                if (w == 0)
                    return {};
                if (word[i + 1] == '1' && !fileCode) {
                    arg += "%f";
                    fileCode = true;
                }
                hadCode = true;
                ++i;
                continue;
            }
            arg += word[i];
            if (word[i] == '%')
                arg += '%';
        }
        if (arg.empty() && hadCode)
            continue; // a word that held only %2 (or a repeated %1)
        if (w == 0 && arg.empty())
            return {};
        if (!exec.empty())
            exec += ' ';
        exec += QuoteExecArgument(arg);
    }
    if (exec.empty())
        return {};
    if (!fileCode)
        exec += " %f";
    return exec;
}

std::string ExecToCommand(std::string_view exec) {
    std::vector<std::string> args;
    if (!SplitExec(exec, args))
        return std::string(exec);
    std::string out;
    for (const std::string& a : args) {
        std::string word;
        bool onlyCodes = true;
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i] != '%' || i + 1 == a.size()) {
                word += a[i];
                onlyCodes = false;
                continue;
            }
            const char code = a[++i];
            if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                word += "%1";
                onlyCodes = false;
            } else if (code == '%') {
                word += '%';
                onlyCodes = false;
            }
        }
        if (word.empty() && onlyCodes)
            continue;
        if (!out.empty())
            out += ' ';
        out += QuoteCommandWord(word);
    }
    return out;
}

int ReadAssociation(std::string_view fileName, const XdgDirs& dirs, Association& out) {
    out = {};
    out.extension = ExtensionOf(fileName);
    if (out.extension.empty())
        return 4188;
    const MimeDatabase db(dirs);
    out.mimeType = db.TypeForName("x" + out.extension);
    if (out.mimeType.empty())
        return 0;
    out.description = db.Comment(out.mimeType);
    const MimeApps apps(dirs);
    for (const std::string& t : db.BroaderTypes(out.mimeType)) {
        if (auto e = apps.DefaultFor(t)) {
            out.command = ExecToCommand(e->exec);
            break;
        }
    }
    return 0;
}

int WriteAssociation(const Association& current, std::string_view description,
                     std::string_view command, const XdgDirs& dirs, std::string& error) {
    error.clear();
    const std::string exec = CommandToExec(command);
    std::vector<std::string> argv;
    if (exec.empty() || !SplitExec(exec, argv) || argv.empty()) {
        error = "No program given";
        return AssociateFailed;
    }
    std::string type = current.mimeType;
    if (type.empty()) {
        type = NewTypeName(current.extension);
        if (MimeDatabase(dirs).IsKnownType(type))
            return 4189;
        if (!writeMimePackage(type, current.extension, description, dirs, error))
            return AssociateFailed;
    }
    const std::string id = DesktopIdFor(type);
    const std::string appDir = dirs.dataHome + "/applications";
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=" +
                              EscapeValue(BaseName(argv[0])) +
                              "\n"
                              "Exec=" +
                              EscapeValue(exec) +
                              "\n"
                              "MimeType=" +
                              type +
                              ";\n"
                              "NoDisplay=true\n";
    if (!writeFile(appDir + "/" + id, entry, error))
        return AssociateFailed;
    // A stale cache would not list the new entry among the type's applications.
    if (exists(appDir + "/mimeinfo.cache") && !FindProgram("update-desktop-database").empty())
        runTool({"update-desktop-database", appDir}, error);
    error.clear();
    return makeDefault(type, id, dirs, error) ? AssociateDone : AssociateFailed;
}

} // namespace km
