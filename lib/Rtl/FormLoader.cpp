#include "FormLoader.h"

#include "Format.h"

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
        for (TComponent* component : loaded_)
            component->Loaded();
    }

private:
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

    [[noreturn]] void Invalid(const TComponent& component, const TFormProperty& property, const char* reason) {
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
            if (info->Kind != TTypeKind::tkClass || (instance = info->GetObject(*instance)) == nullptr) {
                info = nullptr;
                break;
            }
            path.erase(0, dot + 1);
        }
        if (info == nullptr) {
            component.KeptProperties().push_back(property);
            return;
        }
        try {
            Assign(*instance, *info, property.Value);
        } catch (EConvertError&) {
            Invalid(component, property, "Invalid property value");
        }
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
        case TTypeKind::tkBoolean: return info.SetOrdinal(instance, value.AsBoolean() ? 1 : 0);
        case TTypeKind::tkEnumeration: return info.SetOrdinal(instance, OrdinalOfIdent(info, value.AsIdent()));
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
        case TTypeKind::tkWString: return info.SetText(instance, value.AsWideText());
        case TTypeKind::tkMethod: {
            if (value.Type == TValueType::vaNil)
                return info.SetMethod(instance, nullptr, {});
            const AnsiString& methodName = value.AsIdent();
            const TMethodEntry* method = root_.ClassInfo().FindMethod(methodName);
            if (method == nullptr)
                throw EConvertError("no such method");
            TComponent* root = &root_;
            auto invoke = method->Invoke;
            return info.SetMethod(
                instance, [root, invoke](TObject* sender) { invoke(*root, sender); }, method->Name);
        }
        case TTypeKind::tkClass: throw EConvertError("object properties take nested values");
        }
    }

    TComponent& root_;
    std::vector<TComponent*> loaded_;
};

} // namespace

void ReadComponentFromForm(TComponent& root, const TFormObject& description) { FormReader(root).Read(description); }
