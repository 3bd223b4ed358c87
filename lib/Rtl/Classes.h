// Objects with run-time class information, published-property tables, persistent objects and
// components with ownership. Platform-free: the form reader and the translation tools work from
// these tables on every platform.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "Exceptions.h"
#include "FormData.h"
#include "SysTypes.h"

class TObject;
class TPersistent;
class TComponent;
class TReader;
class TWriter;
struct TMethodEntry;

using TNotifyEvent = std::function<void(TObject* sender)>;

// tkWChar is one UTF-16 unit, read and written through GetOrdinal/SetOrdinal.
enum class TTypeKind {
    tkInteger,
    tkBoolean,
    tkEnumeration,
    tkSet,
    tkString,
    tkWString,
    tkWChar,
    tkClass,
    tkMethod
};

// Integer values that a stored description may also write as identifiers (colours, charsets).
struct TIdentMapEntry {
    int32_t Value;
    const char* Name;
};

struct TPropInfo {
    AnsiString Name;
    TTypeKind Kind = TTypeKind::tkInteger;
    // Enumerations and sets: the identifier of each ordinal (a set stores bit n for ordinal n).
    std::vector<AnsiString> EnumNames;
    const std::vector<TIdentMapEntry>* IdentMap = nullptr;
    std::function<int64_t(const TPersistent&)> GetOrdinal;
    std::function<void(TPersistent&, int64_t)> SetOrdinal;
    std::function<WideString(const TPersistent&)> GetText;
    std::function<void(TPersistent&, const WideString&)> SetText;
    std::function<TPersistent*(TPersistent&)> GetObject;
    std::function<void(TPersistent&, TNotifyEvent, const AnsiString& methodName)> SetMethod;
    std::function<AnsiString(const TPersistent&)> GetMethodName;
    // Events of other shapes than TNotifyEvent bind the owner's method themselves (null = nil);
    // they raise EConvertError for a method of another shape.
    std::function<void(TPersistent&, TComponent* root, const TMethodEntry* method)> BindMethod;
    // A tkClass property that refers to a component rather than holding a sub-object: stored by
    // the component's name, resolved once the whole description is read.
    std::function<TComponent*(const TPersistent&)> GetReference;
    std::function<void(TPersistent&, TComponent*)> SetReference;
    // False for a property the writer leaves out of stored descriptions; none means stored.
    std::function<bool(const TPersistent&)> Stored;
    // The value the writer leaves out; none for most properties.
    int64_t Default = std::numeric_limits<int64_t>::min();

    bool HasDefault() const { return Default != std::numeric_limits<int64_t>::min(); }
    bool IsReference() const { return Kind == TTypeKind::tkClass && static_cast<bool>(SetReference); }
    bool IsStored(const TPersistent& instance) const { return !Stored || Stored(instance); }
};

// A published method, callable by name (event handlers bound from stored descriptions). Key
// handlers (sender, key, shift state) have InvokeKey instead of Invoke; handlers of any other
// shape have InvokeTyped, a std::function<void(TObject& self, Args...)> that only an event
// property of the same arguments takes (PublishedTypedMethod, TypedEventProperty).
struct TMethodEntry {
    AnsiString Name;
    std::function<void(TObject& self, TObject* sender)> Invoke;
    std::function<void(TObject& self, TObject* sender, uint16_t& key, uint32_t shift)> InvokeKey = {};
    std::any InvokeTyped = {};
};

// A published component field, filled with the component of the same name when a form is read.
struct TFieldEntry {
    AnsiString Name;
    std::function<void(TObject& self, TComponent* component)> Assign;
};

struct TClassInfo {
    AnsiString ClassName;
    const TClassInfo* Parent = nullptr;
    std::vector<TPropInfo> Properties = {};
    std::vector<TMethodEntry> Methods = {};
    std::vector<TFieldEntry> Fields = {};
    // Creates an instance owned by owner; set for classes a stored description may name.
    TComponent* (*Create)(TComponent* owner) = nullptr;

