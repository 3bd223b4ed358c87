// trxtool.exe driven from outside on copies of the installer: a module made, filled from a
// hand-written .po file, exported, read into a fresh module and exported again; refusals. The .po
// files it exports are left in TRXTOOL_EXPORT_DIR, where the native msgfmt checks them
// (TrxToolTests.msgfmt).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "Application.h"
#include "Handles.h"
#include "PoFile.h"
#include "TextConversion.h"
#include "UnitRegistry.h"
#include "VynClasses.h"
#include "VynForms.h"
#include "VynLXDataSet.h"
#include "VynLXFlashMsg.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxDfmUtils.h"
#include "VynTrxLangs.h"
#include "VynTrxTable.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

struct ToolRun {
    DWORD ExitCode = STILL_ACTIVE;
    std::string Out;
    std::string Err;
};

std::string WithoutCarriageReturns(const std::vector<char>& bytes) {
    std::string text;
    for (char ch : bytes)
        if (ch != '\r')
            text.push_back(ch);
    return text;
}

std::string Narrow(const std::wstring& text) {
    return WideToAnsi(Wide(text));
}

// The lines of a tool's output that start with prefix.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// One table row with every field a translator's round trip must keep.
using Row = std::tuple<std::u16string, std::u16string, std::u16string, std::u16string, std::u16string, bool>;

std::vector<Row> RowsOf(const std::wstring& application, const std::wstring& module) {
    TVynTransTable table;
    table.LoadFromModule(Wide(application), Wide(module));
    std::vector<Row> rows;
    for (table.First(); !table.Eof(); table.Next())
        rows.emplace_back(table.TranID(), table.TranType(), table.RefValue(), table.TranValue(),
                          table.Comment(), table.Translated());
    return rows;
}

const Row* FindRow(const std::vector<Row>& rows, const std::u16string& id) {
    const auto found =
        std::find_if(rows.begin(), rows.end(), [&](const Row& row) { return std::get<0>(row) == id; });
    return found == rows.end() ? nullptr : &*found;
}

const TPoEntry* FindEntry(const std::vector<TPoEntry>& entries, const std::u16string& context) {
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const TPoEntry& entry) {
        return entry.HasContext && entry.Context == context;
    });
    return found == entries.end() ? nullptr : &*found;
}

