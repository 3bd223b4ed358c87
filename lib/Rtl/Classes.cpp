#include "Classes.h"

#include <algorithm>
#include <cctype>

#include "Format.h"
#include "TextConversion.h"

// ASCII case folding, as the C locale's toupper does, without a library call per character: name
// look-ups run for every field of a data set of thousands.
bool SameIdentifier(const AnsiString& a, const AnsiString& b) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return upper(x) == upper(y); });
}

namespace {

template <class Entry>
const Entry* FindIn(const TClassInfo* info, const AnsiString& name, std::vector<Entry> TClassInfo::*list) {
    for (; info != nullptr; info = info->Parent)
        for (const Entry& entry : info->*list)
            if (SameIdentifier(entry.Name, name))
                return &entry;
    return nullptr;
}

std::vector<const TClassInfo*>& Registry() {
    static std::vector<const TClassInfo*> classes;
    return classes;
}

bool IsIdentifier(const AnsiString& name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

} // namespace

const TPropInfo* TClassInfo::FindProperty(const AnsiString& name) const {
    return FindIn(this, name, &TClassInfo::Properties);
}

const TMethodEntry* TClassInfo::FindMethod(const AnsiString& name) const {
    return FindIn(this, name, &TClassInfo::Methods);
}

const TFieldEntry* TClassInfo::FindField(const AnsiString& name) const {
    return FindIn(this, name, &TClassInfo::Fields);
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
    for (const TClassInfo* info = this; info != nullptr; info = info->Parent)
        if (info == &other)
            return true;
    return false;
}

const TClassInfo& TObject::StaticClassInfo() {
    static const TClassInfo info{"TObject"};
    return info;
}

const TClassInfo& TPersistent::StaticClassInfo() {
    static const TClassInfo info{"TPersistent", &TObject::StaticClassInfo()};
    return info;
}

void TPersistent::Assign(const TPersistent* source) {
    if (source == nullptr)
        AssignError(nullptr);
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* destination) const {
    if (destination == nullptr)
        throw EConvertError(Format("Cannot assign a %s to a nil", {ClassName()}));
    destination->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const {
    const AnsiString sourceName = source != nullptr ? source->ClassName() : AnsiString("nil");
    throw EConvertError(Format("Cannot assign a %s to a %s", {sourceName, ClassName()}));
}

void TPersistent::DefineProperties(TFiler&) {}

void RegisterComponentClass(const TClassInfo& info) {
    auto& classes = Registry();
    if (std::find(classes.begin(), classes.end(), &info) == classes.end())
        classes.push_back(&info);
}

void UnregisterComponentClass(const TClassInfo& info) {
    auto& classes = Registry();
    classes.erase(std::remove(classes.begin(), classes.end(), &info), classes.end());
}

const TClassInfo* FindClassInfo(const AnsiString& className) {
    for (const TClassInfo* info : Registry())
        if (SameIdentifier(info->ClassName, className))
            return info;
    return nullptr;
}

const TClassInfo& GetClassInfo(const AnsiString& className) {
    const TClassInfo* info = FindClassInfo(className);
    if (info == nullptr)
        throw EClassNotFound(Format("Class %s not found", {className}));
    return *info;
}

TPropInfo MakeAnsiStringProperty(const char* name, std::function<AnsiString(const TPersistent&)> get,
                                 std::function<void(TPersistent&, const AnsiString&)> set) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkString;
    info.GetText = [get](const TPersistent& o) { return AnsiToWide(get(o)); };
    info.SetText = [set](TPersistent& o, const WideString& v) { set(o, WideToAnsi(v)); };
    return info;
}

namespace {

TPropInfo TagProperty() {
    TPropInfo info = IntegerProperty<TComponent>("Tag", &TComponent::Tag, &TComponent::SetTag);
    info.Default = 0;
    return info;
}

} // namespace

const TClassInfo& TComponent::StaticClassInfo() {
    static const TClassInfo info{
        "TComponent",
        &TPersistent::StaticClassInfo(),
        {MakeAnsiStringProperty(
             "Name", [](const TPersistent& o) { return static_cast<const TComponent&>(o).Name(); },
             [](TPersistent& o, const AnsiString& v) { static_cast<TComponent&>(o).SetName(v); }),
         TagProperty()},
    };
    return info;
}

TComponent::TComponent(TComponent* owner) {
    if (owner != nullptr)
        owner->InsertComponent(this);
}

TComponent::~TComponent() {
    state_ |= csDestroying;
    // Owned components go first, the most recently inserted first, while this one is still whole.
    while (!components_.empty()) {
        TComponent* last = components_.back();
        components_.pop_back();
        last->owner_ = nullptr;
        delete last;
    }
    if (owner_ != nullptr)
        owner_->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* component) {
    components_.push_back(component);
    component->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* component) {
    components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
    component->owner_ = nullptr;
}

void TComponent::SetName(const AnsiString& name) {
    if (name == name_)
        return;
    if (!name.empty() && !IsIdentifier(name))
        throw EComponentError(Format("Component name \"%s\" is not a valid identifier", {name}));
    if (owner_ != nullptr)
        owner_->ValidateRename(this, name_, name);
    name_ = name;
}

void TComponent::ValidateRename(TComponent* component, const AnsiString&, const AnsiString& newName) {
    if (newName.empty())
        return;
    const TComponent* other = FindComponent(newName);
    if (other != nullptr && other != component)
        throw EComponentError(Format("A component named %s already exists", {newName}));
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
    if (name.empty())
        return nullptr;
    for (TComponent* component : components_)
        if (SameIdentifier(component->name_, name))
            return component;
    return nullptr;
}

void TComponent::SetLoading(bool loading) {
    if (loading)
        state_ |= csLoading;
    else
        state_ &= ~static_cast<uint32_t>(csLoading);
}

void TComponent::SetDesigning(bool designing) {
    if (designing)
        state_ |= csDesigning;
    else
        state_ &= ~static_cast<uint32_t>(csDesigning);
}

void TComponent::Loaded() { SetLoading(false); }

void TComponent::SetParentComponent(TComponent*) {}
