#include "VynTrxTable.h"

#include <exception>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "Exceptions.h"
#include "TextConversion.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxDfmResources.h"
#include "VynTrxTableResStr.h"

namespace {

using namespace ResStr::VynTrxTable;

constexpr int32_t WholeText = 2147483647;

// The failure with what it concerns (a file, a row's TranID) beside its message.
template <class E> [[noreturn]] void RaiseAbout(const WideString& subject, AnsiString message) {
    E error(std::move(message));
    error.SetFailure({}, subject);
    throw error;
}

AnsiString ResourceMessage(const TResStringRec* message, const std::vector<TVarRec>& args = {}) {
    return WideToAnsi(FormatWide(LoadResStringWide(message), args));
}

bool SameFileName(const WideString& a, const WideString& b) {
    return UpperCaseWide(a) == UpperCaseWide(b);
}

bool HasLineBreak(const WideString& text) {
    return text.find_first_of(u"\r\n") != WideString::npos;
}

// Lines end at CR LF, CR or LF; nothing else breaks a line, so a row's text keeps every other
// character it holds.
std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == u'\r' && start < text.size() && text[start] == u'\n')
            ++start;
    }
    return lines;
}

// "name=value" lines keyed by the upper-cased name; the first of equal names counts.
std::map<WideString, WideString> ReadNameValueLines(const WideString& text) {
    std::map<WideString, WideString> entries;
    for (const std::u16string_view line : SplitLines(text)) {
        const size_t separator = line.find(u'=');
        if (separator == std::u16string_view::npos)
            continue;
        entries.emplace(UpperCaseWide(WideString(line.substr(0, separator))),
                        WideString(line.substr(separator + 1)));
    }
    return entries;
}

std::optional<uint32_t> DecimalIdentifier(std::u16string_view text) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    uint32_t value = 0;
    for (const char16_t ch : text) {
        if (ch < u'0' || ch > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(ch - u'0');
    }
    return value;
}

// The side resources store an empty list as one "." rather than as an empty resource.
WideString SideResourceText(const WideString& lines) {
    return lines.empty() ? WideString(u".") : lines;
}

// Filtered back on when an operation fails, as its success path leaves it.
class TFilteredOnFailure {
public:
    explicit TFilteredOnFailure(TDataSet& table)
        : table_(table), uncaughtAtStart_(std::uncaught_exceptions()) {}
    ~TFilteredOnFailure() {
        if (std::uncaught_exceptions() <= uncaughtAtStart_)
            return;
        try {
            table_.SetFiltered(true);
        } catch (...) {
            // The failure on its way is the one to report.
        }
    }
    TFilteredOnFailure(const TFilteredOnFailure&) = delete;
    TFilteredOnFailure& operator=(const TFilteredOnFailure&) = delete;

private:
    TDataSet& table_;
    int uncaughtAtStart_;
};

} // namespace

const TClassInfo& TVynTransTable::StaticClassInfo() {
    static const TClassInfo info{"TVynTransTable", &TVynVarArrayDataSet::StaticClassInfo()};
    return info;
}

TVynTransTable::TVynTransTable(TComponent* owner) : TVynVarArrayDataSet(owner) {
    FieldDefs().Add("TranID", ftWideString, WholeText, true);
    FieldDefs().Add("TranType", ftWideString, WholeText, true);
    FieldDefs().Add("StringTableIDOrPDfmProp", ftInteger, 0, true);
    FieldDefs().Add("RefValue", ftWideString, WholeText, false);
    FieldDefs().Add("TranValue", ftWideString, WholeText, false);
    FieldDefs().Add("Comment", ftWideString, WholeText, false);
    FieldDefs().Add("Translated", ftBoolean, 0, true);
    // Persistent fields: opening binds them instead of making default ones.
    CreateFields();
    TVynTransTable::AfterCreateFields();
}

TVynTransTable::~TVynTransTable() = default;

