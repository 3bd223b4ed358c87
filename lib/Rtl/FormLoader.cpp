#include "FormLoader.h"

#include <algorithm>

#include "Format.h"
#include "TextConversion.h"

TReader::TReader(const TFormValue& value, TComponent* owner, const AnsiString& propertyName)
    : top_{value}, owner_(owner), propertyName_(propertyName) {
    root_ = owner;
    frames_.push_back({&top_, 0});
}

void TReader::DefineProperty(const AnsiString& name, const std::function<void(TReader&)>& read,
                             const std::function<void(TWriter&)>&, bool) {
    if (handled_ || !read || !SameIdentifier(name, propertyName_))
        return;
    handled_ = true;
    read(*this);
}

void TReader::InvalidValue() {
    throw EReadError("Invalid property value");
}

TValueType TReader::NextValue() const {
    const Frame& frame = frames_.back();
    return frame.Index < frame.Items->size() ? (*frame.Items)[frame.Index].Type : TValueType::vaNull;
}

const TFormValue& TReader::Take() {
    Frame& frame = frames_.back();
    if (frame.Index >= frame.Items->size())
        InvalidValue();
    return (*frame.Items)[frame.Index++];
}

void TReader::ReadListBegin() {
    if (NextValue() != TValueType::vaList)
        InvalidValue();
    frames_.push_back({&Take().List, 0});
}

void TReader::ReadListEnd() {
    if (frames_.size() < 2 || !EndOfList())
        InvalidValue();
    frames_.pop_back();
}

AnsiString TReader::ReadString() {
    switch (NextValue()) {
    case TValueType::vaString:
    case TValueType::vaLString:
        return Take().Text;
    case TValueType::vaWString:
    case TValueType::vaUTF8String: {
        const WideString& wide = Take().Wide;
        if (std::all_of(wide.begin(), wide.end(), [](char16_t unit) { return unit <= 0xFF; }))
            return AnsiString(wide.begin(), wide.end());
        return WideToAnsi(wide);
    }
    default:
        InvalidValue();
    }
}

WideString TReader::ReadWideString() {
    switch (NextValue()) {
    case TValueType::vaString:
    case TValueType::vaLString:
        return AnsiToWide(Take().Text);
    case TValueType::vaWString:
    case TValueType::vaUTF8String:
        return Take().Wide;
    default:
        InvalidValue();
    }
}

int64_t TReader::ReadInteger() {
    const TValueType type = NextValue();
    if (type != TValueType::vaInt8 && type != TValueType::vaInt16 && type != TValueType::vaInt32 &&
        type != TValueType::vaInt64)
        InvalidValue();
    return Take().Integer;
}

bool TReader::ReadBoolean() {
    const TValueType type = NextValue();
    if (type != TValueType::vaTrue && type != TValueType::vaFalse)
        InvalidValue();
    return Take().Type == TValueType::vaTrue;
}

AnsiString TReader::ReadIdent() {
    if (NextValue() != TValueType::vaIdent)
        InvalidValue();
    return Take().Text;
}

void TReader::SkipValue() {
    Take();
}

namespace {

class FormReader {
public:
    explicit FormReader(TComponent& root) : root_(root) {}

    void Read(const TFormObject& description) {
        loaded_.push_back(&root_);
        root_.SetLoading(true);
        if (!description.Name.empty())
            root_.SetName(description.Name);
        ReadProperties(root_, description);
        ReadChildren(root_, description);
        ResolveReferences();
        for (TComponent* component : loaded_)
            component->Loaded();
    }

private:
    // A reference read before the component it names may exist.
    struct Fixup {
        TComponent* Component;
        TPersistent* Instance;
        const TPropInfo* Info;
        TFormProperty Property;
    };

    void ResolveReferences() {
        for (const Fixup& fixup : fixups_) {
            const AnsiString& name = fixup.Property.Value.AsIdent();
            TComponent* target = SameIdentifier(name, root_.Name()) ? &root_ : root_.FindComponent(name);
            if (target == nullptr)
                throw EReadError(Format("Error reading %s.%s: Component '%s' not found",
                                        {fixup.Component->Name(), fixup.Property.Name, name}));
            try {
                fixup.Info->SetReference(*fixup.Instance, target);
            } catch (EConvertError&) {
                Invalid(*fixup.Component, fixup.Property, "Invalid property value");
            }
        }
        fixups_.clear();
    }

    void ReadChildren(TComponent& parent, const TFormObject& description) {
        for (const TFormObject& child : description.Children) {
            TComponent* component = root_.FindComponent(child.Name);
            if (component == nullptr) {
                const TClassInfo& info = GetClassInfo(child.ClassName);
                if (info.Create == nullptr)
                    throw EClassNotFound(Format("Class %s not found", {child.ClassName}));
                component = info.Create(&root_);
                component->SetName(child.Name);
            }
            component->SetLoading(true);
            loaded_.push_back(component);
            component->SetParentComponent(&parent);
            if (const TFieldEntry* field = root_.ClassInfo().FindField(child.Name))
                field->Assign(root_, component);
            ReadProperties(*component, child);
            ReadChildren(*component, child);
        }
    }

    void ReadProperties(TComponent& component, const TFormObject& description) {
        for (const TFormProperty& property : description.Properties)
            ReadProperty(component, property);
    }

    [[noreturn]] void Invalid(const TComponent& component, const TFormProperty& property,
                              const char* reason) {
        throw EReadError(Format("Error reading %s.%s: %s", {component.Name(), property.Name, reason}));
    }

