#include "FormWriter.h"

#include <algorithm>

#include "Format.h"

TWriter::TWriter(TComponent& root, TComponent* rootAncestor) {
    root_ = &root;
    rootAncestor_ = rootAncestor;
}

void TWriter::DefineProperty(const AnsiString& name, const std::function<void(TReader&)>&,
                             const std::function<void(TWriter&)>& write, bool hasData) {
    if (!hasData || !write || properties_ == nullptr)
        return;
    written_.clear();
    openLists_.clear();
    write(*this);
    if (!openLists_.empty() || written_.size() != 1)
        throw EWriteError(Format("Property %s%s was not written as one value", {prefix_, name}));
    Add(name, std::move(written_.front()));
    written_.clear();
}

void TWriter::WriteValue(TFormValue value) {
    if (!openLists_.empty())
        openLists_.back().List.push_back(std::move(value));
    else
        written_.push_back(std::move(value));
}

void TWriter::WriteString(const AnsiString& text) {
    TFormValue value;
    value.Type = text.size() <= 255 ? TValueType::vaString : TValueType::vaLString;
    value.Text = text;
    WriteValue(std::move(value));
}

void TWriter::WriteWideString(const WideString& text) {
    TFormValue value;
    value.Type = TValueType::vaWString;
    value.Wide = text;
    WriteValue(std::move(value));
}

void TWriter::WriteInteger(int64_t value) {
    WriteValue(TFormValue::FromInteger(value));
}

void TWriter::WriteBoolean(bool value) {
    WriteValue(TFormValue::FromBoolean(value));
}

void TWriter::WriteIdent(const AnsiString& ident) {
    WriteValue(TFormValue::FromIdent(ident));
}

void TWriter::WriteListBegin() {
    openLists_.push_back(TFormValue::FromList({}));
}

void TWriter::WriteListEnd() {
    if (openLists_.empty())
        throw EWriteError("List end without a list");
    TFormValue list = std::move(openLists_.back());
    openLists_.pop_back();
    WriteValue(std::move(list));
}

void TWriter::Add(const AnsiString& name, TFormValue value) {
    properties_->push_back({prefix_ + name, std::move(value)});
}

void TWriter::WriteProperties(TPersistent& instance, TPersistent* ancestor, const AnsiString& prefix,
                              std::vector<TFormProperty>& properties) {
    if (std::count(prefix.begin(), prefix.end(), '.') >= FormMaxNesting)
        throw EWriteError("Form nesting too deep");
    std::vector<TFormProperty>* const savedProperties = properties_;
    const AnsiString savedPrefix = prefix_;
    TPersistent* const savedAncestor = ancestor_;
    properties_ = &properties;
    prefix_ = prefix;
    ancestor_ = ancestor;
    try {
        // Base classes first: the order in which the properties were declared.
        std::vector<const TClassInfo*> chain;
        for (const TClassInfo* info = &instance.ClassInfo(); info != nullptr; info = info->Parent)
            chain.push_back(info);
        const bool isComponent = dynamic_cast<TComponent*>(&instance) != nullptr;
        std::vector<AnsiString> written;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            for (const TPropInfo& info : (*it)->Properties) {
                // A component's name is part of its object header, not a property.
                if (isComponent && SameIdentifier(info.Name, "Name"))
                    continue;
                // A property a subclass declares again is written once, where it was first
                // declared, through the subclass's declaration (a wide caption over an ANSI one).
                if (std::any_of(written.begin(), written.end(),
                                [&](const AnsiString& name) { return SameIdentifier(name, info.Name); }))
                    continue;
                written.push_back(info.Name);
                const TPropInfo* effective = instance.ClassInfo().FindProperty(info.Name);
                WritePublished(instance, ancestor, effective != nullptr ? *effective : info);
            }
        instance.DefineProperties(*this);
    } catch (...) {
        properties_ = savedProperties;
        prefix_ = savedPrefix;
        ancestor_ = savedAncestor;
        throw;
    }
    properties_ = savedProperties;
    prefix_ = savedPrefix;
    ancestor_ = savedAncestor;
}

