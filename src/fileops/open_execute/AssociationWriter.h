#pragma once
// "Associate": an extension's MIME type, its description and the command of
// its default application, read from and written to the user's own XDG
// files, so that the desktop, xdg-mime and xdg-open use the association too.
//
// Writing puts a desktop entry "kestrum-<type>.desktop" into
// $XDG_DATA_HOME/applications and makes it the type's default in
// $XDG_CONFIG_HOME/mimeapps.list. An extension without a type first gets one,
// "application/x-extension-<ext>", as a package in $XDG_DATA_HOME/mime/packages
// followed by update-mime-database.
#include "fileops/open_execute/XdgDirs.h"

#include <string>
#include <string_view>
#include <vector>

namespace km {

struct Association {
    std::string extension;   // from the last '.' on, dot included
    std::string mimeType;    // empty: the extension has no type yet
    std::string description; // the type's comment
    std::string command;     // the default application's command, %1 for the file
};

enum AssociateResult : int { AssociateDone = 0, AssociateFailed = -1 };

// The text from the last '.' on; empty when there is none or nothing follows it.
std::string ExtensionOf(std::string_view fileName);

// What "ASSOCIATE" shows for a file name; 0, or 4188 when it has no extension.
int ReadAssociation(std::string_view fileName, const XdgDirs& dirs, Association& out);

// Writes `command` (and, for an extension without a type, `description`) for
// `current`. Returns AssociateDone, 4189 when the new type name is already
// taken, or AssociateFailed with `error` saying why.
int WriteAssociation(const Association& current, std::string_view description,
                     std::string_view command, const XdgDirs& dirs, std::string& error);

// The type made for an extension without one, e.g. "application/x-extension-xyz".
std::string NewTypeName(std::string_view extension);
// The ID of our desktop entry for a type.
std::string DesktopIdFor(std::string_view mimeType);

// Command text, as the dialog shows it: words separated by blanks, grouped by
// double or single quotes, %1 for the file and %2 for the printer.
// The Exec value for it: %1 becomes %f (appended when missing), %2 has no
// counterpart in desktop entries and is dropped, a literal % is doubled.
// Empty when the command names no program.
std::string CommandToExec(std::string_view command);
// The command text for an Exec value (%f %F %u %U become %1).
std::string ExecToCommand(std::string_view exec);
// A command word, quoted when it would not stay one word.
std::string QuoteCommandWord(std::string_view word);
// Splits command text into words (an unterminated quote ends at the end).
std::vector<std::string> SplitCommandText(std::string_view command);

} // namespace km