std::string Text(const std::vector<char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// 200 characters with blanks at both ends.
const std::u16string LongText =
    u"  " + std::u16string(98, u'\u00E4') + u" " + std::u16string(97, u'x') + u"  ";

std::string Utf8(const std::u16string& text) {
    return Utf8Encode(text);
}

// What a translator might write: escapes, a raw tab, UTF-8 beyond the BMP, CR LF, a fuzzy entry,
// an empty translation, two comment lines, a long text broken over lines, a row the module lacks.
std::string HandWrittenPo() {
    return "# a translator's file\n"
           "msgid \"\"\n"
           "msgstr \"\"\n"
           "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
           "\n"
           "msgctxt \"FerruleFrm_SInstalling\"\n"
           "msgid \"DAO 3.60 setup - installing...\"\n"
           "msgstr \"DAO 3.60 \\\"Setup\\\" \\\\ \\t installiert\t\xC3\xA4 \xF0\x9F\x98\x80\"\n"
           "\n"
           "msgctxt \"FerruleFrm_SRegistering\"\n"
           "msgid \"DAO 3.60 setup - registering...\"\n"
           "msgstr \"Zeile 1\\r\\n\"\n"
           "\"Zeile 2\"\n"
           "\n"
           "# erste\n"
           "#  zweite \n"
           "msgctxt \"CheckWinInetAndAdo_SRequires\"\n"
           "msgid \"This program requires %s.\"\n"
           "msgstr \"Dieses Programm ben\xC3\xB6tigt %s.\"\n"
           "\n"
           "#, fuzzy\n"
           "msgctxt \"CheckWinInetAndAdo_SDownloadFrom\"\n"
           "msgid \"You can download it from %s\"\n"
           "msgstr \"Sie k\xC3\xB6nnen es von %s laden\"\n"
           "\n"
           "#, vyn-empty\n"
           "msgctxt \"FerruleForm.Caption\"\n"
           "msgid \"DAO 3.60 setup\"\n"
           "msgstr \"\"\n"
           "\n"
           "msgctxt \"CheckWinInetAndAdo_SDisplayNameIE\"\n"
           "msgid \"Internet Explorer 5.0 or newer\"\n"
           "msgstr \"\"\n"
           "\"" +
           Utf8(LongText.substr(0, 120)) + "\"\n\"" + Utf8(LongText.substr(120)) +
           "\"\n"
           "\n"
           "msgctxt \"Nowhere_SMissing\"\n"
           "msgid \"Missing\"\n"
           "msgstr \"Fehlt\"\n";
}

class TrxTool : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit,
            &VynLXFlashMsgUnit, &VynLXDataSetUnit, &VynTrxDfmUtilsUnit, &VynTrxUtilsUnit, &VynTrxLangsUnit});
        ::CreateDirectoryW(exportFolder_.c_str(), nullptr);
    }
    void TearDown() override { units_.reset(); }

    // A copy of the installer in a folder of its own below the scratch folder.
    std::wstring CopyOfInstaller(const std::wstring& subfolder) {
        const std::wstring folder = scratch_.Path() + L"\\" + subfolder;
        ::CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring program = folder + L"\\Ferrule.exe";
        if (!::CopyFileW(HostPath(FERRULE_PATH).c_str(), program.c_str(), FALSE))
            throw std::runtime_error("the installer cannot be copied");
        return program;
    }

    std::wstring InScratch(const std::wstring& name) const { return scratch_.Path() + L"\\" + name; }

    // Keeps an export for the msgfmt check.
    void KeepForMsgfmt(const std::wstring& po, const std::wstring& name) const {
        ASSERT_TRUE(::CopyFileW(po.c_str(), (exportFolder_ + L"\\" + name).c_str(), FALSE));
    }

    // An inheritable file for the tool's output. Under a loaded machine Wine may still be closing
    // the previous run's copies of these handles after its process has ended: a sharing violation
    // is waited out for a few seconds.
    static UniqueFileHandle CreateOutputFile(const std::wstring& path) {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        for (int attempt = 0;; ++attempt) {
            UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file.valid() || ::GetLastError() != ERROR_SHARING_VIOLATION || attempt == 50)
                return file;
            ::Sleep(100);
        }
    }

    ToolRun RunTool(const std::vector<std::wstring>& args) {
        const std::wstring outPath = InScratch(L"tool-out.txt");
        const std::wstring errPath = InScratch(L"tool-err.txt");
        {
            UniqueFileHandle out = CreateOutputFile(outPath);
            UniqueFileHandle err = CreateOutputFile(errPath);
            if (!out.valid() || !err.valid())
                throw std::runtime_error("cannot create the tool's output files");
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = out.get();
            startup.hStdError = err.get();
            const std::wstring tool = HostPath(TRXTOOL_PATH);
            std::wstring commandLine = L"\"" + tool + L"\"";
            for (const std::wstring& arg : args)
                commandLine += L" \"" + arg + L"\"";
            PROCESS_INFORMATION info{};
            if (!::CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &info))
                throw std::runtime_error("cannot start trxtool");
            const UniqueKernelHandle process(info.hProcess);
            const UniqueKernelHandle thread(info.hThread);
            if (::WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) {
                ::TerminateProcess(process.get(), 99);
                ::WaitForSingleObject(process.get(), 5000);
                throw std::runtime_error("trxtool did not end");
            }
            ::GetExitCodeProcess(process.get(), &lastRun_.ExitCode);
        }
        lastRun_.Out = WithoutCarriageReturns(ReadFileBytes(outPath));
        lastRun_.Err = WithoutCarriageReturns(ReadFileBytes(errPath));
        return lastRun_;
    }

    std::unique_ptr<TUnitStartup> units_;
    ScratchFolder scratch_{L"TrxTool"};
    const std::wstring exportFolder_ = HostPath(TRXTOOL_EXPORT_DIR);
    ToolRun lastRun_;
};

