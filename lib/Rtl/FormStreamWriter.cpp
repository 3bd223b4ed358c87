#include "FormData.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Exceptions.h"
#include "FloatText.h"
#include "FormDataShared.h"

namespace {

using namespace FormDataShared;
using namespace FloatText;

class FormStreamWriter {
public:
    std::vector<uint8_t> Write(const TFormObject& root) {
        out_ = {'T', 'P', 'F', '0'};
        WriteObject(root);
        return std::move(out_);
    }

private:
    [[noreturn]] static void Fail(const AnsiString& message) { throw EWriteError(message); }

    auto TooDeep() {
        return [] { Fail("Form nesting too deep"); };
    }

    void WriteByte(uint8_t byte) { out_.push_back(byte); }

    void WriteType(TValueType type) { WriteByte(static_cast<uint8_t>(type)); }

    void WriteLittleEndian(uint64_t value, size_t byteCount) {
        for (size_t i = 0; i < byteCount; ++i)
            out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }

    void WriteRaw(std::string_view bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

    void WriteShortString(const AnsiString& text, const AnsiString& context) {
        if (text.size() > 255)
            Fail(context + " is longer than 255 characters");
        WriteByte(static_cast<uint8_t>(text.size()));
        WriteRaw(text);
    }

    void WriteLength(size_t length, const AnsiString& context) {
        if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            Fail(context + " is too long");
        WriteLittleEndian(length, 4);
    }

    void WriteSmallInteger(int64_t value) {
        if (value >= INT8_MIN && value <= INT8_MAX) {
            WriteType(TValueType::vaInt8);
            WriteLittleEndian(static_cast<uint64_t>(value), 1);
        } else if (value >= INT16_MIN && value <= INT16_MAX) {
            WriteType(TValueType::vaInt16);
            WriteLittleEndian(static_cast<uint64_t>(value), 2);
        } else {
            WriteType(TValueType::vaInt32);
            WriteLittleEndian(static_cast<uint64_t>(value), 4);
        }
    }

    void WriteObject(const TFormObject& object) {
        NestingGuard guard(depth_, TooDeep());
        const AnsiString context = "Object '" + object.Name + "'";
        if (!ValidObjectFlags(object.Flags))
            Fail(context + " has invalid flags");
        if (object.ClassName.empty())
            Fail(context + " has no class name");
        // A class name length byte of 0xF0 or more would read as a flags prefix, so such a name is
        // always preceded by one.
        if (object.Flags != 0 || object.ClassName.size() >= 0xF0) {
            WriteByte(static_cast<uint8_t>(0xF0 | object.Flags));
            if ((object.Flags & ffChildPos) != 0)
                WriteSmallInteger(object.ChildPos);
        }
        WriteShortString(object.ClassName, context + " class name");
        WriteShortString(object.Name, context + " name");
        WriteProperties(object.Properties);
        for (const TFormObject& child : object.Children)
            WriteObject(child);
        WriteByte(0);
    }

    void WriteProperties(const std::vector<TFormProperty>& properties) {
        for (const TFormProperty& property : properties) {
            if (property.Name.empty())
                Fail("Property name is empty");
            WriteShortString(property.Name, "Property name '" + property.Name.substr(0, 64) + "'");
            WriteValue(property.Value, property.Name);
        }
        WriteByte(0);
    }

    void CheckRange(const TFormValue& value, int64_t minimum, int64_t maximum, const AnsiString& property) {
        if (value.Integer < minimum || value.Integer > maximum)
            Fail("Value of property '" + property + "' does not fit its integer type");
    }

    void WriteValue(const TFormValue& value, const AnsiString& property) {
        const auto context = [&property] { return "Value of property '" + property + "'"; };
        switch (value.Type) {
        case TValueType::vaList: {
            NestingGuard guard(depth_, TooDeep());
            WriteType(value.Type);
            for (const TFormValue& item : value.List)
                WriteValue(item, property);
            WriteByte(0);
            return;
        }
        case TValueType::vaInt8:
            CheckRange(value, INT8_MIN, INT8_MAX, property);
            WriteType(value.Type);
            WriteLittleEndian(static_cast<uint64_t>(value.Integer), 1);
            return;
        case TValueType::vaInt16:
            CheckRange(value, INT16_MIN, INT16_MAX, property);
            WriteType(value.Type);
            WriteLittleEndian(static_cast<uint64_t>(value.Integer), 2);
            return;
        case TValueType::vaInt32:
            CheckRange(value, INT32_MIN, INT32_MAX, property);
            WriteType(value.Type);
            WriteLittleEndian(static_cast<uint64_t>(value.Integer), 4);
            return;
        case TValueType::vaInt64:
        case TValueType::vaCurrency:
            WriteType(value.Type);
            WriteLittleEndian(static_cast<uint64_t>(value.Integer), 8);
            return;
        case TValueType::vaExtended: {
            if (!DecodeExtended(value.Extended))
                Fail(context() + " is not a finite number");
            WriteType(value.Type);
            out_.insert(out_.end(), value.Extended.begin(), value.Extended.end());
            return;
        }
        case TValueType::vaSingle: {
            const std::optional<float> number = DoubleToSingle(value.Float);
            if (!number)
                Fail(context() + " is not a finite single-precision number");
            uint32_t bits = 0;
            std::memcpy(&bits, &*number, sizeof bits);
            WriteType(value.Type);
            WriteLittleEndian(bits, 4);
            return;
        }
        case TValueType::vaDate: {
            if (!std::isfinite(value.Float))
                Fail(context() + " is not a finite number");
            uint64_t bits = 0;
            std::memcpy(&bits, &value.Float, sizeof bits);
            WriteType(value.Type);
            WriteLittleEndian(bits, 8);
            return;
        }
        case TValueType::vaString:
        case TValueType::vaIdent:
            WriteType(value.Type);
            WriteShortString(value.Text, context());
            return;
        case TValueType::vaBinary:
        case TValueType::vaLString:
            WriteType(value.Type);
            WriteLength(value.Text.size(), context());
            WriteRaw(value.Text);
            return;
        case TValueType::vaWString:
            WriteType(value.Type);
            WriteLength(value.Wide.size(), context());
            for (char16_t unit : value.Wide)
                WriteLittleEndian(unit, 2);
            return;
        case TValueType::vaUTF8String: {
            const std::optional<std::string> bytes = Utf16ToUtf8(value.Wide);
            if (!bytes)
                Fail(context() + " holds an unpaired surrogate");
            WriteType(value.Type);
            WriteLength(bytes->size(), context());
            WriteRaw(*bytes);
            return;
        }
        case TValueType::vaSet:
            WriteType(value.Type);
            for (const AnsiString& item : value.SetItems) {
                if (item.empty())
                    Fail(context() + " has an empty set element");
                WriteShortString(item, context());
            }
            WriteByte(0);
            return;
        case TValueType::vaCollection: {
            NestingGuard guard(depth_, TooDeep());
            WriteType(value.Type);
            for (const TFormCollectionItem& item : value.Collection) {
                if (item.Order)
                    WriteSmallInteger(*item.Order);
                WriteType(TValueType::vaList);
                WriteProperties(item.Properties);
            }
            WriteByte(0);
            return;
        }
        case TValueType::vaFalse:
        case TValueType::vaTrue:
        case TValueType::vaNil:
            WriteType(value.Type);
            return;
        case TValueType::vaNull:
            break;
        }
        // A null only ends lists and collections in the stream; as a value it would end them early.
        Fail(context() + " has no valid type");
    }

    std::vector<uint8_t> out_;
    int depth_ = 0;
};

} // namespace

std::vector<uint8_t> WriteFormBinary(const TFormObject& root) {
    return FormStreamWriter().Write(root);
}
