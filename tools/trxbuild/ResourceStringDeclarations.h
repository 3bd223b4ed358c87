// The resource strings a unit declares, read from its declaration file ("<Unit>.resstr" beside the
// unit's source). Platform-free; the build's tool and the tests read the files alike.
//
// A declaration file is ASCII text, one declaration a line:
//
//     # the message dialog's button captions
//     SMsgDlgYes = "&Yes"
//     SWelcome = "Gr\u00FC\u00DF Gott\r\n"
//
// Blank lines and lines starting with '#' are ignored. A name is a C++ identifier. The text is
// one double-quoted string; \\, \", \r, \n, \t and \uXXXX (one UTF-16 unit, four hex digits)
// are its escapes, so characters beyond ASCII are written as \u escapes (a surrogate pair as two).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "SysTypes.h"

// The longest text the runtime's loader reads back whole (LoadResStringWide's buffer).
inline constexpr size_t MaxResourceStringLength = 4096;

struct TResourceStringDeclaration {
    std::string Name;
    WideString Text;
    size_t Line = 0;
};

struct TUnitResourceStrings {
    std::string Unit; // the file's name without folder and extension
    std::string Path; // as given, for messages
    std::vector<TResourceStringDeclaration> Strings;
};

// A declaration file that cannot be used; the message starts with "<path>:<line>: " (line 0 for
// the file as a whole).
class EDeclarationError : public std::runtime_error {
public:
    EDeclarationError(const std::string& path, size_t line, const std::string& what);
    const std::string& Path() const noexcept { return path_; }
    size_t Line() const noexcept { return line_; }

private:
    std::string path_;
    size_t line_;
};

// The unit name a declaration file stands for: its base name without the extension.
std::string UnitNameOfDeclarationFile(std::string_view path);

// Parses the contents of one declaration file. Raises EDeclarationError for a malformed line, a
// unit or string name that is no identifier, a name declared twice (names compare without regard
// to case, as the translation table finds its rows), an unpaired surrogate, a zero character and a
// text longer than MaxResourceStringLength units.
TUnitResourceStrings ParseResourceStringDeclarations(const std::string& path, std::string_view contents);