void TVynTransTable::AfterCreateFields() {
    const auto wideField = [this](const char* name) {
        auto* field = dynamic_cast<TVynWideStringField*>(FieldByName(name));
        if (field == nullptr)
            throw EVynInternalError(std::string("Internal Error: ") + name + " is not a wide string field.");
        return field;
    };
    tranIdField_ = wideField("TranID");
    tranTypeField_ = wideField("TranType");
    idOrPropertyField_ = dynamic_cast<TIntegerField*>(FieldByName("StringTableIDOrPDfmProp"));
    refValueField_ = wideField("RefValue");
    tranValueField_ = wideField("TranValue");
    commentField_ = wideField("Comment");
    translatedField_ = dynamic_cast<TBooleanField*>(FieldByName("Translated"));
    if (idOrPropertyField_ == nullptr || translatedField_ == nullptr)
        throw EVynInternalError("Internal Error: the translation table's fields are not of their types.");

    tranIdField_->SetDisplayWidth(30);
    tranTypeField_->SetDisplayWidth(20);
    idOrPropertyField_->SetVisible(false);
    refValueField_->SetDisplayWidth(50);
    tranValueField_->SetDisplayWidth(40);
    commentField_->SetDisplayWidth(40);
    translatedField_->SetDisplayWidth(15);
}

// --- The current row ------------------------------------------------------------------------------

WideString TVynTransTable::TranID() const {
    return tranIdField_->GetWideValue();
}

void TVynTransTable::SetTranID(const WideString& id) {
    tranIdField_->SetWideValue(id);
}

WideString TVynTransTable::TranType() const {
    return tranTypeField_->GetWideValue();
}

void TVynTransTable::SetTranType(const WideString& type) {
    tranTypeField_->SetWideValue(type);
}

WideString TVynTransTable::RefValue() const {
    return refValueField_->GetWideValue();
}

void TVynTransTable::SetRefValue(const WideString& value) {
    refValueField_->SetWideValue(value);
}

WideString TVynTransTable::TranValue() const {
    return tranValueField_->GetWideValue();
}

void TVynTransTable::SetTranValue(const WideString& value) {
    tranValueField_->SetWideValue(value);
}

WideString TVynTransTable::Comment() const {
    return commentField_->GetWideValue();
}

void TVynTransTable::SetComment(const WideString& comment) {
    commentField_->SetWideValue(comment);
}

bool TVynTransTable::Translated() const {
    return translatedField_->AsBoolean();
}

void TVynTransTable::SetTranslated(bool translated) {
    translatedField_->SetAsBoolean(translated);
}

bool TVynTransTable::IsStringResource() const {
    return TranType() == TrxResourceStringType;
}

int32_t TVynTransTable::StringTableID() const {
    if (!IsStringResource())
        throw EVynInternalError("Can not get StringTableID if not a string resource.");
    return idOrPropertyField_->AsInteger();
}

void TVynTransTable::SetStringTableID(int32_t id) {
    if (!IsStringResource())
        throw EVynInternalError("Can not set StringTableID if not a string resource.");
    idOrPropertyField_->SetAsInteger(id);
}

int32_t TVynTransTable::PDfmProp() const {
    const WideString type = TranType();
    if (type == TrxResourceStringType)
        throw EVynInternalError("Can not get PDfmProp for a string resource.");
    if (type.empty())
        throw EVynInternalError("Can not get PDfmProp for an undefined type.");
    return idOrPropertyField_->AsInteger();
}

void TVynTransTable::SetPDfmProp(int32_t position) {
    const WideString type = TranType();
    if (type == TrxResourceStringType)
        throw EVynInternalError("Can not set PDfmProp for a string resource.");
    if (type.empty())
        throw EVynInternalError("Can not set PDfmProp for an undefined type.");
    idOrPropertyField_->SetAsInteger(position);
}

TDfmProperty& TVynTransTable::DfmProperty() const {
    const int32_t position = PDfmProp();
    if (position < 0 || static_cast<size_t>(position) >= properties_.size())
        RaiseAbout<EVynInternalError>(
            TranID(), WideToAnsi(FormatWide(u"Internal Error: PDfmProp %d is not a property of the table.",
                                            {position})));
    return *properties_[static_cast<size_t>(position)];
}

// --- Hooks ----------------------------------------------------------------------------------------

void TVynTransTable::DoAfterInsert() {
    TVynVarArrayDataSet::DoAfterInsert();
    // InsertRecord and AppendRecord call this once the record is stored, with its own values.
    if (State() == dsInsert && !translatedField_->ReadOnly())
        SetTranslated(false);
}

void TVynTransTable::DoBeforePost() {
    TVynVarArrayDataSet::DoBeforePost();
    // The comments resource keeps one row per line: a line break would cut the comment and read
    // its rest as other rows' entries.
    if (HasLineBreak(Comment()))
        RaiseAbout<EVynGeneralError>(TranID(), ResourceMessage(&SCommentHasLineBreaks));
    if (!formatCheckOff_ && IsStringResource()) {
        const WideString reference = RefValue();
        if (!reference.empty()) {
            try {
                CompareFormatStrings(reference, TranValue());
            } catch (Exception& error) {
                error.SetFailure(error.FailingCall(), TranID());
                throw;
            }
        }
    }
    if (State() == dsEdit) {
        WriteBack();
        tableModified_ = true;
    }
}

