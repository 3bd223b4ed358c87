#include "PoFile.h"

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

#include "AsciiText.h"
#include "Utf8Text.h"

namespace {

// The customary line width of .po files; a quoted line holds at most this minus the two quotes.
constexpr size_t MaxColumns = 79;

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

bool IsAsciiSpace(char16_t ch) {
    return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n';
}

std::u16string_view TrimAscii(std::u16string_view text) {
    while (!text.empty() && IsAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<uint32_t> HexDigitValue(char ch) {
    if (ch >= '0' && ch <= '9')
        return static_cast<uint32_t>(ch - '0');
    if (ch >= 'a' && ch <= 'f')
        return static_cast<uint32_t>(ch - 'a' + 10);
    if (ch >= 'A' && ch <= 'F')
        return static_cast<uint32_t>(ch - 'A' + 10);
    return std::nullopt;
}

// Text for a message: ASCII as it is, anything else as '?'.
std::string PrintableAscii(std::u16string_view text) {
    std::string out;
    for (char16_t ch : text)
        out.push_back(ch >= 0x20 && ch < 0x7F ? static_cast<char>(ch) : '?');
    return out;
}

// --- Reading ----------------------------------------------------------------------------------

enum class Keyword { None, Context, Id, Str };

struct PendingEntry {
    TPoEntry Entry;
    bool Started = false;
    Keyword Last = Keyword::None;
    bool HasId = false;
    bool HasStr = false;
    size_t ContextLine = 0;
    size_t IdLine = 0;
    std::string ContextBytes;
    std::string IdBytes;
    std::string StrBytes;
};

class PoReader {
public:
    PoReader(const std::string& path, std::string_view contents) : path_(path), contents_(contents) {}

    std::vector<TPoEntry> Read() {
        static constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
        std::string_view rest = contents_;
        if (rest.substr(0, ByteOrderMark.size()) == ByteOrderMark)
            rest.remove_prefix(ByteOrderMark.size());
        while (!rest.empty()) {
            ++lineNumber_;
            const size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            ReadLine(line);
        }
        FinishEntry();
        // Comments after the last entry belong to none and are dropped.
        if (pending_.HasId || pending_.Entry.HasContext)
            Fail(pending_.Entry.Line, "the file ends inside an entry without msgstr");
        return std::move(entries_);
    }

private:
    [[noreturn]] void Fail(size_t line, const std::string& what) const {
        throw EPoFileError(path_, line, what);
    }

    void ReadLine(std::string_view line) {
        size_t pos = 0;
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos == line.size()) {
            if (pending_.HasStr)
                FinishEntry();
            return;
        }
        if (line[pos] == '#') {
            ReadComment(line.substr(pos));
            return;
        }
        if (line[pos] == '"') {
            std::string* target = LastString();
            if (target == nullptr)
                Fail(lineNumber_, "a string without a keyword before it");
            ReadQuoted(line, pos, *target);
            return;
        }
        size_t wordEnd = pos;
        while (wordEnd < line.size() && !IsBlank(line[wordEnd]) && line[wordEnd] != '"')
            ++wordEnd;
        const std::string_view word = line.substr(pos, wordEnd - pos);
        if (word == "msgctxt")
            StartContext();
        else if (word == "msgid")
            StartId();
        else if (word == "msgstr")
            StartStr();
        else if (word == "msgid_plural" || word.substr(0, 7) == "msgstr[")
            Fail(lineNumber_, "plural forms are not supported");
        else
            Fail(lineNumber_, "a keyword (msgctxt, msgid, msgstr), a string or a comment expected");
        size_t quote = wordEnd;
        while (quote < line.size() && IsBlank(line[quote]))
            ++quote;
        if (quote == line.size() || line[quote] != '"')
            Fail(lineNumber_, std::string(word) + " takes a double-quoted string");
        ReadQuoted(line, quote, *LastString());
    }

    void ReadComment(std::string_view line) {
        if (pending_.HasStr)
            FinishEntry();
        const char kind = line.size() > 1 ? line[1] : ' ';
        if (kind == '~') {
            // An obsolete entry takes the comments before it along.
            if (!pending_.HasId && pending_.Last == Keyword::None)
                pending_ = PendingEntry{};
            return;
        }
        if (kind == '|')
            return;
        MarkStarted();
        const bool special = kind == '.' || kind == ':' || kind == ',';
        std::string_view text = line.substr(special ? 2 : 1);
        if (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        if (kind == ',') {
            ReadFlags(text);
            return;
        }
        WideString decoded = DecodeCommentText(text);
        if (kind == '.')
            pending_.Entry.ExtractedComments.push_back(std::move(decoded));
        else if (kind == ':')
            pending_.Entry.References.push_back(std::move(decoded));
        else
            pending_.Entry.TranslatorComments.push_back(std::move(decoded));
    }

    WideString DecodeCommentText(std::string_view text) const {
        for (char ch : text) {
            const auto byte = static_cast<unsigned char>(ch);
            if ((byte < 0x20 && ch != '\t') || byte == 0x7F)
                Fail(lineNumber_, "a control character in a comment");
        }
        std::optional<WideString> decoded = Utf8ToUtf16(text);
        if (!decoded)
            Fail(lineNumber_, "the comment is no well-formed UTF-8");
        return std::move(*decoded);
    }

    void ReadFlags(std::string_view text) {
        size_t pos = 0;
        while (pos <= text.size()) {
            size_t comma = text.find(',', pos);
            if (comma == std::string_view::npos)
                comma = text.size();
            std::string_view word = text.substr(pos, comma - pos);
            while (!word.empty() && IsBlank(word.front()))
                word.remove_prefix(1);
            while (!word.empty() && IsBlank(word.back()))
                word.remove_suffix(1);
            for (char ch : word) {
                if (static_cast<unsigned char>(ch) <= 0x20 || static_cast<unsigned char>(ch) >= 0x7F)
                    Fail(lineNumber_, "a flag is a word of printable ASCII characters");
            }
            if (!word.empty())
                pending_.Entry.Flags.emplace_back(word);
            pos = comma + 1;
        }
    }

    void MarkStarted() {
        if (!pending_.Started) {
            pending_.Started = true;
            pending_.Entry.Line = lineNumber_;
        }
    }

    void StartContext() {
        if (pending_.HasStr)
            FinishEntry();
        if (pending_.Entry.HasContext)
            Fail(lineNumber_, "a second msgctxt in one entry");
        if (pending_.HasId)
            Fail(lineNumber_, "msgctxt must come before msgid");
        MarkStarted();
        pending_.Entry.HasContext = true;
        pending_.ContextLine = lineNumber_;
        pending_.Last = Keyword::Context;
    }

    void StartId() {
        if (pending_.HasStr)
            FinishEntry();
        if (pending_.HasId)
            Fail(lineNumber_, "a second msgid before the msgstr of the first (line " +
                                  std::to_string(pending_.IdLine) + ")");
        MarkStarted();
        pending_.HasId = true;
        pending_.IdLine = lineNumber_;
        pending_.Last = Keyword::Id;
    }

    void StartStr() {
        if (!pending_.HasId)
            Fail(lineNumber_, "msgstr without a msgid before it");
        if (pending_.HasStr)
            Fail(lineNumber_, "a second msgstr in one entry");
        pending_.HasStr = true;
        pending_.Entry.MsgStrLine = lineNumber_;
        pending_.Last = Keyword::Str;
    }

    std::string* LastString() {
        switch (pending_.Last) {
        case Keyword::Context:
            return &pending_.ContextBytes;
        case Keyword::Id:
            return &pending_.IdBytes;
        case Keyword::Str:
            return &pending_.StrBytes;
        case Keyword::None:
            break;
        }
        return nullptr;
    }

    // line[pos] is an opening quote; appends the bytes of that string and of any further strings
    // on the line.
    void ReadQuoted(std::string_view line, size_t pos, std::string& out) const {
        while (pos < line.size()) {
            if (line[pos] != '"')
                Fail(lineNumber_, "nothing but strings may follow a string on its line");
            pos = ReadOneString(line, pos + 1, out);
            while (pos < line.size() && IsBlank(line[pos]))
                ++pos;
        }
    }

    // Returns the position after the closing quote.
    size_t ReadOneString(std::string_view line, size_t pos, std::string& out) const {
        for (;;) {
            if (pos >= line.size())
                Fail(lineNumber_, "the string has no closing quote");
            const char ch = line[pos++];
            if (ch == '"')
                return pos;
            if (ch == '\\') {
                pos = ReadEscape(line, pos, out);
                continue;
            }
            const auto byte = static_cast<unsigned char>(ch);
            if (byte == 0)
                Fail(lineNumber_, "a zero character in a string");
            if ((byte < 0x20 && ch != '\t') || byte == 0x7F)
                Fail(lineNumber_, "a control character in a string: write it as an escape");
            out.push_back(ch);
        }
    }

    // line[pos] follows the backslash; returns the position after the escape.
    size_t ReadEscape(std::string_view line, size_t pos, std::string& out) const {
        if (pos >= line.size())
            Fail(lineNumber_, "the string has no closing quote");
        const char ch = line[pos++];
        char plain = 0;
        switch (ch) {
        case 'n':
            plain = '\n';
            break;
        case 'r':
            plain = '\r';
            break;
        case 't':
            plain = '\t';
            break;
        case 'a':
            plain = '\a';
            break;
        case 'b':
            plain = '\b';
            break;
        case 'f':
            plain = '\f';
            break;
        case 'v':
            plain = '\v';
            break;
        case '\\':
        case '"':
        case '\'':
        case '?':
            plain = ch;
            break;
        default:
            break;
        }
        if (plain != 0) {
            out.push_back(plain);
            return pos;
        }
        uint32_t value = 0;
        if (ch >= '0' && ch <= '7') {
            value = static_cast<uint32_t>(ch - '0');
            for (int digits = 1; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7';
                 ++digits)
                value = value * 8 + static_cast<uint32_t>(line[pos++] - '0');
            if (value > 0xFF)
                Fail(lineNumber_, "an octal escape beyond \\377");
        } else if (ch == 'x') {
            int digits = 0;
            for (std::optional<uint32_t> digit; pos < line.size() && (digit = HexDigitValue(line[pos]));
                 ++pos) {
                value = value * 16 + *digit;
                if (++digits > 2)
                    Fail(lineNumber_, "a hexadecimal escape takes at most two digits");
            }
            if (digits == 0)
                Fail(lineNumber_, "\\x takes hexadecimal digits");
        } else {
            Fail(lineNumber_, std::string("unknown escape \\") + ch);
        }
        if (value == 0)
            Fail(lineNumber_, "a zero character in a string");
        out.push_back(static_cast<char>(value));
        return pos;
    }

    WideString DecodeString(const std::string& bytes, size_t line, const char* keyword) const {
        std::optional<WideString> decoded = Utf8ToUtf16(bytes);
        if (!decoded)
            Fail(line, std::string("the ") + keyword + " text is no well-formed UTF-8");
        return std::move(*decoded);
    }

    void FinishEntry() {
        if (!pending_.HasStr)
            return;
        TPoEntry& entry = pending_.Entry;
        if (entry.HasContext)
            entry.Context = DecodeString(pending_.ContextBytes, pending_.ContextLine, "msgctxt");
        entry.MsgId = DecodeString(pending_.IdBytes, pending_.IdLine, "msgid");
        entry.MsgStr = DecodeString(pending_.StrBytes, entry.MsgStrLine, "msgstr");
        const auto [found, added] = firstLines_.try_emplace(
            std::make_tuple(entry.HasContext, entry.Context, entry.MsgId), entry.Line);
        if (!added)
            Fail(entry.Line, "a second definition of this message (the first is on line " +
                                 std::to_string(found->second) + ")");
        if (entry.IsHeader())
            CheckCharset(entry);
        entries_.push_back(std::move(entry));
        pending_ = PendingEntry{};
    }

    void CheckCharset(const TPoEntry& header) const {
        const WideString type = PoHeaderField(header.MsgStr, u"Content-Type");
        const size_t at = type.find(u"charset=");
        if (at == WideString::npos)
            return;
        std::u16string_view charset = std::u16string_view(type).substr(at + 8);
        charset = charset.substr(0, std::min(charset.find(u';'), charset.size()));
        charset = TrimAscii(charset);
        if (!EqualsIgnoringAsciiCase(charset, u"UTF-8") && !EqualsIgnoringAsciiCase(charset, u"UTF8"))
            Fail(header.MsgStrLine,
                 "the header declares the charset " + PrintableAscii(charset) + "; only UTF-8 is read");
    }

    const std::string path_;
    std::string_view contents_;
    size_t lineNumber_ = 0;
    PendingEntry pending_;
    std::vector<TPoEntry> entries_;
    std::map<std::tuple<bool, WideString, WideString>, size_t> firstLines_;
};

// --- Writing ----------------------------------------------------------------------------------

[[noreturn]] void FailWriting(const TPoEntry& entry, const std::string& what) {
    const std::string subject = (entry.HasContext ? "msgctxt \"" : "msgid \"") +
                                PrintableAscii(entry.HasContext ? entry.Context : entry.MsgId);
    throw EConvertError("Cannot write the .po entry " + subject + "\": " + what);
}

// One character of a string as written between quotes, with the columns it takes.
struct Piece {
    std::string Text;
    size_t Columns = 1;
    bool IsBlank = false;
    bool IsNewline = false;
};

std::vector<Piece> EscapedPieces(const TPoEntry& entry, std::u16string_view text) {
    const std::optional<std::u32string> codePoints = Utf16ToCodePoints(text);
    if (!codePoints)
        FailWriting(entry, "the text holds an unpaired surrogate, which UTF-8 cannot carry");
    std::vector<Piece> pieces;
    pieces.reserve(codePoints->size());
    for (const char32_t codePoint : *codePoints) {
        Piece piece;
        switch (codePoint) {
        case 0:
            FailWriting(entry, "the text holds a zero character");
        case '"':
            piece.Text = "\\\"";
            break;
        case '\\':
            piece.Text = "\\\\";
            break;
        case '\n':
            piece.Text = "\\n";
            piece.IsNewline = true;
            break;
        case '\r':
            piece.Text = "\\r";
            break;
        case '\t':
            piece.Text = "\\t";
            break;
        case '\a':
            piece.Text = "\\a";
            break;
        case '\b':
            piece.Text = "\\b";
            break;
        case '\f':
            piece.Text = "\\f";
            break;
        case '\v':
            piece.Text = "\\v";
            break;
        default:
            if (codePoint < 0x20 || codePoint == 0x7F) {
                piece.Text = {'\\', static_cast<char>('0' + (codePoint >> 6)),
                              static_cast<char>('0' + ((codePoint >> 3) & 7)),
                              static_cast<char>('0' + (codePoint & 7))};
            } else {
                AppendUtf8(piece.Text, codePoint);
                piece.IsBlank = codePoint == ' ';
            }
            break;
        }
        if (piece.Text.size() > 1 && piece.Text[0] == '\\')
            piece.Columns = piece.Text.size();
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

void WriteString(std::string& out, const TPoEntry& entry, const char* keyword, std::u16string_view text) {
    const std::vector<Piece> pieces = EscapedPieces(entry, text);
    const std::string_view keywordText = keyword;
    size_t columns = 0;
    bool innerNewline = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        columns += pieces[i].Columns;
        innerNewline = innerNewline || (pieces[i].IsNewline && i + 1 < pieces.size());
    }
    out += keywordText;
    out += ' ';
    if (!innerNewline && keywordText.size() + 3 + columns <= MaxColumns) {
        out += '"';
        for (const Piece& piece : pieces)
            out += piece.Text;
        out += "\"\n";
        return;
    }
    out += "\"\"\n";
    const size_t lineColumns = MaxColumns - 2;
    size_t start = 0;
    while (start < pieces.size()) {
        // The line ends after a newline, or where the next piece would not fit: after the last
        // blank before that point when there is one, else right there.
        size_t end = start, width = 0, afterBlank = 0;
        while (end < pieces.size()) {
            if (end > start && width + pieces[end].Columns > lineColumns) {
                if (afterBlank > start)
                    end = afterBlank;
                break;
            }
            width += pieces[end].Columns;
            ++end;
            if (pieces[end - 1].IsBlank)
                afterBlank = end;
            if (pieces[end - 1].IsNewline)
                break;
        }
        out += '"';
        for (size_t i = start; i < end; ++i)
            out += pieces[i].Text;
        out += "\"\n";
        start = end;
    }
}

void WriteCommentLines(std::string& out, const TPoEntry& entry, std::string_view prefix,
                       const std::vector<WideString>& comments) {
    for (const WideString& comment : comments) {
        std::u16string_view rest = comment;
        for (;;) {
            const size_t lineEnd = rest.find_first_of(u"\r\n");
            const std::u16string_view line = rest.substr(0, lineEnd);
            const std::optional<std::u32string> codePoints = Utf16ToCodePoints(line);
            if (!codePoints)
                FailWriting(entry, "a comment holds an unpaired surrogate, which UTF-8 cannot carry");
            out += prefix;
            if (!line.empty())
                out += ' ';
            for (const char32_t codePoint : *codePoints) {
                if ((codePoint < 0x20 && codePoint != '\t') || codePoint == 0x7F)
                    FailWriting(entry, "a comment holds a control character");
                AppendUtf8(out, codePoint);
            }
            out += '\n';
            if (lineEnd == std::u16string_view::npos)
                break;
            const bool crLf =
                rest[lineEnd] == u'\r' && lineEnd + 1 < rest.size() && rest[lineEnd + 1] == u'\n';
            rest.remove_prefix(lineEnd + (crLf ? 2 : 1));
        }
    }
}

} // namespace

bool TPoEntry::HasFlag(std::string_view flag) const {
    return std::find(Flags.begin(), Flags.end(), flag) != Flags.end();
}

EPoFileError::EPoFileError(const std::string& path, size_t line, const std::string& what)
    : EReadError(path + ":" + std::to_string(line) + ": " + what), path_(path), line_(line), what_(what) {}

std::vector<TPoEntry> ReadPoFile(const std::string& path, std::string_view contents) {
    return PoReader(path, contents).Read();
}

std::string WritePoFile(const std::vector<TPoEntry>& entries) {
    std::string out;
    for (const TPoEntry& entry : entries) {
        if (!out.empty())
            out += '\n';
        WriteCommentLines(out, entry, "#", entry.TranslatorComments);
        WriteCommentLines(out, entry, "#.", entry.ExtractedComments);
        WriteCommentLines(out, entry, "#:", entry.References);
        if (!entry.Flags.empty()) {
            out += "#,";
            for (size_t i = 0; i < entry.Flags.size(); ++i) {
                const std::string& flag = entry.Flags[i];
                if (flag.empty() || std::any_of(flag.begin(), flag.end(), [](char ch) {
                        return static_cast<unsigned char>(ch) <= 0x20 ||
                               static_cast<unsigned char>(ch) >= 0x7F || ch == ',';
                    }))
                    FailWriting(entry, "the flag \"" + flag + "\" is no word of printable ASCII characters");
                out += i == 0 ? " " : ", ";
                out += flag;
            }
            out += '\n';
        }
        if (entry.HasContext)
            WriteString(out, entry, "msgctxt", entry.Context);
        WriteString(out, entry, "msgid", entry.MsgId);
        WriteString(out, entry, "msgstr", entry.MsgStr);
    }
    return out;
}

const TPoEntry* FindPoHeader(const std::vector<TPoEntry>& entries) {
    const auto found =
        std::find_if(entries.begin(), entries.end(), [](const TPoEntry& entry) { return entry.IsHeader(); });
    return found == entries.end() ? nullptr : &*found;
}

WideString PoHeaderField(const WideString& header, std::u16string_view name) {
    std::u16string_view rest = header;
    while (!rest.empty()) {
        const size_t lineEnd = rest.find(u'\n');
        const std::u16string_view line = rest.substr(0, lineEnd);
        rest.remove_prefix(lineEnd == std::u16string_view::npos ? rest.size() : lineEnd + 1);
        const size_t colon = line.find(u':');
        if (colon != std::u16string_view::npos &&
            EqualsIgnoringAsciiCase(TrimAscii(line.substr(0, colon)), name))
            return WideString(TrimAscii(line.substr(colon + 1)));
    }
    return {};
}
