#include "FormData.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "ByteReader.h"
#include "Exceptions.h"
#include "FloatText.h"
#include "FormDataShared.h"

namespace {

using namespace FormDataShared;
using namespace FloatText;

class FormStreamReader {
public:
    FormStreamReader(const uint8_t* data, size_t size) : reader_(data, size) {}

    TFormObject ReadRoot() {
        try {
            static constexpr uint8_t Signature[4] = {'T', 'P', 'F', '0'};
            for (uint8_t expected : Signature) {
                if (reader_.ReadU8() != expected)
                    Invalid();
            }
            return ReadObject();
        } catch (EByteReadError& e) {
            // Callers and stored expectations know this one text; the offset stays on the object.
            e.SetMessage("Stream read error");
            throw;
        }
    }

private:
    [[noreturn]] static void Invalid() { throw EReadError("Invalid stream format"); }

    size_t ReadLength() {
        const int32_t length = reader_.ReadI32();
        if (length < 0)
            Invalid();
        return static_cast<size_t>(length);
    }

    int32_t ReadSmallInteger() {
        switch (static_cast<TValueType>(reader_.ReadU8())) {
        case TValueType::vaInt8:
            return reader_.ReadI8();
        case TValueType::vaInt16:
            return reader_.ReadI16();
        case TValueType::vaInt32:
            return reader_.ReadI32();
        default:
            Invalid();
        }
    }

    auto TooDeep() {
        return [] { throw EReadError("Form nesting too deep"); };
    }

    TFormObject ReadObject() {
        NestingGuard guard(depth_, TooDeep());
        TFormObject object;
        const uint8_t first = reader_.PeekU8();
        if ((first & 0xF0) == 0xF0) {
            reader_.Skip(1);
            object.Flags = first & 0x0F;
            if (!ValidObjectFlags(object.Flags))
                Invalid();
            if ((object.Flags & ffChildPos) != 0)
                object.ChildPos = ReadSmallInteger();
        }
        object.ClassName = reader_.ReadShortString();
        if (object.ClassName.empty())
            Invalid();
        object.Name = reader_.ReadShortString();
        ReadProperties(object.Properties);
        while (reader_.PeekU8() != 0)
            object.Children.push_back(ReadObject());
        reader_.Skip(1);
        return object;
    }

    void ReadProperties(std::vector<TFormProperty>& properties) {
        for (;;) {
            AnsiString name = reader_.ReadShortString();
            if (name.empty())
                return;
            TFormValue value = ReadValue();
            properties.push_back({std::move(name), std::move(value)});
        }
    }

    TFormValue ReadValue() {
        const uint8_t typeByte = reader_.ReadU8();
        if (typeByte == 0 || typeByte > static_cast<uint8_t>(TValueType::vaUTF8String))
            Invalid();
        TFormValue value;
        value.Type = static_cast<TValueType>(typeByte);
        switch (value.Type) {
        case TValueType::vaList: {
            NestingGuard guard(depth_, TooDeep());
            while (reader_.PeekU8() != 0)
                value.List.push_back(ReadValue());
            reader_.Skip(1);
            break;
        }
        case TValueType::vaInt8:
            value.Integer = reader_.ReadI8();
            break;
        case TValueType::vaInt16:
            value.Integer = reader_.ReadI16();
            break;
        case TValueType::vaInt32:
            value.Integer = reader_.ReadI32();
            break;
        case TValueType::vaInt64:
        case TValueType::vaCurrency:
            value.Integer = reader_.ReadI64();
            break;
        case TValueType::vaExtended: {
            reader_.ReadInto(value.Extended.data(), value.Extended.size());
            if (!DecodeExtended(value.Extended))
                Invalid();
            break;
        }
        case TValueType::vaSingle: {
            const uint32_t bits = reader_.ReadU32();
            float number = 0;
            std::memcpy(&number, &bits, sizeof number);
            if (!std::isfinite(number))
                Invalid();
            value.Float = number;
            break;
        }
        case TValueType::vaDate: {
            const uint64_t bits = reader_.ReadU64();
            double number = 0;
            std::memcpy(&number, &bits, sizeof number);
            if (!std::isfinite(number))
                Invalid();
            value.Float = number;
            break;
        }
        case TValueType::vaString:
        case TValueType::vaIdent:
            value.Text = reader_.ReadShortString();
            break;
        case TValueType::vaBinary:
        case TValueType::vaLString:
            value.Text = reader_.ReadString(ReadLength());
            break;
        case TValueType::vaWString:
            value.Wide = reader_.ReadWideString(ReadLength());
            break;
        case TValueType::vaUTF8String: {
            std::optional<WideString> wide = Utf8ToUtf16(reader_.ReadString(ReadLength()));
            if (!wide)
                Invalid();
            value.Wide = std::move(*wide);
            break;
        }
        case TValueType::vaSet:
            for (;;) {
                AnsiString item = reader_.ReadShortString();
                if (item.empty())
                    break;
                value.SetItems.push_back(std::move(item));
            }
            break;
        case TValueType::vaCollection: {
            NestingGuard guard(depth_, TooDeep());
            ReadCollection(value.Collection);
            break;
        }
        case TValueType::vaFalse:
        case TValueType::vaTrue:
        case TValueType::vaNil:
        case TValueType::vaNull:
            break;
        }
        return value;
    }

    void ReadCollection(std::vector<TFormCollectionItem>& items) {
        for (;;) {
            auto marker = static_cast<TValueType>(reader_.PeekU8());
            if (marker == TValueType::vaNull) {
                reader_.Skip(1);
                return;
            }
            TFormCollectionItem item;
            if (marker == TValueType::vaInt8 || marker == TValueType::vaInt16 ||
                marker == TValueType::vaInt32) {
                item.Order = ReadSmallInteger();
                marker = static_cast<TValueType>(reader_.PeekU8());
            }
            if (marker != TValueType::vaList)
                Invalid();
            reader_.Skip(1);
            ReadProperties(item.Properties);
            items.push_back(std::move(item));
        }
    }

    ByteReader reader_;
    int depth_ = 0;
};

} // namespace

TFormObject ReadFormBinary(const uint8_t* data, size_t size) {
    if (data == nullptr && size != 0)
        throw EReadError("Stream read error");
    return FormStreamReader(data, size).ReadRoot();
}

TFormObject ReadFormBinary(const std::vector<uint8_t>& data) {
    return ReadFormBinary(data.data(), data.size());
}