void TVynTransTable::WriteBack() {
    if (!IsStringResource()) {
        TextToDfmProp(DfmProperty(), TranValue());
        return;
    }
    const int32_t id = StringTableID();
    if (id < 0)
        return;
    const uint32_t block = StringTableBlockOf(static_cast<uint32_t>(id));
    for (TStringTableBlock& strings : stringTables_) {
        if (strings.empty() || StringTableBlockOf(strings.front().Id) != block)
            continue;
        for (TStringTableEntry& entry : strings) {
            if (entry.Id == static_cast<uint32_t>(id)) {
                entry.Text = TranValue();
                break;
            }
        }
        return;
    }
}

// --- Operations -----------------------------------------------------------------------------------

bool TVynTransTable::GotoTranID(const WideString& id) {
    if (Active() && !IsEmpty() && TranID() == id)
        return true;
    return Locate("TranID", TVariant::FromWide(id), loCaseInsensitive);
}

void TVynTransTable::ClearModuleData() {
    // The properties point into the forms.
    properties_.clear();
    forms_.clear();
    identifierMap_.clear();
    stringTables_.clear();
    comments_.clear();
    translatedMarks_.clear();
}

void TVynTransTable::ReadSideResources(HMODULE module) {
    comments_ = ReadNameValueLines(ReadRcText(module, TrxCommentsResource));
    translatedMarks_ = ReadNameValueLines(ReadRcText(module, TrxTranslatedResource));
}

void TVynTransTable::TakeSideEntries(const WideString& id) {
    const WideString key = UpperCaseWide(id);
    bool translated = false;
    if (const auto mark = translatedMarks_.find(key); mark != translatedMarks_.end()) {
        translated = !mark->second.empty() && UpperCaseWide(mark->second) != u"FALSE";
        translatedMarks_.erase(mark);
    }
    WideString comment;
    if (const auto found = comments_.find(key); found != comments_.end()) {
        comment = found->second;
        comments_.erase(found);
    }
    SetTranslated(translated);
    SetComment(comment);
}

void TVynTransTable::AppendRow(const WideString& id, const WideString& type, const WideString& value,
                               int32_t idOrProperty) {
    Append();
    SetTranID(id);
    SetTranType(type);
    if (type == TrxResourceStringType)
        SetStringTableID(idOrProperty);
    else
        SetPDfmProp(idOrProperty);
    SetTranValue(value);
    TakeSideEntries(id);
    Post();
}

void TVynTransTable::ReadIdentifierMap(const WideString& moduleFile, HMODULE module) {
    const WideString text = HasPeSection(moduleFile, TrxIdentifierMapSection)
                                ? ReadPeSectionText(moduleFile, TrxIdentifierMapSection)
                                : ReadRcText(module, TrxIdentifierMapName);
    for (const std::u16string_view line : SplitLines(text)) {
        const size_t separator = line.find(u'=');
        if (separator == std::u16string_view::npos)
            continue;
        if (const std::optional<uint32_t> id = DecimalIdentifier(line.substr(0, separator)))
            identifierMap_.emplace(*id, WideString(line.substr(separator + 1)));
    }
}

