// A private copy of the stand-in payload in a folder of its own, for the tests of the debug
// sources: the copy, whatever debug files a test puts beside it, and the library loaded for the
// test's lifetime.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Handles.h"
#include "TraceDebug.h"
#include "TraceDebugWriter.h"
#include "UnitRegistry.h"
#include "WineTestSupport.h"

namespace fs = std::filesystem;

inline uint32_t CodeOffsetOf(HMODULE module, const void* address) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(module) -
                                 0x1000);
}

class StandInCopy : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{&TraceDebugUnit});
        folder_ =
            fs::temp_directory_path() / ("trace-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
        library_ = folder_ / "dao360.dll";
        fs::copy_file(HostPath(STANDIN_DAO_PATH), library_, fs::copy_options::overwrite_existing);
    }
    void TearDown() override {
        module_.reset();
        units_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    void Load() {
        module_.reset(::LoadLibraryW(library_.c_str()));
        ASSERT_TRUE(module_);
        registerServer_ =
            reinterpret_cast<const uint8_t*>(::GetProcAddress(module_.get(), "DllRegisterServer"));
        ASSERT_NE(registerServer_, nullptr);
    }
    void Write(const char* extension, const std::string& bytes) {
        std::ofstream(fs::path(library_).replace_extension(extension), std::ios::binary) << bytes;
    }
    void WriteBytes(const char* extension, const std::vector<uint8_t>& bytes) {
        Write(extension, std::string(bytes.begin(), bytes.end()));
    }
    std::vector<uint8_t> LibraryBytes() const {
        std::ifstream in(library_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void ReplaceLibrary(const std::vector<uint8_t>& bytes) {
        std::ofstream(library_, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // A file the build wrote beside the stand-in (its ".map", its ".tdbg"), put beside the copy.
    void CopyBuildFileBeside(const char* extension) {
        fs::copy_file(fs::path(HostPath(STANDIN_DAO_PATH)).replace_extension(extension),
                      fs::path(library_).replace_extension(extension), fs::copy_options::overwrite_existing);
    }
    // The copy under another name, with the debug files it had so far left under the old one.
    void RenameLibrary(const char* fileName) {
        const fs::path renamed = folder_ / fileName;
        fs::rename(library_, renamed);
        library_ = renamed;
    }
    std::vector<uint8_t> TdbgData(const std::string& moduleName) const {
        TraceDebugContent content;
        content.ModuleName = moduleName;
        const uint32_t entry = registerServerOffset_;
        content.Units = {{0, "StandInDaoStartup"}, {entry, "StandInDao"}};
        content.SourceFiles = {{entry, "payload/StandInDao/StandInDao.cpp"}};
        content.Procedures = {{entry, "DllRegisterServer", ""}};
        content.Lines = {{entry, 120}, {entry + 4, 121}};
        return WriteTraceDebugData(content);
    }
    void WriteTdbg(const std::string& moduleName) {
        const std::vector<uint8_t> data = TdbgData(moduleName);
        Write(".tdbg", std::string(data.begin(), data.end()));
    }

    std::unique_ptr<TUnitStartup> units_;
    fs::path folder_, library_;
    UniqueModule module_;
    const uint8_t* registerServer_ = nullptr;
    uint32_t registerServerOffset_ = 0;
};

// The offset of DllRegisterServer in the stand-in, learnt from the original before the copy loads.
inline uint32_t RegisterServerOffset() {
    const UniqueModule original(::LoadLibraryW(HostPath(STANDIN_DAO_PATH).c_str()));
    return CodeOffsetOf(original.get(),
                        reinterpret_cast<const void*>(::GetProcAddress(original.get(), "DllRegisterServer")));
}
