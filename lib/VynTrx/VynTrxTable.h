// The translation table: every translatable text of a module (the program itself or a
// resource-only translation module) as one row, a form property listed by its form as
// translatable or a resource string named in the identifier map. Edits posted to a row are
// written at once into the parsed forms and string tables the table keeps of the module;
// SaveToModule writes those back into the module with two side resources, the rows' comments
// ("VYN_TRX_XRC") and the rows marked translated ("VYN.XRS").
//
// It is a variant-array data set with persistent fields, sorted by TranID once loaded:
//   TranID                  wide text, required  the row's key: the property's path, or the
//                                                resource string's name ("Unit_Name")
//   TranType                wide text, required  "resourcestring", or the property's name
//   StringTableIDOrPDfmProp integer, required    the string identifier, or the position of the
//                                                parsed property in Properties() (hidden)
//   RefValue                wide text            the text before normalisation, if any
//   TranValue               wide text            the current text
//   Comment                 wide text            the translator's comment, on one line
//   Translated              boolean, required    the row has been translated
//
// Failures raised here keep what they concern in Subject(): the module file, or the row's TranID.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "SysTypes.h"
#include "VynDB.h"
#include "VynLXVarArrayDataSet.h"
#include "VynTrxDfmUtils.h"
#include "VynTrxUtils.h"

// TranType of a resource string's row.
constexpr char16_t TrxResourceStringType[] = u"resourcestring";

class TVynTransTable : public TVynVarArrayDataSet {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynTransTable(TComponent* owner = nullptr);
    ~TVynTransTable() override;

    // --- The current row ----------------------------------------------------------------------
    // Each reads or writes the active record (writes need edit or insert state, as any field).
    WideString TranID() const;
    void SetTranID(const WideString& id);
    WideString TranType() const;
    void SetTranType(const WideString& type);
    WideString RefValue() const;
    void SetRefValue(const WideString& value);
    WideString TranValue() const;
    void SetTranValue(const WideString& value);
    WideString Comment() const;
    void SetComment(const WideString& comment);
    bool Translated() const;
    void SetTranslated(bool translated);
    // TranType is "resourcestring" (exact comparison).
    bool IsStringResource() const;
    // The string identifier of a resource-string row. EVynInternalError "Can not get
    // StringTableID if not a string resource." / "Can not set StringTableID if not a string
    // resource." on any other row.
    int32_t StringTableID() const;
    void SetStringTableID(int32_t id);
    // The position in Properties() of a form-property row's parsed property. EVynInternalError
    // "Can not get PDfmProp for a string resource." / "Can not set PDfmProp for a string
    // resource." on a resource-string row, "Can not get PDfmProp for an undefined type." / "Can
    // not set PDfmProp for an undefined type." while TranType is empty.
    int32_t PDfmProp() const;
    void SetPDfmProp(int32_t position);
    // The parsed property of the current form-property row; raises as PDfmProp, and
    // EVynInternalError "Internal Error: PDfmProp %d is not a property of the table." when the
    // position lies outside Properties().
    TDfmProperty& DfmProperty() const;

    // --- Operations ---------------------------------------------------------------------------
    // Moves to the row of id: true at once when the current row has exactly that id, otherwise
    // a locate on TranID without regard to case (a binary search: the table is sorted by it).
    // False, not moving, when there is none.
    bool GotoTranID(const WideString& id);

