// Portable-object (.po) files, the translators' exchange format, read and written. Platform-free.
//
// A file is a sequence of entries separated by blank lines:
//
//     # translator comment                (one line each)
//     #. extracted comment
//     #: reference
//     #, fuzzy, vyn-empty                 (flags)
//     msgctxt "context"
//     msgid "source text"
//     msgstr ""
//     "translated text, continued on "
//     "further lines"
//
// Strings are double-quoted UTF-8 with the C escapes \" \\ \n \r \t \a \b \f \v \? \', octal
// \ooo and hexadecimal \xhh (bytes of the UTF-8 text); adjacent strings are joined. The entry
// without a context whose msgid is empty is the header: "Name: value" lines in its msgstr.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Exceptions.h"
#include "SysTypes.h"

struct TPoEntry {
    std::vector<WideString> TranslatorComments; // "#" lines, one leading blank dropped
    std::vector<WideString> ExtractedComments;  // "#." lines, likewise
    std::vector<WideString> References;         // "#:" lines, likewise
    std::vector<std::string> Flags;             // the words of "#," lines, in order
    bool HasContext = false;
    WideString Context;
    WideString MsgId;
    WideString MsgStr;
    // Where the entry starts (its first comment or keyword) and where its msgstr stands; 1-based,
    // 0 for an entry that was not read from a file.
    size_t Line = 0;
    size_t MsgStrLine = 0;

    bool HasFlag(std::string_view flag) const;
    bool IsHeader() const { return !HasContext && MsgId.empty(); }
};

// A file that cannot be read; the message is "<path>:<line>: <what>" (line 0: the file as a whole).
class EPoFileError : public EReadError {
public:
    EPoFileError(const std::string& path, size_t line, const std::string& what);
    const std::string& Path() const noexcept { return path_; }
    size_t Line() const noexcept { return line_; }
    const std::string& What() const noexcept { return what_; }

private:
    std::string path_;
    size_t line_;
    std::string what_;
};

// The entries of a file, in file order, header included. A UTF-8 byte-order mark is skipped and
// lines may end in LF or CR LF. Obsolete entries ("#~") and previous-text comments ("#|") are
// left out. Raises EPoFileError for anything else it cannot read exactly: text that is no keyword,
// string or comment, a string without its closing quote or with an unknown escape, a raw control
// character other than tab (DEL included) in a string or a comment, a zero character, text that is no well-formed UTF-8, a
// keyword out of order (msgstr before msgid, a second msgid, ...), an entry without msgstr, plural
// forms (msgid_plural, msgstr[n]), a second entry with the same context and msgid, and a header
// whose Content-Type names a charset other than UTF-8.
std::vector<TPoEntry> ReadPoFile(const std::string& path, std::string_view contents);

// The entries as UTF-8 text with LF line ends, one blank line between entries, in the order given;
// the same entries always give the same bytes. A string that fits goes on its keyword's line;
// otherwise the keyword takes "" and the text follows in lines of at most 79 columns, broken after
// each "\n" and, where a line is too long, after a blank. Comments with line breaks become one
// line each. Raises EConvertError naming the entry for a text holding an unpaired surrogate (UTF-8
// cannot carry it) and for a flag that is empty or holds a comma or white space.
std::string WritePoFile(const std::vector<TPoEntry>& entries);

// The header among the entries, or nullptr.
const TPoEntry* FindPoHeader(const std::vector<TPoEntry>& entries);
// The value of the header line "<name>: <value>" (name without regard to ASCII case), trimmed;
// empty when there is no such line.
WideString PoHeaderField(const WideString& header, std::u16string_view name);
