#include "FormData.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Exceptions.h"
#include "FloatText.h"
#include "FormDataShared.h"

namespace {

using namespace FormDataShared;
using namespace FloatText;

constexpr size_t StringPieceWidth = 64;
constexpr size_t HexDigitsPerLine = 64;

// Printable ASCII goes inside quotes, everything else becomes #codes, so the text stays ASCII and
// no character is at the mercy of an editor's encoding. With a piece width, pieces also end after
// each line feed, which keeps multi-line texts readable.
std::vector<AnsiString> StringPieces(const WideString& units, size_t pieceWidth) {
    std::vector<AnsiString> pieces;
    AnsiString piece;
    bool quoted = false;
    const auto closePiece = [&] {
        if (quoted)
            piece += '\'';
        quoted = false;
        pieces.push_back(std::move(piece));
        piece.clear();
    };
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        const bool printable = unit >= 32 && unit < 127;
        const AnsiString code = printable ? AnsiString() : "#" + std::to_string(unit);
        const size_t added = printable ? (unit == u'\'' ? 2 : 1) + (quoted ? 0 : 2) : code.size();
        if (!piece.empty() && piece.size() + (quoted ? 1 : 0) + added > pieceWidth)
            closePiece();
        if (printable) {
            if (!quoted)
                piece += '\'';
            quoted = true;
            piece += unit == u'\'' ? "''" : AnsiString(1, static_cast<char>(unit));
        } else {
            if (quoted)
                piece += '\'';
            quoted = false;
            piece += code;
        }
        if (unit == u'\n' && pieceWidth != std::string::npos && i + 1 < units.size())
            closePiece();
    }
    if (units.empty())
        piece = "''";
    if (!piece.empty())
        closePiece();
    return pieces;
}

std::vector<AnsiString> RenderString(const WideString& units) {
    std::vector<AnsiString> pieces = StringPieces(units, std::string::npos);
    if (pieces.front().size() <= StringPieceWidth)
        return pieces;
    return StringPieces(units, StringPieceWidth);
}

class FormTextRenderer {
public:
    AnsiString Render(const TFormObject& root) {
        RenderObject(root, 0);
        out_ += "\r\n";
        return std::move(out_);
    }

private:
    [[noreturn]] static void Fail(const AnsiString& message) { throw EConvertError(message); }

    auto TooDeep() {
        return [] { Fail("Form nesting too deep"); };
    }

    void NewLine(int indent) {
        out_ += "\r\n";
        out_.append(static_cast<size_t>(indent), ' ');
    }

    void RenderObject(const TFormObject& object, int indent) {
        NestingGuard guard(depth_, TooDeep());
        if (!ValidObjectFlags(object.Flags))
            Fail("Object '" + object.Name + "' has invalid flags");
        if (!IsIdentifier(object.ClassName, true))
            Fail("Class name '" + object.ClassName + "' is not an identifier");
        if (!object.Name.empty() && !IsIdentifier(object.Name, false))
            Fail("Object name '" + object.Name + "' is not an identifier");
        out_.append(static_cast<size_t>(indent), ' ');
        if ((object.Flags & ffInline) != 0)
            out_ += "inline ";
        else if ((object.Flags & ffInherited) != 0)
            out_ += "inherited ";
        else
            out_ += "object ";
        if (!object.Name.empty())
            out_ += object.Name + ": ";
        out_ += object.ClassName;
        if ((object.Flags & ffChildPos) != 0)
            out_ += " [" + std::to_string(object.ChildPos) + "]";
        for (const TFormProperty& property : object.Properties)
            RenderProperty(property, indent + 2);
        for (const TFormObject& child : object.Children) {
            out_ += "\r\n";
            RenderObject(child, indent + 2);
        }
        NewLine(indent);
        out_ += "end";
    }

    void RenderProperty(const TFormProperty& property, int indent) {
        if (!IsIdentifier(property.Name, true))
            Fail("Property name '" + property.Name + "' is not an identifier");
        NewLine(indent);
        out_ += property.Name;
        // The blank stays even where the value starts on the next line: tools that edit the text
        // line by line split at " = " and render the same way, so the text survives them unchanged.
        out_ += " = ";
        if (IsStringType(property.Value.Type)) {
            const std::vector<AnsiString> pieces = RenderString(property.Value.AsWideText());
            if (pieces.size() == 1) {
                out_ += pieces.front();
                return;
            }
            for (size_t i = 0; i < pieces.size(); ++i) {
                NewLine(indent + 2);
                out_ += pieces[i];
                if (i + 1 < pieces.size())
                    out_ += " +";
            }
            return;
        }
        RenderValue(property.Value, indent, property.Name);
    }