TEST_F(TrxTool, ExportImportExportKeepsEveryTextAndMarkExactly) {
    for (const std::wstring& stale : FilesIn(exportFolder_))
        RemoveFile(exportFolder_ + L"\\" + stale);
    const std::wstring firstProgram = CopyOfInstaller(L"first");
    ToolRun run = RunTool({L"create", firstProgram, L"DEU"});
    ASSERT_EQ(run.ExitCode, 0u) << run.Err;
    const std::wstring firstModule = firstProgram.substr(0, firstProgram.size() - 4) + L".DEU";
    EXPECT_EQ(run.Out, Narrow(firstModule) + "\n");
    ASSERT_TRUE(FileExists(firstModule));

    const std::wstring basePo = InScratch(L"base.po");
    run = RunTool({L"export", firstProgram, firstModule, basePo});
    ASSERT_EQ(run.ExitCode, 0u) << run.Err;
    KeepForMsgfmt(basePo, L"base.po");
    const std::vector<TPoEntry> base = ReadPoFile("base.po", Text(ReadFileBytes(basePo)));
    ASSERT_NE(FindPoHeader(base), nullptr);
    EXPECT_EQ(PoHeaderField(FindPoHeader(base)->MsgStr, u"Language"), u"de_DE");
    EXPECT_EQ(PoHeaderField(FindPoHeader(base)->MsgStr, u"X-Vyn-Build"), ModuleGuid(Wide(firstProgram)));
    EXPECT_EQ(PoHeaderField(FindPoHeader(base)->MsgStr, u"Content-Type"), u"text/plain; charset=UTF-8");
    const TPoEntry* requiresEntry = FindEntry(base, u"CheckWinInetAndAdo_SRequires");
    ASSERT_NE(requiresEntry, nullptr);
    EXPECT_EQ(requiresEntry->MsgId, u"This program requires %s.");
    EXPECT_EQ(requiresEntry->MsgStr, u"") << "a fresh module holds the program's own texts, untranslated";
    EXPECT_EQ(requiresEntry->ExtractedComments, std::vector<std::u16string>{u"resourcestring"});
    EXPECT_TRUE(requiresEntry->Flags.empty());

    const std::wstring handPo = InScratch(L"hand.po");
    const std::string handText = HandWrittenPo();
    WriteFileBytes(handPo, std::vector<char>(handText.begin(), handText.end()));
    KeepForMsgfmt(handPo, L"hand.po");
    run = RunTool({L"import", firstProgram, firstModule, handPo});
    ASSERT_EQ(run.ExitCode, 0u) << run.Err;
    EXPECT_EQ(LinesStartingWith(run.Out, Narrow(handPo)),
              std::vector<std::string>{Narrow(handPo) + ":37: Nowhere_SMissing: unknown to the module"});
    const std::vector<std::string> untranslated = LinesStartingWith(run.Out, "untranslated: ");
    EXPECT_NE(
        std::find(untranslated.begin(), untranslated.end(), "untranslated: CheckWinInetAndAdo_SDownloadFrom"),
        untranslated.end());
    EXPECT_EQ(
        std::find(untranslated.begin(), untranslated.end(), "untranslated: CheckWinInetAndAdo_SRequires"),
        untranslated.end());

    const std::vector<Row> firstRows = RowsOf(firstProgram, firstModule);
    const auto expectRow = [&](const std::u16string& id, const std::u16string& text, bool translated,
                               const std::u16string& comment = u"") {
        SCOPED_TRACE(Narrow(Win(id)));
        const Row* row = FindRow(firstRows, id);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(std::get<3>(*row), text);
        EXPECT_EQ(std::get<5>(*row), translated);
        EXPECT_EQ(std::get<4>(*row), comment);
    };
    expectRow(u"FerruleFrm_SInstalling", u"DAO 3.60 \"Setup\" \\ \t installiert\t\u00E4 \U0001F600", true);
    expectRow(u"FerruleFrm_SRegistering", u"Zeile 1\r\nZeile 2", true);
    expectRow(u"CheckWinInetAndAdo_SRequires", u"Dieses Programm ben\u00F6tigt %s.", true, u"erste  zweite ");
    expectRow(u"CheckWinInetAndAdo_SDownloadFrom", u"Sie k\u00F6nnen es von %s laden", false);
    expectRow(u"FerruleForm.Caption", u"", true);
    expectRow(u"CheckWinInetAndAdo_SDisplayNameIE", LongText, true);
    expectRow(u"CheckWinInetAndAdo_SDisplayNameDAO", u"Microsoft DAO 3.6", false);

    const std::wstring firstPo = InScratch(L"first.po");
    run = RunTool({L"export", firstProgram, firstModule, firstPo});
    ASSERT_EQ(run.ExitCode, 0u) << run.Err;
    KeepForMsgfmt(firstPo, L"first.po");
    const std::vector<char> firstBytes = ReadFileBytes(firstPo);
    const std::vector<TPoEntry> first = ReadPoFile("first.po", Text(firstBytes));
    const TPoEntry* fuzzy = FindEntry(first, u"CheckWinInetAndAdo_SDownloadFrom");
    ASSERT_NE(fuzzy, nullptr);
    EXPECT_EQ(fuzzy->Flags, std::vector<std::string>{"fuzzy"});
    EXPECT_EQ(fuzzy->MsgStr, u"Sie k\u00F6nnen es von %s laden");
    const TPoEntry* empty = FindEntry(first, u"FerruleForm.Caption");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->Flags, std::vector<std::string>{"vyn-empty"});
    EXPECT_EQ(empty->MsgId, u"DAO 3.60 setup");
    EXPECT_EQ(empty->ExtractedComments, std::vector<std::u16string>{u"Caption"});
    EXPECT_EQ(FindEntry(first, u"CheckWinInetAndAdo_SRequires")->TranslatorComments,
              std::vector<std::u16string>{u"erste  zweite "});

    const std::wstring secondProgram = CopyOfInstaller(L"second");
    run = RunTool({L"create", secondProgram, L"0x0407"});
    ASSERT_EQ(run.ExitCode, 0u) << run.Err;
    const std::wstring secondModule = secondProgram.substr(0, secondProgram.size() - 4) + L".DEU";
    run = RunTool({L"import", secondProgram, secondModule, firstPo});
    ASSERT_EQ(run.ExitCode, 0u) << run.Err;
    EXPECT_TRUE(LinesStartingWith(run.Out, Narrow(firstPo)).empty()) << run.Out;
    const std::wstring secondPo = InScratch(L"second.po");
    run = RunTool({L"export", secondProgram, secondModule, secondPo});
    ASSERT_EQ(run.ExitCode, 0u) << run.Err;
    KeepForMsgfmt(secondPo, L"second.po");
    EXPECT_EQ(ReadFileBytes(secondPo), firstBytes);
    EXPECT_EQ(RowsOf(secondProgram, secondModule), firstRows);

    // Rebuilding the module for its own build keeps what was translated.
    run = RunTool({L"update", secondProgram, secondModule});
    ASSERT_EQ(run.ExitCode, 0u) << run.Err;
    const std::vector<Row> updatedRows = RowsOf(secondProgram, secondModule);
    for (const Row& row : firstRows) {
        if (!std::get<5>(row))
            continue;
        const Row* updated = FindRow(updatedRows, std::get<0>(row));
        ASSERT_NE(updated, nullptr);
        EXPECT_EQ(*updated, row);
    }
}