    void ReadProperty(TComponent& component, const TFormProperty& property) {
        TPersistent* instance = &component;
        AnsiString path = property.Name;
        const TPropInfo* info = nullptr;
        for (;;) {
            const size_t dot = path.find('.');
            info = instance->ClassInfo().FindProperty(path.substr(0, dot));
            if (info == nullptr || dot == AnsiString::npos)
                break;
            if (info->Kind != TTypeKind::tkClass || !info->GetObject ||
                (instance = info->GetObject(*instance)) == nullptr) {
                info = nullptr;
                break;
            }
            path.erase(0, dot + 1);
        }
        // The last name of the path, on an object that exists, may be one the object declares itself.
        const bool reachedLastName = path.find('.') == AnsiString::npos;
        if (info == nullptr && reachedLastName && ReadDefinedProperty(component, *instance, path, property))
            return;
        if (info == nullptr) {
            component.KeptProperties().push_back(property);
            return;
        }
        if (info->IsReference()) {
            if (property.Value.Type == TValueType::vaNil)
                return info->SetReference(*instance, nullptr);
            if (property.Value.Type != TValueType::vaIdent)
                Invalid(component, property, "Invalid property value");
            fixups_.push_back({&component, instance, info, property});
            return;
        }
        try {
            Assign(*instance, *info, property.Value);
        } catch (EConvertError&) {
            Invalid(component, property, "Invalid property value");
        }
    }

    // Offers the value to the properties the object declares itself; false when none takes it.
    bool ReadDefinedProperty(TComponent& component, TPersistent& instance, const AnsiString& name,
                             const TFormProperty& property) {
        TReader reader(property.Value, &root_, name);
        try {
            instance.DefineProperties(reader);
            if (reader.Handled() && !reader.FullyRead())
                throw EReadError("Invalid property value");
        } catch (EReadError& error) {
            error.SetMessage(
                Format("Error reading %s.%s: %s", {component.Name(), property.Name, error.Message()}));
            throw;
        }
        return reader.Handled();
    }

    static int64_t OrdinalOfIdent(const TPropInfo& info, const AnsiString& ident) {
        for (size_t i = 0; i < info.EnumNames.size(); ++i)
            if (SameIdentifier(info.EnumNames[i], ident))
                return static_cast<int64_t>(i);
        throw EConvertError("unknown identifier");
    }

    void Assign(TPersistent& instance, const TPropInfo& info, const TFormValue& value) {
        switch (info.Kind) {
        case TTypeKind::tkInteger:
            if (value.Type == TValueType::vaIdent && info.IdentMap != nullptr) {
                for (const TIdentMapEntry& entry : *info.IdentMap)
                    if (SameIdentifier(entry.Name, value.AsIdent()))
                        return info.SetOrdinal(instance, entry.Value);
                throw EConvertError("unknown identifier");
            }
            return info.SetOrdinal(instance, value.AsInteger());
        case TTypeKind::tkBoolean:
            return info.SetOrdinal(instance, value.AsBoolean() ? 1 : 0);
        case TTypeKind::tkEnumeration:
            return info.SetOrdinal(instance, OrdinalOfIdent(info, value.AsIdent()));
        case TTypeKind::tkSet: {
            if (value.Type != TValueType::vaSet)
                throw EConvertError("not a set");
            int64_t bits = 0;
            for (const AnsiString& item : value.SetItems) {
                const int64_t ordinal = OrdinalOfIdent(info, item);
                if (ordinal >= 32)
                    throw EConvertError("set element out of range");
                bits |= int64_t{1} << ordinal;
            }
            return info.SetOrdinal(instance, bits);
        }
        case TTypeKind::tkString:
        case TTypeKind::tkWString:
            return info.SetText(instance, value.AsWideText());
        case TTypeKind::tkWChar: {
            if (value.IsInteger()) {
                const int64_t unit = value.AsInteger();
                if (unit < 0 || unit > 0xFFFF)
                    throw EConvertError("character out of range");
                return info.SetOrdinal(instance, unit);
            }
            const WideString text = value.AsWideText();
            if (text.size() > 1)
                throw EConvertError("more than one character");
            return info.SetOrdinal(instance, text.empty() ? 0 : text[0]);
        }
        case TTypeKind::tkMethod: {
            if (value.Type == TValueType::vaNil)
                return info.BindMethod ? info.BindMethod(instance, &root_, nullptr)
                                       : info.SetMethod(instance, nullptr, {});
            const AnsiString& methodName = value.AsIdent();
            const TMethodEntry* method = root_.ClassInfo().FindMethod(methodName);
            if (method == nullptr)
                throw EConvertError("no such method");
            if (info.BindMethod)
                return info.BindMethod(instance, &root_, method);
            if (!method->Invoke)
                throw EConvertError("method of another kind");
            TComponent* root = &root_;
            auto invoke = method->Invoke;
            return info.SetMethod(
                instance, [root, invoke](TObject* sender) { invoke(*root, sender); }, method->Name);
        }
        case TTypeKind::tkClass:
            throw EConvertError("object properties take nested values");
        }
    }

    TComponent& root_;
    std::vector<TComponent*> loaded_;
    std::vector<Fixup> fixups_;
};

} // namespace

void ReadComponentFromForm(TComponent& root, const TFormObject& description) {
    FormReader(root).Read(description);
}