    // Look-ups walk up the class chain and ignore case, as identifiers do.
    const TPropInfo* FindProperty(const AnsiString& name) const;
    const TMethodEntry* FindMethod(const AnsiString& name) const;
    const TFieldEntry* FindField(const AnsiString& name) const;
    bool InheritsFrom(const TClassInfo& other) const;
};

bool SameIdentifier(const AnsiString& a, const AnsiString& b);

#define RTL_DECLARE_CLASS_INFO()                                                                             \
public:                                                                                                      \
    static const TClassInfo& StaticClassInfo();                                                              \
    const TClassInfo& ClassInfo() const override {                                                           \
        return StaticClassInfo();                                                                            \
    }

class TObject {
public:
    virtual ~TObject() = default;
    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
    const AnsiString& ClassName() const { return ClassInfo().ClassName; }
    bool InheritsFrom(const TClassInfo& info) const { return ClassInfo().InheritsFrom(info); }
};

// What reads or writes a stored description, as a persistent object sees it while it declares
// the extra properties it stores itself.
class TFiler {
public:
    virtual ~TFiler() = default;

    // Declares a stored property "name" beyond the published ones. A reader calls read when the
    // description holds that property; a writer calls write when hasData is true. Each callback
    // reads or writes exactly one value.
    virtual void DefineProperty(const AnsiString& name, const std::function<void(TReader&)>& read,
                                const std::function<void(TWriter&)>& write, bool hasData) = 0;

    // The object whose values the one being written is compared with (an inherited form's
    // ancestor); null when there is none, and always for a reader.
    TPersistent* Ancestor() const { return ancestor_; }
    // The component whose description is read or written.
    TComponent* Root() const { return root_; }
    TComponent* RootAncestor() const { return rootAncestor_; }

protected:
    TPersistent* ancestor_ = nullptr;
    TComponent* root_ = nullptr;
    TComponent* rootAncestor_ = nullptr;
};

class TPersistent : public TObject {
    RTL_DECLARE_CLASS_INFO()
public:
    // Copies source into this object: the base asks source to AssignTo this one. Raises
    // EConvertError "Cannot assign a <source class> to a <class>" when neither side knows how
    // (a null source reads "nil").
    virtual void Assign(const TPersistent* source);
    // Declares the properties this object stores beyond its published ones; none by default.
    virtual void DefineProperties(TFiler& filer);

protected:
    virtual void AssignTo(TPersistent* destination) const;
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

// Registry of the classes a stored description may create, filled by the units' start-up.
void RegisterComponentClass(const TClassInfo& info);
void UnregisterComponentClass(const TClassInfo& info);
const TClassInfo* FindClassInfo(const AnsiString& className);
// Raises EClassNotFound "Class %s not found".
const TClassInfo& GetClassInfo(const AnsiString& className);

enum TComponentStateFlag : uint32_t { csLoading = 1, csDestroying = 2, csDesigning = 4 };

// A component belongs to its owner, which destroys it; components are therefore created on the
// heap when they have an owner.
class TComponent : public TPersistent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const AnsiString& Name() const { return name_; }
    // Raises EComponentError for a name that is not an identifier or is taken within the owner.
    virtual void SetName(const AnsiString& name);
    // Asked by SetName of a component this one owns before it takes newName: raises
    // EComponentError when another owned component has that name.
    virtual void ValidateRename(TComponent* component, const AnsiString& current, const AnsiString& newName);
    int32_t Tag() const { return tag_; }
    void SetTag(int32_t tag) { tag_ = tag; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
    TComponent* FindComponent(const AnsiString& name) const;

    uint32_t ComponentState() const { return state_; }
    void SetLoading(bool loading);
    // Design state: stored descriptions are read as an editor would, with every form of a value.
    void SetDesigning(bool designing);

    // Called once every property of a stored description has been read.
    virtual void Loaded();
    // The component that contains this one in a stored description (a control's parent).
    virtual void SetParentComponent(TComponent* parent);
    // The component it is written inside of; null means directly inside its owner.
    virtual TComponent* GetParentComponent() const { return nullptr; }

    // Properties of a stored description that no class of this program knows, kept as read.
    std::vector<TFormProperty>& KeptProperties() { return keptProperties_; }
    const std::vector<TFormProperty>& KeptProperties() const { return keptProperties_; }

private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    TComponent* owner_ = nullptr;
    AnsiString name_;
    int32_t tag_ = 0;
    uint32_t state_ = 0;
    std::vector<TComponent*> components_;
    std::vector<TFormProperty> keptProperties_;
};

// Property-table builders for the common shapes of accessors.
template <class C>
TPropInfo IntegerProperty(const char* name, int32_t (C::*get)() const, void (C::*set)(int32_t),
                          const std::vector<TIdentMapEntry>* idents = nullptr) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkInteger;
    info.IdentMap = idents;
    info.GetOrdinal = [get](const TPersistent& o) {
        return static_cast<int64_t>((static_cast<const C&>(o).*get)());
    };
    info.SetOrdinal = [set](TPersistent& o, int64_t v) {
        (static_cast<C&>(o).*set)(static_cast<int32_t>(v));
    };
    return info;
}