TEST_F(TrxTool, FormatMismatchesAreRefusedAndTheModuleStaysAsItWas) {
    const std::wstring program = CopyOfInstaller(L"refused");
    ASSERT_EQ(RunTool({L"create", program, L"DEU"}).ExitCode, 0u) << lastRun_.Err;
    const std::wstring module = program.substr(0, program.size() - 4) + L".DEU";
    const std::vector<char> before = ReadFileBytes(module);

    const std::wstring po = InScratch(L"mismatch.po");
    const std::string text = "msgctxt \"FerruleFrm_SInstalling\"\n"
                             "msgid \"DAO 3.60 setup - installing...\"\n"
                             "msgstr \"acceptable\"\n"
                             "\n"
                             "msgctxt \"CheckWinInetAndAdo_SRequires\"\n"
                             "msgid \"This program requires %s.\"\n"
                             "msgstr \"%d\"\n"
                             "\n"
                             "#, fuzzy\n"
                             "msgctxt \"CheckWinInetAndAdo_SDownloadFrom\"\n"
                             "msgid \"You can download it from %s\"\n"
                             "msgstr \"von %s und %s\"\n"
                             "\n"
                             "#, vyn-empty\n"
                             "msgctxt \"CheckWinInetAndAdo_SDisplayNameDAO\"\n"
                             "msgid \"Microsoft DAO 3.6\"\n"
                             "msgstr \"\"\n"
                             "\n"
                             "msgctxt \"checkwininetandado_srequires\"\n"
                             "msgid \"other\"\n"
                             "msgstr \"%s\"\n";
    WriteFileBytes(po, std::vector<char>(text.begin(), text.end()));
    const ToolRun run = RunTool({L"import", program, module, po});
    EXPECT_EQ(run.ExitCode, 1u);
    const std::string at = Narrow(po) + ":";
    const std::vector<std::string> refusals = LinesStartingWith(run.Err, at);
    ASSERT_EQ(refusals.size(), 4u) << run.Err;
    EXPECT_EQ(refusals[0].rfind(
                  at + "7: CheckWinInetAndAdo_SRequires: Argument types for index 0 do not match.", 0),
              0u)
        << refusals[0];
    EXPECT_EQ(refusals[1],
              at + "12: CheckWinInetAndAdo_SDownloadFrom: Number of format specifiers do not match.")
        << "a fuzzy text goes into the module too";
    EXPECT_EQ(refusals[2],
              at + "17: CheckWinInetAndAdo_SDisplayNameDAO: a resource string can not be empty: the "
                   "module's string table keeps no empty strings");
    EXPECT_EQ(refusals[3],
              at + "19: checkwininetandado_srequires: a second entry for this row (the first is on line 5)");
    EXPECT_EQ(ReadFileBytes(module), before);
}

