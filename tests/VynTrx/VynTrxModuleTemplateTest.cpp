// The translation-module template as the system takes it: a copy loads as a data file, and the
// resource-update calls add resources to it that read back.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "Handles.h"
#include "ModuleTemplate.h"
#include "VynTrxModuleTemplate.h"
#include "WineTestSupport.h"

namespace {

std::wstring WriteTemplateCopy(const ScratchFolder& folder, const wchar_t* name) {
    const std::span<const uint8_t> bytes = TranslationModuleTemplate();
    const std::wstring path = folder.Path() + L"\\" + name;
    WriteFileBytes(path, std::vector<char>(bytes.begin(), bytes.end()));
    return path;
}

TEST(VynTrxModuleTemplate, IsTheBuildsTemplateByteForByte) {
    const std::span<const uint8_t> compiledIn = TranslationModuleTemplate();
    EXPECT_EQ(std::vector<uint8_t>(compiledIn.begin(), compiledIn.end()), BuildModuleTemplate())
        << "the same bytes in the i686 and the x86-64 program";
}

TEST(VynTrxModuleTemplate, ACopyLoadsAsADataFileAndTakesResourcesThroughResourceUpdate) {
    const ScratchFolder folder(L"FerruleModuleTemplate");
    const std::wstring path = WriteTemplateCopy(folder, L"Program.DEU");
    {
        const UniqueModule empty(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(empty) << "error " << ::GetLastError();
        EXPECT_EQ(::FindResourceW(empty.get(), L"TESTDATA", RT_RCDATA), nullptr);
    }

    const std::vector<uint8_t> data = {'T', 'P', 'F', '0', 1, 2, 3};
    // Block 3841 holds 61440..61455; the first entry "Hallo", the other fifteen empty.
    std::vector<uint8_t> block = {5, 0, 'H', 0, 'a', 0, 'l', 0, 'l', 0, 'o', 0};
    block.resize(block.size() + 15 * 2, 0);
    HANDLE update = ::BeginUpdateResourceW(path.c_str(), FALSE);
    ASSERT_NE(update, nullptr) << "error " << ::GetLastError();
    const bool added = ::UpdateResourceW(update, RT_RCDATA, L"TESTDATA", 0, const_cast<uint8_t*>(data.data()),
                                         static_cast<DWORD>(data.size())) &&
                       ::UpdateResourceW(update, RT_STRING, MAKEINTRESOURCEW(3841), 0, block.data(),
                                         static_cast<DWORD>(block.size()));
    EXPECT_TRUE(added);
    ASSERT_TRUE(::EndUpdateResourceW(update, added ? FALSE : TRUE)) << "error " << ::GetLastError();

    const UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module) << "error " << ::GetLastError();
    HRSRC resource = ::FindResourceW(module.get(), L"TESTDATA", RT_RCDATA);
    ASSERT_NE(resource, nullptr);
    ASSERT_EQ(::SizeofResource(module.get(), resource), data.size());
    const auto* bytes = static_cast<const uint8_t*>(::LockResource(::LoadResource(module.get(), resource)));
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + data.size()), data);
    wchar_t text[16] = {};
    EXPECT_EQ(::LoadStringW(module.get(), 61440, text, 16), 5);
    EXPECT_EQ(std::wstring(text), L"Hallo");
}

} // namespace