template <class C> TPropInfo BooleanProperty(const char* name, bool (C::*get)() const, void (C::*set)(bool)) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkBoolean;
    info.GetOrdinal = [get](const TPersistent& o) {
        return static_cast<int64_t>((static_cast<const C&>(o).*get)());
    };
    info.SetOrdinal = [set](TPersistent& o, int64_t v) { (static_cast<C&>(o).*set)(v != 0); };
    return info;
}

template <class C, class E>
TPropInfo EnumProperty(const char* name, E (C::*get)() const, void (C::*set)(E),
                       std::vector<AnsiString> names) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkEnumeration;
    info.EnumNames = std::move(names);
    info.GetOrdinal = [get](const TPersistent& o) {
        return static_cast<int64_t>((static_cast<const C&>(o).*get)());
    };
    info.SetOrdinal = [set](TPersistent& o, int64_t v) { (static_cast<C&>(o).*set)(static_cast<E>(v)); };
    return info;
}

template <class C>
TPropInfo SetProperty(const char* name, uint32_t (C::*get)() const, void (C::*set)(uint32_t),
                      std::vector<AnsiString> names) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkSet;
    info.EnumNames = std::move(names);
    info.GetOrdinal = [get](const TPersistent& o) {
        return static_cast<int64_t>((static_cast<const C&>(o).*get)());
    };
    info.SetOrdinal = [set](TPersistent& o, int64_t v) {
        (static_cast<C&>(o).*set)(static_cast<uint32_t>(v));
    };
    return info;
}

// An ANSI text property; stored wide text reaches it through the runtime's conversion.
TPropInfo MakeAnsiStringProperty(const char* name, std::function<AnsiString(const TPersistent&)> get,
                                 std::function<void(TPersistent&, const AnsiString&)> set);

template <class C>
TPropInfo AnsiStringProperty(const char* name, AnsiString (C::*get)() const,
                             void (C::*set)(const AnsiString&)) {
    return MakeAnsiStringProperty(
        name, [get](const TPersistent& o) { return (static_cast<const C&>(o).*get)(); },
        [set](TPersistent& o, const AnsiString& v) { (static_cast<C&>(o).*set)(v); });
}

template <class C>
TPropInfo WideStringProperty(const char* name, WideString (C::*get)() const,
                             void (C::*set)(const WideString&)) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkWString;
    info.GetText = [get](const TPersistent& o) { return (static_cast<const C&>(o).*get)(); };
    info.SetText = [set](TPersistent& o, const WideString& v) { (static_cast<C&>(o).*set)(v); };
    return info;
}

template <class C>
TPropInfo WideCharProperty(const char* name, char16_t (C::*get)() const, void (C::*set)(char16_t)) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkWChar;
    info.GetOrdinal = [get](const TPersistent& o) {
        return static_cast<int64_t>((static_cast<const C&>(o).*get)());
    };
    info.SetOrdinal = [set](TPersistent& o, int64_t v) {
        (static_cast<C&>(o).*set)(static_cast<char16_t>(v));
    };
    return info;
}

template <class C> TPropInfo ObjectProperty(const char* name, TPersistent* (C::*get)()) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkClass;
    info.GetObject = [get](TPersistent& o) { return (static_cast<C&>(o).*get)(); };
    return info;
}

