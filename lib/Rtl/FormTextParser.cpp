#include "FormData.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Exceptions.h"
#include "FloatText.h"
#include "FormDataShared.h"
#include "HexDigits.h"

namespace {

using namespace FormDataShared;
using namespace FloatText;

enum class TokenKind { End, Ident, Number, String, Binary, Symbol };

struct Token {
    TokenKind Kind = TokenKind::End;
    int Line = 1;
    AnsiString Text; // identifier, number lexeme, or the bytes of a binary value
    WideString Wide; // string value
    char Symbol = 0;
};

[[noreturn]] void ThrowParser(int line, const AnsiString& message) {
    throw EParserError("Line " + std::to_string(line) + ": " + message);
}

bool TextHasValidUtf8BeyondAscii(std::string_view text) {
    bool beyondAscii = false;
    size_t pos = 0;
    while (pos < text.size()) {
        const std::optional<char32_t> codePoint = DecodeUtf8(text, pos);
        if (!codePoint)
            return false;
        beyondAscii = beyondAscii || *codePoint >= 0x80;
    }
    return beyondAscii;
}

AnsiString DescribeCharacter(unsigned char c) {
    if (c > 32 && c < 127)
        return AnsiString("'") + static_cast<char>(c) + "'";
    return "#" + std::to_string(c);
}

class FormLexer {
public:
    explicit FormLexer(const AnsiString& text) : text_(text) {
        const auto byteAt = [&](size_t i) {
            return i < text_.size() ? static_cast<unsigned char>(text_[i]) : 0u;
        };
        if ((byteAt(0) == 0xFF && byteAt(1) == 0xFE) || (byteAt(0) == 0xFE && byteAt(1) == 0xFF))
            ThrowParser(1, "UTF-16 text is not supported");
        if (byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
            pos_ = 3;
        utf8_ = TextHasValidUtf8BeyondAscii(std::string_view(text_).substr(pos_));
    }

    // References stay valid while later tokens are scanned (deque growth keeps elements in place).
    const Token& Peek(size_t ahead = 0) {
        while (lookahead_.size() <= ahead)
            lookahead_.push_back(Scan());
        return lookahead_[ahead];
    }

    Token Next() {
        Peek();
        Token token = std::move(lookahead_.front());
        lookahead_.pop_front();
        return token;
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    unsigned char Current() const { return static_cast<unsigned char>(text_[pos_]); }

    bool SkipBlank() {
        if (AtEnd())
            return false;
        const unsigned char c = Current();
        if (c == '\n')
            ++line_;
        else if (c == '\r')
            line_ += (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ? 0 : 1;
        else if (c != ' ' && c != '\t')
            return false;
        ++pos_;
        return true;
    }

    Token Scan() {
        while (SkipBlank()) {
        }
        Token token;
        token.Line = line_;
        if (AtEnd())
            return token;
        const unsigned char c = Current();
        if (IsIdentStart(c))
            return ScanIdent(token);
        if (IsDigit(c) || c == '-' || c == '$')
            return ScanNumber(token);
        if (c == '\'' || c == '#')
            return ScanString(token);
        if (c == '{')
            return ScanBinary(token);
        if (std::string_view("=:[](),<>+").find(static_cast<char>(c)) != std::string_view::npos) {
            token.Kind = TokenKind::Symbol;
            token.Symbol = static_cast<char>(c);
            ++pos_;
            return token;
        }
        ThrowParser(line_, "Invalid character " + DescribeCharacter(c));
    }

    Token ScanIdent(Token& token) {
        const size_t start = pos_;
        while (!AtEnd() && (IsIdentChar(Current()) || Current() == '.'))
            ++pos_;
        token.Kind = TokenKind::Ident;
        token.Text = text_.substr(start, pos_ - start);
        if (token.Text.size() > 255)
            ThrowParser(token.Line, "Identifier too long");
        if (!IsIdentifier(token.Text, true))
            ThrowParser(token.Line, "Invalid identifier '" + token.Text + "'");
        return std::move(token);
    }

    size_t SkipDigits(bool hex) {
        const size_t start = pos_;
        while (!AtEnd() && (hex ? HexDigitValue(Current()) >= 0 : IsDigit(Current())))
            ++pos_;
        return pos_ - start;
    }

    Token ScanNumber(Token& token) {
        const size_t start = pos_;
        const auto fail = [&] { ThrowParser(token.Line, "Invalid number"); };
        if (Current() == '-')
            ++pos_;
        if (!AtEnd() && Current() == '$') {
            ++pos_;
            if (SkipDigits(true) == 0)
                fail();
        } else {
            if (SkipDigits(false) == 0)
                fail();
            if (!AtEnd() && Current() == '.') {
                ++pos_;
                if (SkipDigits(false) == 0)
                    fail();
            }
            if (!AtEnd() && (Current() == 'e' || Current() == 'E')) {
                ++pos_;
                if (!AtEnd() && (Current() == '+' || Current() == '-'))
                    ++pos_;
                if (SkipDigits(false) == 0)
                    fail();
            }
            if (!AtEnd() &&
                std::string_view("sScCdD").find(static_cast<char>(Current())) != std::string_view::npos)
                ++pos_;
        }
        if (!AtEnd() && (IsIdentChar(Current()) || Current() == '.'))
            fail();
        token.Kind = TokenKind::Number;
        token.Text = text_.substr(start, pos_ - start);
        return std::move(token);
    }

    // Quoted pieces and #codes directly adjacent to each other form one string.
    Token ScanString(Token& token) {
        token.Kind = TokenKind::String;
        for (;;) {
            if (!AtEnd() && Current() == '\'') {
                ++pos_;
                for (;;) {
                    if (AtEnd() || Current() == '\r' || Current() == '\n')
                        ThrowParser(line_, "Unterminated string");
                    const unsigned char c = Current();
                    if (c == '\'') {
                        ++pos_;
                        if (AtEnd() || Current() != '\'')
                            break;
                        token.Wide += u'\'';
                        ++pos_;
                    } else if (c < 0x80 || !utf8_) {
                        token.Wide += static_cast<char16_t>(c);
                        ++pos_;
                    } else {
                        // The whole text was validated up front, so this always decodes.
                        AppendUtf16(token.Wide, DecodeUtf8(text_, pos_).value());
                    }
                }
            } else if (!AtEnd() && Current() == '#') {
                ++pos_;
                const bool hex = !AtEnd() && Current() == '$';
                if (hex)
                    ++pos_;
                char32_t code = 0;
                size_t digits = 0;
                for (; !AtEnd() && (hex ? HexDigitValue(Current()) >= 0 : IsDigit(Current()));
                     ++pos_, ++digits) {
                    code = code * (hex ? 16 : 10) + static_cast<char32_t>(HexDigitValue(Current()));
                    if (code > 0x10FFFF)
                        ThrowParser(line_, "Invalid character code");
                }
                if (digits == 0)
                    ThrowParser(line_, "Invalid character code");
                AppendUtf16(token.Wide, code);
            } else {
                return std::move(token);
            }
        }
    }

    Token ScanBinary(Token& token) {
        ++pos_;
        token.Kind = TokenKind::Binary;
        int pendingNibble = -1;
        for (;;) {
            if (AtEnd())
                ThrowParser(token.Line, "Unterminated binary value");
            if (SkipBlank())
                continue;
            if (Current() == '}') {
                ++pos_;
                break;
            }
            const int nibble = HexDigitValue(Current());
            if (nibble < 0)
                ThrowParser(line_, "Invalid binary value");
            ++pos_;
            if (pendingNibble < 0) {
                pendingNibble = nibble;
            } else {
                token.Text += static_cast<char>((pendingNibble << 4) | nibble);
                pendingNibble = -1;
            }
        }
        if (pendingNibble >= 0)
            ThrowParser(line_, "Invalid binary value");
        return std::move(token);
    }

    const AnsiString& text_;
    size_t pos_ = 0;
    int line_ = 1;
    bool utf8_ = false;
    std::deque<Token> lookahead_;
};

bool IsSymbol(const Token& token, char symbol) {
    return token.Kind == TokenKind::Symbol && token.Symbol == symbol;
}

bool IsKeyword(const Token& token, std::string_view keyword) {
    return token.Kind == TokenKind::Ident && EqualsIgnoringAsciiCase(token.Text, keyword);
}

bool IsObjectKeyword(const Token& token) {
    return IsKeyword(token, "object") || IsKeyword(token, "inherited") || IsKeyword(token, "inline");
}

// A string token followed by any number of "+" and further string tokens, concatenated.
WideString ReadStringExpression(FormLexer& lexer, Token first) {
    if (first.Kind != TokenKind::String)
        ThrowParser(first.Line, "String expected");
    WideString text = std::move(first.Wide);
    while (IsSymbol(lexer.Peek(), '+')) {
        lexer.Next();
        const Token piece = lexer.Next();
        if (piece.Kind != TokenKind::String)
            ThrowParser(piece.Line, "String expected");
        text += piece.Wide;
    }
    return text;
}

void ExpectEndOfText(FormLexer& lexer) {
    const Token& rest = lexer.Peek();
    if (rest.Kind != TokenKind::End)
        ThrowParser(rest.Line, "End of file expected");
}

class FormTextParser {
public:
    explicit FormTextParser(const AnsiString& text) : lexer_(text) {}

    TFormObject ParseRoot() {
        const Token& first = lexer_.Peek();
        if (!IsObjectKeyword(first))
            ThrowParser(first.Line, "'object' expected");
        TFormObject root = ParseObject();
        ExpectEndOfText(lexer_);
        return root;
    }

private:
    auto TooDeep(int line) {
        return [line] { ThrowParser(line, "Nesting too deep"); };
    }

    Token ExpectIdent() {
        Token token = lexer_.Next();
        if (token.Kind != TokenKind::Ident)
            ThrowParser(token.Line, "Identifier expected");
        return token;
    }

    void ExpectSymbol(char symbol) {
        const Token token = lexer_.Next();
        if (!IsSymbol(token, symbol))
            ThrowParser(token.Line, AnsiString("'") + symbol + "' expected");
    }

    int32_t ExpectInt32() {
        const Token token = lexer_.Next();
        if (token.Kind != TokenKind::Number)
            ThrowParser(token.Line, "Integer expected");
        const TFormValue value = ParseNumber(token);
        if (!value.IsInteger())
            ThrowParser(token.Line, "Integer expected");
        if (value.Integer < INT32_MIN || value.Integer > INT32_MAX)
            ThrowParser(token.Line, "Integer out of range");
        return static_cast<int32_t>(value.Integer);
    }

    // An identifier followed by '=' is a property even when it reads like a keyword.
    bool AtPropertyStart() { return lexer_.Peek().Kind == TokenKind::Ident && IsSymbol(lexer_.Peek(1), '='); }

    TFormObject ParseObject() {
        const Token keyword = lexer_.Next();
        NestingGuard guard(depth_, TooDeep(keyword.Line));
        TFormObject object;
        if (EqualsIgnoringAsciiCase(keyword.Text, "inherited"))
            object.Flags = ffInherited;
        else if (EqualsIgnoringAsciiCase(keyword.Text, "inline"))
            object.Flags = ffInline;
        const Token first = ExpectIdent();
        if (IsSymbol(lexer_.Peek(), ':')) {
            lexer_.Next();
            if (!IsIdentifier(first.Text, false))
                ThrowParser(first.Line, "Invalid component name '" + first.Text + "'");
            object.Name = first.Text;
            object.ClassName = ExpectIdent().Text;
        } else {
            object.ClassName = first.Text;
        }
        if (IsSymbol(lexer_.Peek(), '[')) {
            lexer_.Next();
            object.Flags |= ffChildPos;
            object.ChildPos = ExpectInt32();
            ExpectSymbol(']');
        }
        for (;;) {
            if (AtPropertyStart()) {
                object.Properties.push_back(ParseProperty());
                continue;
            }
            const Token& token = lexer_.Peek();
            if (IsKeyword(token, "end")) {
                lexer_.Next();
                return object;
            }
            if (IsObjectKeyword(token)) {
                object.Children.push_back(ParseObject());
                continue;
            }
            if (token.Kind == TokenKind::Ident)
                ThrowParser(lexer_.Peek(1).Line, "'=' expected");
            ThrowParser(token.Line, token.Kind == TokenKind::End ? "'end' expected" : "Identifier expected");
        }
    }

    TFormProperty ParseProperty() {
        Token name = lexer_.Next();
        ExpectSymbol('=');
        TFormValue value = ParseValue();
        return {std::move(name.Text), std::move(value)};
    }

    TFormValue ParseValue() {
        Token token = lexer_.Next();
        switch (token.Kind) {
        case TokenKind::Number:
            return ParseNumber(token);
        case TokenKind::String:
            return TFormValue::FromText(ReadStringExpression(lexer_, std::move(token)));
        case TokenKind::Ident:
            if (EqualsIgnoringAsciiCase(token.Text, "True"))
                return TFormValue::FromBoolean(true);
            if (EqualsIgnoringAsciiCase(token.Text, "False"))
                return TFormValue::FromBoolean(false);
            if (EqualsIgnoringAsciiCase(token.Text, "nil"))
                return TFormValue::Nil();
            return TFormValue::FromIdent(std::move(token.Text));
        case TokenKind::Binary:
            return TFormValue::FromBinary(std::move(token.Text));
        case TokenKind::Symbol:
            if (token.Symbol == '[')
                return ParseSet();
            if (token.Symbol == '(')
                return ParseList(token.Line);
            if (token.Symbol == '<')
                return ParseCollection(token.Line);
            break;
        case TokenKind::End:
            ThrowParser(token.Line, "Unexpected end of file");
        }
        ThrowParser(token.Line, "Invalid property value");
    }

    TFormValue ParseSet() {
        TFormValue value = TFormValue::FromSet({});
        if (IsSymbol(lexer_.Peek(), ']')) {
            lexer_.Next();
            return value;
        }
        for (;;) {
            const Token item = ExpectIdent();
            if (!IsIdentifier(item.Text, false))
                ThrowParser(item.Line, "Invalid set element '" + item.Text + "'");
            value.SetItems.push_back(item.Text);
            const Token separator = lexer_.Next();
            if (IsSymbol(separator, ']'))
                return value;
            if (!IsSymbol(separator, ','))
                ThrowParser(separator.Line, "',' or ']' expected");
        }
    }

    TFormValue ParseList(int line) {
        NestingGuard guard(depth_, TooDeep(line));
        TFormValue value = TFormValue::FromList({});
        while (!IsSymbol(lexer_.Peek(), ')')) {
            if (lexer_.Peek().Kind == TokenKind::End)
                ThrowParser(lexer_.Peek().Line, "')' expected");
            value.List.push_back(ParseValue());
        }
        lexer_.Next();
        return value;
    }

    TFormValue ParseCollection(int line) {
        NestingGuard guard(depth_, TooDeep(line));
        TFormValue value;
        value.Type = TValueType::vaCollection;
        for (;;) {
            const Token token = lexer_.Next();
            if (IsSymbol(token, '>'))
                return value;
            if (!IsKeyword(token, "item"))
                ThrowParser(token.Line, "'item' or '>' expected");
            TFormCollectionItem item;
            if (IsSymbol(lexer_.Peek(), '[')) {
                lexer_.Next();
                item.Order = ExpectInt32();
                ExpectSymbol(']');
            }
            while (!IsKeyword(lexer_.Peek(), "end") || IsSymbol(lexer_.Peek(1), '=')) {
                if (!AtPropertyStart()) {
                    const Token& unexpected = lexer_.Peek();
                    if (unexpected.Kind == TokenKind::Ident)
                        ThrowParser(lexer_.Peek(1).Line, "'=' expected");
                    ThrowParser(unexpected.Line,
                                unexpected.Kind == TokenKind::End ? "'end' expected" : "Identifier expected");
                }
                item.Properties.push_back(ParseProperty());
            }
            lexer_.Next();
            value.Collection.push_back(std::move(item));
        }
    }

    static TFormValue ParseNumber(const Token& token) {
        std::string_view lexeme = token.Text;
        const bool negative = lexeme.front() == '-';
        if (negative)
            lexeme.remove_prefix(1);
        if (lexeme.front() == '$' || lexeme.find_first_of(".eEsScCdD") == std::string_view::npos)
            return ParseInteger(token.Line, lexeme, negative);

        std::string digits;
        int64_t fractionDigits = 0;
        size_t pos = 0;
        for (; pos < lexeme.size() && IsDigit(lexeme[pos]); ++pos)
            digits += lexeme[pos];
        if (pos < lexeme.size() && lexeme[pos] == '.') {
            for (++pos; pos < lexeme.size() && IsDigit(lexeme[pos]); ++pos, ++fractionDigits)
                digits += lexeme[pos];
        }
        int64_t exponent = 0;
        if (pos < lexeme.size() && (lexeme[pos] == 'e' || lexeme[pos] == 'E')) {
            ++pos;
            const bool negativeExponent = pos < lexeme.size() && lexeme[pos] == '-';
            if (pos < lexeme.size() && (lexeme[pos] == '-' || lexeme[pos] == '+'))
                ++pos;
            // Far beyond any format's range already; the cap only keeps the arithmetic from wrapping.
            for (; pos < lexeme.size() && IsDigit(lexeme[pos]); ++pos)
                exponent = std::min<int64_t>(exponent * 10 + (lexeme[pos] - '0'), 1000000000);
            if (negativeExponent)
                exponent = -exponent;
        }
        const char suffix = pos < lexeme.size() ? AsciiLower(lexeme[pos]) : '\0';
        const DecimalNumber decimal = NormalizeDecimal(std::move(digits), exponent - fractionDigits);

        TFormValue value;
        if (suffix == 'c') {
            const std::optional<int64_t> amount = DecimalToCurrency(decimal, negative);
            if (!amount)
                ThrowParser(token.Line, "Currency value out of range");
            value.Type = TValueType::vaCurrency;
            value.Integer = *amount;
            return value;
        }
        const auto toBinary = [&](const FloatFormat& format) {
            const std::optional<BinaryMagnitude> magnitude = DecimalToBinary(decimal, format);
            if (!magnitude)
                ThrowParser(token.Line, "Floating point value out of range");
            return BinaryFloat{negative, magnitude->Mantissa, magnitude->Exponent};
        };
        switch (suffix) {
        case 's':
            value.Type = TValueType::vaSingle;
            value.Float = EncodeSingle(toBinary(SingleFormat));
            return value;
        case 'd':
            value.Type = TValueType::vaDate;
            value.Float = EncodeDouble(toBinary(DoubleFormat));
            return value;
        default:
            value.Type = TValueType::vaExtended;
            value.Extended = EncodeExtended(toBinary(ExtendedFormat));
            return value;
        }
    }

    static TFormValue ParseInteger(int line, std::string_view lexeme, bool negative) {
        const bool hex = lexeme.front() == '$';
        if (hex)
            lexeme.remove_prefix(1);
        const uint64_t base = hex ? 16 : 10;
        const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
        uint64_t magnitude = 0;
        for (char c : lexeme) {
            const auto digit = static_cast<uint64_t>(HexDigitValue(static_cast<unsigned char>(c)));
            if (magnitude > (limit - digit) / base)
                ThrowParser(line, "Integer out of range");
            magnitude = magnitude * base + digit;
        }
        return TFormValue::FromInteger(negative ? static_cast<int64_t>(0 - magnitude)
                                                : static_cast<int64_t>(magnitude));
    }

    FormLexer lexer_;
    int depth_ = 0;
};

} // namespace

TFormObject ParseFormText(const AnsiString& text) {
    return FormTextParser(text).ParseRoot();
}

WideString ParseFormStringExpression(const AnsiString& text) {
    FormLexer lexer(text);
    WideString result = ReadStringExpression(lexer, lexer.Next());
    ExpectEndOfText(lexer);
    return result;
}

std::vector<WideString> ParseFormStringList(const AnsiString& text) {
    FormLexer lexer(text);
    std::vector<WideString> strings;
    if (!IsSymbol(lexer.Peek(), '('))
        return strings;
    lexer.Next();
    while (!IsSymbol(lexer.Peek(), ')')) {
        if (lexer.Peek().Kind == TokenKind::End)
            ThrowParser(lexer.Peek().Line, "')' expected");
        strings.push_back(ReadStringExpression(lexer, lexer.Next()));
    }
    lexer.Next();
    ExpectEndOfText(lexer);
    return strings;
}
