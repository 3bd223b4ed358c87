#include "VynTrxDfmResources.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "OSError.h"
#include "TextConversion.h"
#include "VynClasses.h"
#include "VynLXFlashMsg.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"
#include "WinText.h"

namespace {

const char16_t* RcDataType() {
    return reinterpret_cast<const char16_t*>(RT_RCDATA);
}

void WriteDumpFile(const WideString& fileName, const AnsiString& text) {
    ::VynDeleteFileW(fileName.c_str());
    TVynFileStream file(fileName, fmCreate);
    file.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void WriteDumpFileIfPossible(const WideString& fileName, const AnsiString& text) {
    try {
        WriteDumpFile(fileName, text);
    } catch (const Exception&) {
        // The render difference is the failure to report; a dump that cannot be written must not
        // replace it with a file error.
    }
}

AnsiString UpperAscii(AnsiString text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
    }
    return text;
}

} // namespace

void WriteDfmRenderDumps(const AnsiString& original, const AnsiString& rendered) {
    WriteDumpFileIfPossible(DfmOriginalDumpFile, original);
    WriteDumpFileIfPossible(DfmRenderedDumpFile, rendered);
}

void LoadDfmFormResource(TDfmForm& form, HMODULE module, const WideString& resourceName,
                         TDfmPropertyList& properties) {
    try {
        TVynResourceStream stream(module, resourceName, RcDataType());
        const AnsiString text =
            DfmBinaryToText(static_cast<const uint8_t*>(stream.Memory()), static_cast<size_t>(stream.Size()));
        form.Load(text, &properties, WriteDfmRenderDumps);
    } catch (Exception& error) {
        // The parser names the line; the resource it stands in comes first.
        const WideString where =
            error.Subject().empty() ? resourceName : resourceName + u", " + error.Subject();
        error.SetFailure(error.FailingCall(), where);
        throw;
    }
}

void ReadForms(HMODULE module, const WideString& moduleFileName, TDfmFormList& forms,
               TDfmPropertyList& properties) {
    const std::unique_ptr<TVynFlashForm> notice =
        ShowFlashMessage(u"Reading Translation Info for " + moduleFileName);
    // The properties point into the forms.
    properties.clear();
    forms.clear();
    for (const WideString& name : ListFormResources(module)) {
        auto form = std::make_unique<TDfmForm>();
        LoadDfmFormResource(*form, module, name, properties);
        forms.push_back(std::move(form));
    }
}

void WriteForms(HANDLE update, TDfmFormList& forms) {
    for (const std::unique_ptr<TDfmForm>& form : forms) {
        std::vector<uint8_t> stream = DfmTextToBinary(form->Render());
        const WideString name = AnsiToWide("T" + UpperAscii(form->Name));
        UpdateModuleResource(update, TResId{10, {}}, TResId{0, name}, static_cast<uint32_t>(stream.size()),
                             stream.data(), 0);
    }
}
