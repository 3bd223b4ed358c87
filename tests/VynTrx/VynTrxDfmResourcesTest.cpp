// The form resources of modules: reading every form of this program, writing edited forms into
// another module and reading them back from it, the dump files of the self-check, and the
// failures that name their resource.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Application.h"
#include "Exceptions.h"
#include "Handles.h"
#include "OSError.h"
#include "UnitRegistry.h"
#include "VynForms.h"
#include "VynLXFlashMsg.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxDfmResources.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

class DfmResources : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit,
            &VynLXFlashMsgUnit, &VynTrxDfmUtilsUnit});
    }
    void TearDown() override { units_.reset(); }

    std::unique_ptr<TUnitStartup> units_;
};

TDfmForm* FormNamed(const TDfmFormList& forms, const AnsiString& name) {
    const auto found =
        std::find_if(forms.begin(), forms.end(), [&](const auto& form) { return form->Name == name; });
    return found == forms.end() ? nullptr : found->get();
}

TDfmProperty* PropertyAt(const TDfmPropertyList& properties, const AnsiString& path) {
    const auto found = std::find_if(properties.begin(), properties.end(),
                                    [&](TDfmProperty* property) { return property->Path == path; });
    return found == properties.end() ? nullptr : *found;
}

TEST_F(DfmResources, EveryFormOfTheProgramReadsAndRendersItsResourceText) {
    HMODULE self = ::GetModuleHandleW(nullptr);
    TDfmFormList forms;
    TDfmPropertyList properties{nullptr};
    ReadForms(self, u"VynTrxTests.exe", forms, properties);
    EXPECT_TRUE(FlashForms().empty()) << "the notice goes when reading is done";

    TDfmForm* dialog = FormNamed(forms, "VynTraceExceptionDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Keyword, "inherited");
    ASSERT_NE(FormNamed(forms, "VynFlashForm"), nullptr);
    size_t propertyCount = 0;
    for (const auto& form : forms) {
        SCOPED_TRACE(form->Name);
        const HRSRC info = ::FindResourceA(self, ("T" + form->Name).c_str(), MAKEINTRESOURCEA(10));
        ASSERT_NE(info, nullptr);
        const auto* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(self, info)));
        EXPECT_EQ(form->Render(), DfmBinaryToText(data, ::SizeofResource(self, info)));
        propertyCount += form->Properties.size();
    }
    EXPECT_GE(properties.size(), propertyCount) << "children's properties are listed too";
    EXPECT_NE(properties.front(), nullptr) << "the lists start empty";
    EXPECT_NE(PropertyAt(properties, "VynTraceExceptionDialog.OkBtn.Caption"), nullptr);
}

TEST_F(DfmResources, EditedFormsWrittenIntoAModuleReadBackFromIt) {
    ScratchFolder folder(L"DfmResources");
    const std::wstring module = folder.Path() + L"\\Forms.dll";
    ASSERT_TRUE(::CopyFileW(HostPath(STANDIN_MAPI_PATH).c_str(), module.c_str(), FALSE));

    TDfmFormList forms;
    TDfmPropertyList properties;
    ReadForms(::GetModuleHandleW(nullptr), u"VynTrxTests.exe", forms, properties);
    TDfmProperty* caption = PropertyAt(properties, "VynTraceExceptionDialog.OkBtn.Caption");
    ASSERT_NE(caption, nullptr);
    TextToDfmProp(*caption, u"\u00DCbernehmen");
    {
        UniqueResourceUpdate update(::BeginUpdateResourceW(module.c_str(), FALSE));
        ASSERT_TRUE(update.valid());
        WriteForms(update.get(), forms);
        ASSERT_TRUE(::EndUpdateResourceW(update.release(), FALSE));
    }

    UniqueModule written(::LoadLibraryExW(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(written.valid());
    TDfmFormList reread;
    TDfmPropertyList rereadProperties;
    ReadForms(written.get(), Wide(module), reread, rereadProperties);
    ASSERT_EQ(reread.size(), forms.size());
    ASSERT_NE(::FindResourceW(written.get(), L"TVYNTRACEEXCEPTIONDIALOG", MAKEINTRESOURCEW(10)), nullptr);
    TDfmProperty* rereadCaption = PropertyAt(rereadProperties, "VynTraceExceptionDialog.OkBtn.Caption");
    ASSERT_NE(rereadCaption, nullptr);
    EXPECT_EQ(DfmPropToText(*rereadCaption), u"\u00DCbernehmen");
}

TEST_F(DfmResources, FailuresNameTheResource) {
    TDfmForm form;
    TDfmPropertyList properties;
    try {
        LoadDfmFormResource(form, ::GetModuleHandleW(nullptr), u"TNOSUCHFORM", properties);
        FAIL() << "nothing raised";
    } catch (const EResNotFound& error) {
        EXPECT_EQ(error.Subject(), u"TNOSUCHFORM");
    }

    TDfmFormList forms;
    forms.push_back(std::make_unique<TDfmForm>());
    forms.back()->Parse("object Main: TMain\r\n  Left = 1\r\nend\r\n", nullptr);
    try {
        WriteForms(nullptr, forms);
        FAIL() << "nothing raised";
    } catch (const EOSError& error) {
        EXPECT_EQ(error.FailingCall(), "UpdateResourceW");
        EXPECT_EQ(error.Subject(), u"TMAIN");
    }
}

TEST_F(DfmResources, TheSelfCheckLeavesBothTextsInItsDumpFiles) {
    WriteFileBytes(Win(DfmOriginalDumpFile), std::vector<char>(500, 'x'));
    WriteDfmRenderDumps("object A: TA\r\n  Left=1\r\nend\r\n", "object A: TA\r\n  Left = 1\r\nend\r\n");
    const std::vector<char> original = ReadFileBytes(Win(DfmOriginalDumpFile));
    const std::vector<char> rendered = ReadFileBytes(Win(DfmRenderedDumpFile));
    EXPECT_EQ(std::string(original.begin(), original.end()), "object A: TA\r\n  Left=1\r\nend\r\n");
    EXPECT_EQ(std::string(rendered.begin(), rendered.end()), "object A: TA\r\n  Left = 1\r\nend\r\n");
    RemoveFile(Win(DfmOriginalDumpFile));
    RemoveFile(Win(DfmRenderedDumpFile));
}

} // namespace