    // Fills the table from a module, replacing everything it held:
    //   EVynInternalError "Internal Error: VYN.DRC or VYN_TRX_GUID resource not created.  (<file>)"
    //     unless moduleFile is a prepared translation module (checked first, so it is also what a
    //     missing file or an empty name gives);
    //   EVynInternalError "No filename given to initialize the translation table.";
    //   EVynGeneralError "File <file> doesn't exist.";
    //   EOSError when the module does not load; what parsing its forms raises (VynTrxDfmUtils).
    // One row per property that its form lists as translatable (the first of equal paths; no
    // property named "resourcestring"), in parse order, then one per string of the string tables
    // that the identifier map names, in block order; Translated and Comment from the side
    // resources. When moduleFile is applicationFile (ignoring case) TranValue and Translated are
    // read-only and saving is refused. Loading stops at the first error, the table partly filled.
    void LoadFromModule(const WideString& applicationFile, const WideString& moduleFile);
    // Takes over the translations of source, row by row by TranID: a translated source row
    // gives its text (indexes made explicit for a resource string), its comment and, with
    // markTranslated, the mark; an untranslated source resource string gives its text with
    // explicit indexes where that differs from this row's. Rows of this table only the source
    // lacks keep their own. Raises what posting raises (the format check), stopping there.
    void MergeFrom(TVynTransTable& source, bool markTranslated);
    // Writes the parsed forms, the string tables and the two side resources into the module
    // loaded (a resource update keeping its other resources). With markChanged, first marks
    // translated every row with a RefValue whose TranValue differs from it.
    // EVynInternalError "You can not save changes directly to the application exe (<file>)."
    // when the module is the program itself; EOSError when the update fails.
    void SaveToModule(bool markChanged);

    // --- State --------------------------------------------------------------------------------
    // Set by posting an edited row; cleared by loading and saving.
    bool TableModified() const { return tableModified_; }
    // When set, posting does not compare a resource string's format with its RefValue.
    bool FormatCheckOff() const { return formatCheckOff_; }
    void SetFormatCheckOff(bool off) { formatCheckOff_ = off; }
    const WideString& ModuleFileName() const { return moduleFileName_; }
    bool EditingApplication() const { return editingApplication_; }
    // Every property of every parsed form, in parse order; they live until the next load.
    const TDfmPropertyList& Properties() const { return properties_; }
    // The module's string-table blocks with the edits posted so far.
    const std::vector<TStringTableBlock>& StringTables() const { return stringTables_; }

    // The cached fields (valid for the table's lifetime).
    TVynWideStringField& TranIDField() const { return *tranIdField_; }
    TVynWideStringField& TranTypeField() const { return *tranTypeField_; }
    TIntegerField& StringTableIDOrPDfmPropField() const { return *idOrPropertyField_; }
    TVynWideStringField& RefValueField() const { return *refValueField_; }
    TVynWideStringField& TranValueField() const { return *tranValueField_; }
    TVynWideStringField& CommentField() const { return *commentField_; }
    TBooleanField& TranslatedField() const { return *translatedField_; }

protected:
    // The definitions made by the constructor stay as they are.
    void InternalInitFieldDefs() override {}
    // Display widths, the hidden integer field, and the field cache.
    void AfterCreateFields() override;
    // A new row starts untranslated.
    void DoAfterInsert() override;
    // The framework's event; then a comment with a line break is refused (EVynGeneralError "A
    // comment can not contain line breaks."), a resource string's TranValue must take the
    // arguments of a non-empty RefValue (CompareFormatStrings) unless the check is off, and an
    // edited row is written into the forms or string tables. What is raised stops the post and
    // leaves the row in edit.
    void DoBeforePost() override;

private:
    void WriteBack();
    void ClearModuleData();
    void AppendRow(const WideString& id, const WideString& type, const WideString& value,
                   int32_t idOrProperty);
    void ReadSideResources(HMODULE module);
    void TakeSideEntries(const WideString& id);
    void ReadIdentifierMap(const WideString& moduleFile, HMODULE module);

    TVynWideStringField* tranIdField_ = nullptr;
    TVynWideStringField* tranTypeField_ = nullptr;
    TIntegerField* idOrPropertyField_ = nullptr;
    TVynWideStringField* refValueField_ = nullptr;
    TVynWideStringField* tranValueField_ = nullptr;
    TVynWideStringField* commentField_ = nullptr;
    TBooleanField* translatedField_ = nullptr;

    bool tableModified_ = false;
    bool formatCheckOff_ = false;
    WideString moduleFileName_;
    TDfmFormList forms_;
    TDfmPropertyList properties_;
    // Identifier -> resource string name ("Unit_Name").
    std::map<uint32_t, WideString> identifierMap_;
    std::vector<TStringTableBlock> stringTables_;
    bool editingApplication_ = false;
    // The side resources while loading, keyed by the upper-cased TranID; each entry is taken
    // out when a row uses it.
    std::map<WideString, WideString> comments_;
    std::map<WideString, WideString> translatedMarks_;
};