void TVynTransTable::LoadFromModule(const WideString& applicationFile, const WideString& moduleFile) {
    if (!IsPreparedModule(moduleFile))
        RaiseAbout<EVynInternalError>(
            moduleFile, WideToAnsi(FormatWide(u"Internal Error: %s or %s resource not created.  (%s)",
                                              {TrxIdentifierMapName, TrxGuidResource, moduleFile})));
    const TControlsDisabled quiet(*this);
    const TFilteredOnFailure filtered(*this);
    SetFiltered(false);
    if (moduleFile.empty())
        throw EVynInternalError("No filename given to initialize the translation table.");
    if (!FileExistsWide(moduleFile))
        RaiseAbout<EVynGeneralError>(moduleFile, ResourceMessage(&SFileDoesNotExist, {moduleFile}));
    editingApplication_ = SameFileName(applicationFile, moduleFile);
    tableModified_ = false;
    moduleFileName_ = moduleFile;

    Close();
    ClearModuleData();
    // A table that held the program itself before takes rows again.
    tranValueField_->SetReadOnly(false);
    translatedField_->SetReadOnly(false);
    Open();
    while (!IsEmpty())
        Delete();

    {
        const UniqueModule module = LoadDataFileModule(moduleFile);
        ReadSideResources(module.get());
        ReadForms(module.get(), moduleFile, forms_, properties_);

        std::set<AnsiString> addedPaths;
        for (size_t i = 0; i < properties_.size(); ++i) {
            const TDfmProperty& property = *properties_[i];
            const TDfmForm* form = property.Owner == nullptr ? nullptr : property.Owner->Form;
            if (form == nullptr || !form->TranslatableProps ||
                form->TranslatableProps->PositionOf(AnsiToWide(property.Path)) < 0)
                continue;
            if (UpperCaseWide(AnsiToWide(property.Name)) == u"RESOURCESTRING" ||
                addedPaths.count(property.Path) != 0)
                continue;
            addedPaths.insert(property.Path);
            AppendRow(AnsiToWide(property.Path), AnsiToWide(property.Name), DfmPropToText(property),
                      static_cast<int32_t>(i));
        }

        ReadIdentifierMap(moduleFile, module.get());
        stringTables_ = ReadStringTables(module.get());
        for (const TStringTableBlock& block : stringTables_) {
            for (const TStringTableEntry& entry : block) {
                const auto name = identifierMap_.find(entry.Id);
                if (name == identifierMap_.end())
                    continue;
                AppendRow(name->second, TrxResourceStringType, entry.Text, static_cast<int32_t>(entry.Id));
            }
        }
    }
    comments_.clear();
    translatedMarks_.clear();

    tranValueField_->SetReadOnly(editingApplication_);
    translatedField_->SetReadOnly(editingApplication_);
    SetSort("TranID");
    First();
    SetFiltered(true);
}

void TVynTransTable::MergeFrom(TVynTransTable& source, bool markTranslated) {
    SetFiltered(false);
    const TBookmark bookmark = GetBookmark();
    {
        const TControlsDisabled quiet(*this);
        const TFilteredOnFailure filtered(*this);
        First();
        while (!Eof()) {
            if (source.GotoTranID(TranID())) {
                if (source.Translated()) {
                    Edit();
                    SetTranValue(source.IsStringResource() ? MakeIndexesExplicit(source.TranValue())
                                                           : source.TranValue());
                    SetComment(source.Comment());
                    if (markTranslated)
                        SetTranslated(true);
                    Post();
                } else if (source.IsStringResource()) {
                    const WideString value = MakeIndexesExplicit(source.TranValue());
                    if (TranValue() != value) {
                        Edit();
                        SetTranValue(value);
                        Post();
                    }
                }
            }
            // Both tables are sorted by TranID: the next lookup usually finds the source in place.
            Next();
            source.Next();
        }
    }
    GotoBookmark(bookmark);
    SetFiltered(true);
}

void TVynTransTable::SaveToModule(bool markChanged) {
    if (editingApplication_)
        RaiseAbout<EVynInternalError>(moduleFileName_,
                                      ResourceMessage(&SCannotSaveToApplication, {moduleFileName_}));
    const TControlsDisabled quiet(*this);
    const TFilteredOnFailure filtered(*this);
    SetFiltered(false);
    WideString translatedLines;
    WideString commentLines;
    const TBookmark bookmark = GetBookmark();
    First();
    while (!Eof()) {
        if (markChanged && !Translated()) {
            const WideString reference = RefValue();
            if (!reference.empty() && reference != TranValue()) {
                Edit();
                SetTranslated(true);
                Post();
            }
        }
        const WideString id = TranID();
        if (Translated())
            translatedLines += id + u"=TRUE\r\n";
        const WideString comment = Comment();
        // A row stored by InsertRecord or AppendRecord was never posted through the check.
        if (HasLineBreak(comment))
            RaiseAbout<EVynGeneralError>(id, ResourceMessage(&SCommentHasLineBreaks));
        if (!comment.empty())
            commentLines += id + u"=" + comment + u"\r\n";
        Next();
    }
    GotoBookmark(bookmark);

    TResourceUpdate update(moduleFileName_, false);
    WriteForms(update.Handle(), forms_);
    WriteStringTables(update.Handle(), stringTables_);
    SaveRcText(update.Handle(), TrxCommentsResource, SideResourceText(commentLines));
    SaveRcText(update.Handle(), TrxTranslatedResource, SideResourceText(translatedLines));
    update.Commit();

    SetFiltered(true);
    tableModified_ = false;
}
