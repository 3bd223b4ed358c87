#include "VynTrxResourceUtils.h"

#include <memory>
#include <optional>
#include <vector>

#include "Assertions.h"
#include "OSError.h"
#include "TextConversion.h"
#include "VynClasses.h"
#include "VynFormatStrUtils.h"
#include "VynLXFlashMsg.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxLangs.h"
#include "VynTrxModuleTemplate.h"
#include "VynTrxResourceUtilsResStr.h"
#include "VynTrxTable.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"
#include "WideCompare.h"

namespace {

constexpr char UnitName[] = "lib/VynTrx/VynTrxResourceUtils";

using namespace ResStr::VynTrxResourceUtils;

WideString Message(const TResStringRec& format, const WideString& argument) {
    return FormatWide(LoadResStringWide(&format), {argument});
}

bool SameFileName(const WideString& a, const WideString& b) {
    return CompareWideText(a, b, false) == 0;
}

void WriteTemplate(const WideString& fileName) {
    const std::span<const uint8_t> image = TranslationModuleTemplate();
    TVynFileStream file(fileName, fmCreate);
    file.WriteBuffer(image.data(), static_cast<int32_t>(image.size()));
}

// A file that goes again unless kept: the module being made, until it is complete.
class TUnfinishedFile {
public:
    explicit TUnfinishedFile(WideString fileName) : fileName_(std::move(fileName)) {}
    ~TUnfinishedFile() {
        if (!kept_)
            ::VynDeleteFileW(fileName_.c_str());
    }
    TUnfinishedFile(const TUnfinishedFile&) = delete;
    TUnfinishedFile& operator=(const TUnfinishedFile&) = delete;

    const WideString& FileName() const { return fileName_; }
    void Keep() { kept_ = true; }

private:
    WideString fileName_;
    bool kept_ = false;
};

// The template, the program's resources, and every resource string with implicit specifiers
// stored with explicit indexes (its text before as the reference, so the post checks the two).
void BuildTranslationModule(const WideString& applicationFile, const WideString& moduleFile) {
    WriteTemplate(moduleFile);
    CopyModuleResources(applicationFile, moduleFile);
    TVynTransTable table(nullptr);
    table.LoadFromModule(applicationFile, moduleFile);
    {
        const TControlsDisabled quiet(table);
        for (table.First(); !table.Eof(); table.Next()) {
            if (!table.IsStringResource())
                continue;
            const WideString text = table.TranValue();
            const WideString explicitText = MakeIndexesExplicit(text);
            if (explicitText == text)
                continue;
            table.Edit();
            table.SetRefValue(text);
            table.SetTranValue(explicitText);
            table.Post();
        }
    }
    table.SaveToModule(false);
}

// A file name in the module's folder that nothing else uses, created empty.
WideString TemporaryFileBeside(const WideString& moduleFile) {
    const WideString path = ExtractFilePathWide(moduleFile);
    const WideString folder = path.empty() ? WideString(u".") : path;
    char16_t name[MAX_PATH + 1] = {};
    if (::VynGetTempFileNameW(folder.c_str(), u"trx", 0, name) == 0)
        RaiseLastOSError("GetTempFileNameW", folder);
    return WideString(name);
}

// Moves the finished module over the old one, which may be read-only; when the move fails the
// old one keeps its attributes.
void ReplaceModule(const WideString& newFile, const WideString& moduleFile) {
    const DWORD attributes = ::VynGetFileAttributesW(moduleFile.c_str());
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !::VynSetFileAttributesW(moduleFile.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        RaiseLastOSError("SetFileAttributesW", moduleFile);
    if (!::VynMoveFileExW(newFile.c_str(), moduleFile.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = ::GetLastError();
        if (readOnly)
            ::VynSetFileAttributesW(moduleFile.c_str(), attributes);
        RaiseOSError(error, "MoveFileExW", moduleFile);
    }
}

} // namespace

void CopyModuleResources(const WideString& source, const WideString& destination) {
    std::optional<WideString> identifierMap;
    if (HasPeSection(source, TrxIdentifierMapSection))
        identifierMap = ReadPeSectionText(source, TrxIdentifierMapSection);
    const UniqueModule module = LoadDataFileModule(source);
    const std::vector<TResData> resources = EnumModuleResources(module.get());
    TResourceUpdate update(destination, true);
    for (const TResData& resource : resources)
        update.Add(resource.Type, resource.Name, resource.Language, resource.Data, resource.Size);
    if (identifierMap)
        SaveRcText(update.Handle(), TrxIdentifierMapName, *identifierMap);
    update.Commit();
}

WideString CreateTranslationModule(const WideString& applicationFile, uint16_t language) {
    const WideString moduleFile = ResourceModuleName(applicationFile, language);
    if (FileExistsWide(moduleFile))
        throw EVynInternalError(WideToAnsi(Message(STranslationExists, moduleFile)));
    TUnfinishedFile module(moduleFile);
    BuildTranslationModule(applicationFile, moduleFile);
    module.Keep();
    return moduleFile;
}

void UpdateTranslationResource(const WideString& applicationFile, const WideString& moduleFile) {
    const std::unique_ptr<TVynFlashForm> notice =
        ShowFlashMessage(Message(SUpdatingTranslationResource, moduleFile));
    // Everything that can refuse the rebuild is asked before anything is touched.
    const uint16_t language = LangIDOfModule(applicationFile, moduleFile);
    RTL_ASSERT(SameFileName(ResourceModuleName(applicationFile, language), moduleFile),
               "Assertion failed: the module's name is not the name of its language");
    TVynTransTable oldTable(nullptr);
    oldTable.LoadFromModule(applicationFile, moduleFile);

    TUnfinishedFile newModule(TemporaryFileBeside(moduleFile));
    BuildTranslationModule(applicationFile, newModule.FileName());
    {
        TVynTransTable newTable(nullptr);
        newTable.LoadFromModule(applicationFile, newModule.FileName());
        newTable.MergeFrom(oldTable, true);
        newTable.SaveToModule(false);
    }
    ReplaceModule(newModule.FileName(), moduleFile);
    newModule.Keep();
}