// An event property backed by a TNotifyEvent field and the name of the handler bound to it.
template <class C>
TPropInfo EventProperty(const char* name, TNotifyEvent C::*handler, AnsiString C::*handlerName) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkMethod;
    info.SetMethod = [handler, handlerName](TPersistent& o, TNotifyEvent event, const AnsiString& method) {
        static_cast<C&>(o).*handler = std::move(event);
        static_cast<C&>(o).*handlerName = method;
    };
    info.GetMethodName = [handlerName](const TPersistent& o) {
        return static_cast<const C&>(o).*handlerName;
    };
    return info;
}

template <class C> TMethodEntry PublishedMethod(const char* name, void (C::*method)(TObject*)) {
    return {name, [method](TObject& self, TObject* sender) { (static_cast<C&>(self).*method)(sender); }};
}

template <class C>
TMethodEntry PublishedKeyMethod(const char* name, void (C::*method)(TObject*, uint16_t&, uint32_t)) {
    return {name, nullptr, [method](TObject& self, TObject* sender, uint16_t& key, uint32_t shift) {
                (static_cast<C&>(self).*method)(sender, key, shift);
            }};
}

// A published method of another shape than the notify and key handlers (TypedEventProperty).
template <class C, class... Args>
TMethodEntry PublishedTypedMethod(const char* name, void (C::*method)(Args...)) {
    TMethodEntry entry{name, nullptr};
    entry.InvokeTyped = std::function<void(TObject&, Args...)>([method](TObject& self, Args... args) {
        (static_cast<C&>(self).*method)(std::forward<Args>(args)...);
    });
    return entry;
}

// An event property of another shape than TNotifyEvent (Event = std::function<void(Args...)>),
// bound to a published method of the root made by PublishedTypedMethod with the same arguments;
// a method of another shape raises EConvertError. set receives the handler (null for nil) and
// the name of the method it calls, which getName gives back to the writer.
template <class Event> struct TypedEventBinding;
template <class... Args> struct TypedEventBinding<std::function<void(Args...)>> {
    using Method = std::function<void(TObject& self, Args...)>;
    static std::function<void(Args...)> Bind(TComponent* root, Method method) {
        return [root, method](Args... args) { method(*root, std::forward<Args>(args)...); };
    }
};

template <class Event>
TPropInfo TypedEventProperty(
    const char* name,
    std::type_identity_t<std::function<void(TPersistent&, Event, const AnsiString& methodName)>> set,
    std::type_identity_t<std::function<AnsiString(const TPersistent&)>> getName) {
    using Binding = TypedEventBinding<Event>;
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkMethod;
    info.BindMethod = [set](TPersistent& o, TComponent* root, const TMethodEntry* method) {
        if (method == nullptr)
            return set(o, nullptr, AnsiString());
        const auto* invoke = std::any_cast<typename Binding::Method>(&method->InvokeTyped);
        if (invoke == nullptr)
            throw EConvertError("method of another kind");
        set(o, Binding::Bind(root, *invoke), method->Name);
    };
    info.GetMethodName = std::move(getName);
    return info;
}

// A reference to a component of class T, stored by name; a component of another class is
// refused with EConvertError.
template <class C, class T>
TPropInfo ReferenceProperty(const char* name, T* (C::*get)() const, void (C::*set)(T*)) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkClass;
    info.GetReference = [get](const TPersistent& o) -> TComponent* {
        return (static_cast<const C&>(o).*get)();
    };
    info.SetReference = [set](TPersistent& o, TComponent* component) {
        T* typed = dynamic_cast<T*>(component);
        if (component != nullptr && typed == nullptr)
            throw EConvertError("Invalid property value");
        (static_cast<C&>(o).*set)(typed);
    };
    return info;
}

template <class C, class F> TFieldEntry PublishedField(const char* name, F* C::*field) {
    return {name, [field](TObject& self, TComponent* component) {
                F* typed = dynamic_cast<F*>(component);
                if (component != nullptr && typed == nullptr)
                    throw EReadError("Invalid property value");
                static_cast<C&>(self).*field = typed;
            }};
}