    // Starts where the value begins on the current line; nested lines are indented from `indent`.
    void RenderValue(const TFormValue& value, int indent, const AnsiString& property) {
        const auto context = [&property] { return "Value of property '" + property + "'"; };
        switch (value.Type) {
        case TValueType::vaInt8:
        case TValueType::vaInt16:
        case TValueType::vaInt32:
        case TValueType::vaInt64:
            out_ += std::to_string(value.Integer);
            return;
        case TValueType::vaExtended: {
            const std::optional<BinaryFloat> decoded = DecodeExtended(value.Extended);
            if (!decoded)
                Fail(context() + " is not a finite number");
            out_ += FormatDecimal(decoded->Negative, ShortestDecimal(*decoded, ExtendedFormat));
            return;
        }
        case TValueType::vaSingle: {
            const std::optional<float> number = DoubleToSingle(value.Float);
            const std::optional<BinaryFloat> decoded = number ? DecodeSingle(*number) : std::nullopt;
            if (!decoded)
                Fail(context() + " is not a finite single-precision number");
            out_ += FormatDecimal(decoded->Negative, ShortestDecimal(*decoded, SingleFormat)) + "s";
            return;
        }
        case TValueType::vaDate: {
            const std::optional<BinaryFloat> decoded = DecodeDouble(value.Float);
            if (!decoded)
                Fail(context() + " is not a finite number");
            out_ += FormatDecimal(decoded->Negative, ShortestDecimal(*decoded, DoubleFormat)) + "d";
            return;
        }
        case TValueType::vaCurrency:
            out_ += FormatCurrency(value.Integer);
            return;
        case TValueType::vaString:
        case TValueType::vaLString:
        case TValueType::vaWString:
        case TValueType::vaUTF8String: {
            const std::vector<AnsiString> pieces = RenderString(value.AsWideText());
            for (size_t i = 0; i < pieces.size(); ++i) {
                if (i > 0) {
                    out_ += " +";
                    NewLine(indent);
                }
                out_ += pieces[i];
            }
            return;
        }
        case TValueType::vaIdent:
            if (!IsIdentifier(value.Text, true))
                Fail(context() + " is not an identifier");
            out_ += value.Text;
            return;
        case TValueType::vaFalse:
            out_ += "False";
            return;
        case TValueType::vaTrue:
            out_ += "True";
            return;
        case TValueType::vaNil:
            out_ += "nil";
            return;
        case TValueType::vaSet:
            out_ += '[';
            for (size_t i = 0; i < value.SetItems.size(); ++i) {
                if (!IsIdentifier(value.SetItems[i], false))
                    Fail(context() + " has a set element that is not an identifier");
                if (i > 0)
                    out_ += ", ";
                out_ += value.SetItems[i];
            }
            out_ += ']';
            return;
        case TValueType::vaList: {
            NestingGuard guard(depth_, TooDeep());
            out_ += '(';
            for (const TFormValue& item : value.List) {
                NewLine(indent + 2);
                RenderValue(item, indent + 2, property);
            }
            out_ += ')';
            return;
        }
        case TValueType::vaBinary: {
            static constexpr char HexDigits[] = "0123456789ABCDEF";
            out_ += '{';
            for (size_t i = 0; i < value.Text.size(); ++i) {
                if (i % (HexDigitsPerLine / 2) == 0)
                    NewLine(indent + 2);
                const auto byte = static_cast<unsigned char>(value.Text[i]);
                out_ += HexDigits[byte >> 4];
                out_ += HexDigits[byte & 15];
            }
            out_ += '}';
            return;
        }
        case TValueType::vaCollection: {
            NestingGuard guard(depth_, TooDeep());
            out_ += '<';
            for (const TFormCollectionItem& item : value.Collection) {
                NewLine(indent + 2);
                out_ += "item";
                if (item.Order)
                    out_ += " [" + std::to_string(*item.Order) + "]";
                for (const TFormProperty& itemProperty : item.Properties)
                    RenderProperty(itemProperty, indent + 4);
                NewLine(indent + 2);
                out_ += "end";
            }
            out_ += '>';
            return;
        }
        case TValueType::vaNull:
            break;
        }
        Fail(context() + " has no valid type");
    }

    AnsiString out_;
    int depth_ = 0;
};

} // namespace

AnsiString RenderFormText(const TFormObject& root) {
    return FormTextRenderer().Render(root);
}
