// Turns a component into a stored form description: the published properties whose values
// differ from their defaults (or, with an ancestor, from the ancestor's values), the properties
// the objects declare themselves (TPersistent::DefineProperties) and the components it owns.
#pragma once

#include <vector>

#include "Classes.h"
#include "FormData.h"

// Collects the values a component's description holds. Write callbacks of declared properties
// write exactly one value each through it.
class TWriter : public TFiler {
public:
    // ancestor and rootAncestor may be null (a description of its own).
    TWriter(TComponent& root, TComponent* rootAncestor);

    void DefineProperty(const AnsiString& name, const std::function<void(TReader&)>& read,
                        const std::function<void(TWriter&)>& write, bool hasData) override;

    // Short strings up to 255 bytes, long strings beyond.
    void WriteString(const AnsiString& text);
    // A wide string of exactly these units, a zero unit included.
    void WriteWideString(const WideString& text);
    void WriteInteger(int64_t value);
    void WriteBoolean(bool value);
    void WriteIdent(const AnsiString& ident);
    void WriteListBegin();
    void WriteListEnd();

    // Appends the stored properties of instance to properties, named prefix + property name;
    // sub-objects follow as "Sub.Property". ancestor is the object compared with, or null.
    void WriteProperties(TPersistent& instance, TPersistent* ancestor, const AnsiString& prefix,
                         std::vector<TFormProperty>& properties);

private:
    void WriteValue(TFormValue value);
    void WritePublished(TPersistent& instance, TPersistent* ancestor, const TPropInfo& info);
    void Add(const AnsiString& name, TFormValue value);

    std::vector<TFormProperty>* properties_ = nullptr;
    AnsiString prefix_;
    // The value a write callback is producing and the lists it has open.
    std::vector<TFormValue> written_;
    std::vector<TFormValue> openLists_;
};

// Raises EWriteError when a declared property's writer leaves no value, several values or an
// open list behind.
TFormObject WriteComponentToForm(TComponent& root, TComponent* ancestor = nullptr);