TEST_F(TrxTool, FailuresEndWithTheirMessageAndExitCodeTwo) {
    ToolRun run = RunTool({});
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_EQ(run.Err.rfind("usage: trxtool create <program> <language>\n", 0), 0u) << run.Err;
    EXPECT_EQ(RunTool({L"export", L"a", L"b"}).ExitCode, 2u);

    const std::wstring program = CopyOfInstaller(L"failures");
    run = RunTool({L"create", program, L"XYZ"});
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_EQ(run.Err, "Unknown language: XYZ\n");
    run = RunTool({L"create", program, L"0xZZ"});
    EXPECT_EQ(run.Err, "Unknown language: 0xZZ\n");
    ASSERT_EQ(RunTool({L"create", program, L"deu"}).ExitCode, 0u) << lastRun_.Err;
    const std::wstring module = program.substr(0, program.size() - 4) + L".DEU";
    run = RunTool({L"create", program, L"DEU"});
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_EQ(run.Err, "Internal Error: This translation already exists (" + Narrow(module) + ").\n");

    const std::wstring po = InScratch(L"broken.po");
    const std::string text = "msgctxt \"CheckWinInetAndAdo_SRequires\"\nmsgid \"x\"\nmsgstr \"open\n";
    WriteFileBytes(po, std::vector<char>(text.begin(), text.end()));
    const std::vector<char> before = ReadFileBytes(module);
    run = RunTool({L"import", program, module, po});
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_EQ(run.Err, Narrow(po) + ":3: the string has no closing quote\n");
    EXPECT_EQ(ReadFileBytes(module), before);

    run = RunTool({L"export", program, InScratch(L"missing.DEU"), InScratch(L"missing.po")});
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_FALSE(run.Err.empty());
    EXPECT_FALSE(FileExists(InScratch(L"missing.po")));
}

} // namespace
