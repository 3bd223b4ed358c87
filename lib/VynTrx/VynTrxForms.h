// Translatable forms: the lists the translation tools read from a form's stored description to
// find its translatable texts. Translation itself needs no code here: the program's resource
// module (a translation module when one is chosen) supplies the forms and strings.
#pragma once

#include <memory>

#include "Classes.h"
#include "VynClasses.h"
#include "VynLXForms.h"

// A sorted list without duplicates, stored as the one property "WideStrings" (ANSI or wide items
// read, wide items written), written when it has entries or differs from its ancestor's.
class TVynTrxStringList : public TVynStringList {
    RTL_DECLARE_CLASS_INFO()
public:
    TVynTrxStringList();

    // From a wide list: cleared and filled inside one update bracket, so the result is sorted and
    // free of duplicates. Other sources as the wide list takes them.
    void Assign(const TPersistent* source) override;
    void DefineProperties(TFiler& filer) override;
    // Entries "<current>.<property>" become "<newName>.<property>"; the component path is what
    // precedes the last ".", compared without regard to case. Either name empty: nothing.
    void RenameComponent(const WideString& current, const WideString& newName);

private:
    void ReadEntries(TReader& reader);
    bool DiffersFromAncestor(const TFiler& filer) const;
};

// Property paths relative to the form ("Label1.Caption", "Caption").
class TVynTrxTranslatableProps : public TVynTrxStringList {
    RTL_DECLARE_CLASS_INFO()
};

// Classes whose instances give their child components a path level of their own.
class TVynTrxInlineClasses : public TVynTrxStringList {
    RTL_DECLARE_CLASS_INFO()
};

// What a translatable form offers the translation tools.
class IVynTrxForm {
public:
    virtual ~IVynTrxForm() = default;
    virtual TVynTrxTranslatableProps* VynTranslatableProps() = 0;
    virtual TVynTrxInlineClasses* VynInlineClasses() = 0;
};

// The lists of a translatable form, as a base that is made before the form and freed after it:
// reading the form's descriptions fills them, and the form's own destruction may still rename.
struct TVynTrxFormLists {
    std::unique_ptr<TVynTrxTranslatableProps> TranslatableProps = std::make_unique<TVynTrxTranslatableProps>();
    std::unique_ptr<TVynTrxInlineClasses> InlineClasses = std::make_unique<TVynTrxInlineClasses>();
};

class TVynTrxForm : private TVynTrxFormLists, public TVynFormLX, public IVynTrxForm {
    RTL_DECLARE_CLASS_INFO()
public:
    // The lists exist before any description is read; descriptions are read for every class
    // below this one.
    explicit TVynTrxForm(TComponent* owner);
    ~TVynTrxForm() override;

    TVynTrxTranslatableProps* VynTranslatableProps() override { return TranslatableProps.get(); }
    TVynTrxInlineClasses* VynInlineClasses() override { return InlineClasses.get(); }
    // Assign into the owned lists.
    void SetVynTranslatableProps(const TVynStrings* props);
    void SetVynInlineClasses(const TVynStrings* classes);

    // The framework's check, then the translatable properties follow the component's new name.
    void ValidateRename(TComponent* component, const AnsiString& current, const AnsiString& newName) override;

private:
    TPersistent* TranslatablePropsObject() { return TranslatableProps.get(); }
    TPersistent* InlineClassesObject() { return InlineClasses.get(); }
};