void TWriter::WritePublished(TPersistent& instance, TPersistent* ancestor, const TPropInfo& info) {
    if (!info.IsStored(instance))
        return;
    const TPropInfo* ancestorInfo =
        ancestor != nullptr ? ancestor->ClassInfo().FindProperty(info.Name) : nullptr;
    if (ancestorInfo != nullptr && ancestorInfo->Kind != info.Kind)
        ancestorInfo = nullptr;
    switch (info.Kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkBoolean:
    case TTypeKind::tkEnumeration:
    case TTypeKind::tkSet:
    case TTypeKind::tkWChar: {
        if (!info.GetOrdinal || !info.SetOrdinal)
            return;
        const int64_t value = info.GetOrdinal(instance);
        if (ancestorInfo != nullptr && ancestorInfo->GetOrdinal) {
            if (value == ancestorInfo->GetOrdinal(*ancestor))
                return;
        } else if (info.HasDefault() && value == info.Default) {
            return;
        }
        if (info.Kind == TTypeKind::tkBoolean)
            return Add(info.Name, TFormValue::FromBoolean(value != 0));
        if (info.Kind == TTypeKind::tkEnumeration) {
            if (value < 0 || static_cast<uint64_t>(value) >= info.EnumNames.size())
                throw EWriteError(
                    Format("Property %s%s has no name for its value %d", {prefix_, info.Name, value}));
            return Add(info.Name, TFormValue::FromIdent(info.EnumNames[static_cast<size_t>(value)]));
        }
        if (info.Kind == TTypeKind::tkSet) {
            std::vector<AnsiString> items;
            for (size_t bit = 0; bit < 32; ++bit) {
                if ((value & (int64_t{1} << bit)) == 0)
                    continue;
                if (bit >= info.EnumNames.size())
                    throw EWriteError(
                        Format("Property %s%s has no name for its value %d", {prefix_, info.Name, value}));
                items.push_back(info.EnumNames[bit]);
            }
            return Add(info.Name, TFormValue::FromSet(std::move(items)));
        }
        if (info.IdentMap != nullptr)
            for (const TIdentMapEntry& entry : *info.IdentMap)
                if (entry.Value == value)
                    return Add(info.Name, TFormValue::FromIdent(entry.Name));
        return Add(info.Name, TFormValue::FromInteger(value));
    }
    case TTypeKind::tkString:
    case TTypeKind::tkWString: {
        if (!info.GetText || !info.SetText)
            return;
        const WideString text = info.GetText(instance);
        if (ancestorInfo != nullptr && ancestorInfo->GetText ? text == ancestorInfo->GetText(*ancestor)
                                                             : text.empty())
            return;
        return Add(info.Name, TFormValue::FromText(text));
    }
    case TTypeKind::tkMethod: {
        if (!info.GetMethodName)
            return;
        const AnsiString method = info.GetMethodName(instance);
        if (ancestorInfo != nullptr && ancestorInfo->GetMethodName
                ? method == ancestorInfo->GetMethodName(*ancestor)
                : method.empty())
            return;
        return Add(info.Name, method.empty() ? TFormValue::Nil() : TFormValue::FromIdent(method));
    }
    case TTypeKind::tkClass: {
        if (info.GetReference) {
            const TComponent* target = info.GetReference(instance);
            const TComponent* ancestorTarget = ancestorInfo != nullptr && ancestorInfo->GetReference
                                                   ? ancestorInfo->GetReference(*ancestor)
                                                   : nullptr;
            const AnsiString name = target != nullptr ? target->Name() : AnsiString();
            const AnsiString ancestorName = ancestorTarget != nullptr ? ancestorTarget->Name() : AnsiString();
            if (SameIdentifier(name, ancestorName))
                return;
            // A component without a name cannot be found again by a reader.
            if (target != nullptr && name.empty())
                return;
            return Add(info.Name, name.empty() ? TFormValue::Nil() : TFormValue::FromIdent(name));
        }
        TPersistent* object = info.GetObject ? info.GetObject(instance) : nullptr;
        // References to components are not stored as sub-objects.
        if (object == nullptr || dynamic_cast<TComponent*>(object) != nullptr)
            return;
        TPersistent* objectAncestor =
            ancestorInfo != nullptr && ancestorInfo->GetObject ? ancestorInfo->GetObject(*ancestor) : nullptr;
        return WriteProperties(*object, objectAncestor, prefix_ + info.Name + ".", *properties_);
    }
    }
}

namespace {

bool WrittenAsChild(const TComponent& root, const TComponent* component) {
    return component != nullptr && component != &root && component->Owner() == &root &&
           !component->Name().empty();
}

void WriteChildren(TWriter& writer, TComponent& root, TComponent* ancestor, const TComponent& parent,
                   std::vector<TFormObject>& children, int depth) {
    if (depth >= FormMaxNesting)
        throw EWriteError("Form nesting too deep");
    for (int i = 0; i < root.ComponentCount(); ++i) {
        TComponent* component = root.Components(i);
        if (component->Name().empty())
            continue;
        const TComponent* container = component->GetParentComponent();
        if (!WrittenAsChild(root, container))
            container = &root;
        if (container != &parent)
            continue;
        TFormObject child;
        child.ClassName = component->ClassName();
        child.Name = component->Name();
        TComponent* childAncestor =
            ancestor != nullptr ? ancestor->FindComponent(component->Name()) : nullptr;
        if (childAncestor != nullptr)
            child.Flags |= ffInherited;
        writer.WriteProperties(*component, childAncestor, "", child.Properties);
        WriteChildren(writer, root, ancestor, *component, child.Children, depth + 1);
        children.push_back(std::move(child));
    }
}

} // namespace

TFormObject WriteComponentToForm(TComponent& root, TComponent* ancestor) {
    TWriter writer(root, ancestor);
    TFormObject result;
    result.ClassName = root.ClassName();
    result.Name = root.Name();
    writer.WriteProperties(root, ancestor, "", result.Properties);
    WriteChildren(writer, root, ancestor, root, result.Children, 1);
    return result;
}
