#include "VynTrxForms.h"

#include "FormLoader.h"
#include "FormWriter.h"
#include "TextConversion.h"
#include "WideCompare.h"

namespace {

// The component path of an entry: what precedes its last ".", and the property after it.
bool SplitEntry(const WideString& entry, WideString& path, WideString& property) {
    const auto dot = entry.rfind(u'.');
    if (dot == WideString::npos)
        return false;
    path = entry.substr(0, dot);
    property = entry.substr(dot + 1);
    return true;
}

} // namespace

// --- TVynTrxStringList --------------------------------------------------------------------------

const TClassInfo& TVynTrxStringList::StaticClassInfo() {
    static const TClassInfo info{"TVynTrxStringList", &TVynStringList::StaticClassInfo()};
    return info;
}

TVynTrxStringList::TVynTrxStringList() {
    SetDuplicates(DupIgnore);
    SetSorted(true);
}

void TVynTrxStringList::Assign(const TPersistent* source) {
    const auto* wide = dynamic_cast<const TVynStrings*>(source);
    if (wide == nullptr || wide == this) {
        TVynStringList::Assign(source);
        return;
    }
    TVynUpdateBracket bracket(*this);
    RemoveAll();
    for (int32_t i = 0; i < wide->Count(); ++i)
        AppendEntry(wide->Entry(i));
}

void TVynTrxStringList::ReadEntries(TReader& reader) {
    TVynUpdateBracket bracket(*this);
    RemoveAll();
    reader.ReadListBegin();
    while (!reader.EndOfList()) {
        const TValueType type = reader.NextValue();
        if (type == TValueType::vaString || type == TValueType::vaLString)
            AppendEntry(AnsiToWide(reader.ReadString()));
        else
            AppendEntry(reader.ReadWideString());
    }
    reader.ReadListEnd();
}

bool TVynTrxStringList::DiffersFromAncestor(const TFiler& filer) const {
    const auto* ancestor = dynamic_cast<const TVynTrxStringList*>(filer.Ancestor());
    if (ancestor == nullptr)
        return false;
    if (ancestor->Count() != Count())
        return true;
    for (int32_t i = 0; i < Count(); ++i)
        if (ancestor->Entry(i) != Entry(i))
            return true;
    return false;
}

void TVynTrxStringList::DefineProperties(TFiler& filer) {
    filer.DefineProperty(
        "WideStrings", [this](TReader& reader) { ReadEntries(reader); },
        [this](TWriter& writer) {
            writer.WriteListBegin();
            for (int32_t i = 0; i < Count(); ++i)
                writer.WriteWideString(Entry(i));
            writer.WriteListEnd();
        },
        Count() > 0 || DiffersFromAncestor(filer));
}

void TVynTrxStringList::RenameComponent(const WideString& current, const WideString& newName) {
    if (current.empty() || newName.empty())
        return;
    TVynStringList copy;
    copy.Assign(this);
    for (int32_t i = copy.Count() - 1; i >= 0; --i) {
        WideString path;
        WideString property;
        if (SplitEntry(copy.Entry(i), path, property) && CompareWideText(path, current, false) == 0)
            copy.SetEntry(i, newName + u"." + property);
    }
    Assign(&copy);
}

const TClassInfo& TVynTrxTranslatableProps::StaticClassInfo() {
    static const TClassInfo info{"TVynTrxTranslatableProps", &TVynTrxStringList::StaticClassInfo()};
    return info;
}

const TClassInfo& TVynTrxInlineClasses::StaticClassInfo() {
    static const TClassInfo info{"TVynTrxInlineClasses", &TVynTrxStringList::StaticClassInfo()};
    return info;
}

// --- TVynTrxForm --------------------------------------------------------------------------------

const TClassInfo& TVynTrxForm::StaticClassInfo() {
    static const TClassInfo info = [] {
        TClassInfo result{"TVynTrxForm", &TVynFormLX::StaticClassInfo()};
        result.Properties = {
            ObjectProperty<TVynTrxForm>("VynTranslatableProps", &TVynTrxForm::TranslatablePropsObject),
            ObjectProperty<TVynTrxForm>("VynInlineClasses", &TVynTrxForm::InlineClassesObject),
        };
        return result;
    }();
    return info;
}

TVynTrxForm::TVynTrxForm(TComponent* owner) : TVynFormLX(owner, TVynTrxForm::StaticClassInfo()) {}

TVynTrxForm::~TVynTrxForm() = default;

void TVynTrxForm::SetVynTranslatableProps(const TVynStrings* props) {
    TranslatableProps->Assign(props);
}

void TVynTrxForm::SetVynInlineClasses(const TVynStrings* classes) {
    InlineClasses->Assign(classes);
}

void TVynTrxForm::ValidateRename(TComponent* component, const AnsiString& current, const AnsiString& newName) {
    TVynFormLX::ValidateRename(component, current, newName);
    TranslatableProps->RenameComponent(AnsiToWide(current), AnsiToWide(newName));
}
