#include "TrxToolCommands.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>

#include "DataSet.h"
#include "Exceptions.h"
#include "TextConversion.h"
#include "VynClasses.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"
#include "VynTrxLangs.h"
#include "VynTrxResourceUtils.h"
#include "VynTrxTable.h"
#include "VynTrxUtils.h"

namespace {

// Far beyond any real catalogue; keeps the size within what a stream transfers at once.
constexpr int64_t MaxPoFileSize = 256 * 1024 * 1024;

constexpr char FuzzyFlag[] = "fuzzy";
constexpr char EmptyTextFlag[] = "vyn-empty";

std::string MessageText(const WideString& text) {
    return WideToAnsi(text);
}

std::string ReadWholeFile(const WideString& fileName) {
    TVynFileStream stream(fileName, fmOpenRead);
    const int64_t size = stream.Size();
    if (size > MaxPoFileSize)
        throw EVynGeneralError(MessageText(fileName) + " is too large for a .po file (" +
                               std::to_string(size) + " bytes)");
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0)
        stream.ReadBuffer(bytes.data(), static_cast<int32_t>(size));
    return bytes;
}

void WriteWholeFile(const WideString& fileName, const std::string& bytes) {
    if (static_cast<int64_t>(bytes.size()) > MaxPoFileSize)
        throw EVynGeneralError(MessageText(fileName) + ": the .po text is too large to write");
    TVynFileStream stream(fileName, fmCreate);
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

// Full paths, so that the table sees the program itself as the program however it is named.
WideString FullPath(const WideString& fileName) {
    const WideString full = ExpandFileNameWide(fileName);
    return full.empty() ? fileName : full;
}

void RequireSameBuild(const WideString& applicationFile, const WideString& moduleFile) {
    if (ModuleGuid(moduleFile) != ModuleGuid(applicationFile))
        throw EVynGeneralError("The translation module " + MessageText(moduleFile) +
                               " was made for another build of " + MessageText(applicationFile) +
                               ": update it first.");
}

// A resource string's text as a module stores it: with explicit argument indexes. A text that is
// no valid format is stored as it is.
WideString StoredResourceText(const WideString& text) {
    try {
        return MakeIndexesExplicit(text);
    } catch (const EVynGeneralError&) {
        return text;
    }
}

bool IsValidFormat(const WideString& text) {
    try {
        BuildArgumentTypeTable(ListFormatSpecifiers(text));
        return true;
    } catch (const EVynGeneralError&) {
        return false;
    }
}

WideString AsciiUpper(WideString text) {
    for (char16_t& ch : text)
        if (ch >= u'a' && ch <= u'z')
            ch = static_cast<char16_t>(ch - 32);
    return text;
}

WideString LanguageTag(const WideString& applicationFile, const WideString& moduleFile) {
    const LANGID language = LangIDOfModule(applicationFile, moduleFile);
    if (language != 0) {
        const LCID locale = MAKELCID(language, SORT_DEFAULT);
        const WideString name = GetLocaleStrWide(locale, LOCALE_SISO639LANGNAME, u"");
        if (!name.empty() && SUBLANGID(language) == 0)
            return name;
        const WideString country = GetLocaleStrWide(locale, LOCALE_SISO3166CTRYNAME, u"");
        if (!name.empty() && !country.empty())
            return name + u"_" + country;
        return VynTrxLangs().ExtOfLangID(language);
    }
    WideString extension = ExtractFileExtWide(moduleFile);
    if (!extension.empty() && extension.front() == u'.')
        extension.erase(0, 1);
    return extension;
}

TPoEntry HeaderEntry(const WideString& applicationFile, const WideString& moduleFile) {
    TPoEntry header;
    header.MsgStr = u"Project-Id-Version: " + ExtractFileNameWide(applicationFile) + u"\n" + u"Language: " +
                    LanguageTag(applicationFile, moduleFile) + u"\n" +
                    u"MIME-Version: 1.0\n"
                    u"Content-Type: text/plain; charset=UTF-8\n"
                    u"Content-Transfer-Encoding: 8bit\n"
                    u"X-Vyn-Build: " +
                    ModuleGuid(moduleFile) + u"\n";
    return header;
}

// The program's own text of a row, as the module's untranslated text would be.
WideString BuildText(TVynTransTable& build, const WideString& id) {
    if (!build.GotoTranID(id))
        throw EVynGeneralError("The program has no row " + MessageText(id) + " of its translation module.");
    return build.TranValue();
}

WideString JoinedComment(const std::vector<WideString>& lines) {
    WideString comment;
    for (const WideString& line : lines) {
        if (!comment.empty())
            comment += u' ';
        comment += line;
    }
    return comment;
}

struct PlannedRow {
    const TPoEntry* Entry = nullptr;
    WideString Text;
    bool Translated = false;
};

std::string Location(const std::string& poName, size_t line, const TPoEntry& entry) {
    return poName + ":" + std::to_string(line) + ": " + MessageText(entry.Context) + ": ";
}

} // namespace

uint16_t ParseLanguageArgument(const WideString& text) {
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        uint32_t value = 0;
        bool valid = text.size() <= 6;
        for (size_t i = 2; valid && i < text.size(); ++i) {
            const char16_t ch = text[i];
            const int digit = ch >= u'0' && ch <= u'9'   ? ch - u'0'
                              : ch >= u'a' && ch <= u'f' ? ch - u'a' + 10
                              : ch >= u'A' && ch <= u'F' ? ch - u'A' + 10
                                                         : -1;
            valid = digit >= 0;
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        if (valid && value != 0)
            return static_cast<uint16_t>(value);
    } else if (const LANGID language = VynTrxLangs().LangIDOfExt(text); language != 0) {
        return language;
    }
    throw EVynGeneralError("Unknown language: " + MessageText(text));
}

WideString CreateModuleCommand(const WideString& applicationFile, uint16_t language) {
    return CreateTranslationModule(FullPath(applicationFile), language);
}

void UpdateModuleCommand(const WideString& applicationFile, const WideString& moduleFile) {
    UpdateTranslationResource(FullPath(applicationFile), FullPath(moduleFile));
}

std::vector<TPoEntry> ExportEntries(const WideString& applicationFileName, const WideString& moduleFileName) {
    const WideString applicationFile = FullPath(applicationFileName);
    const WideString moduleFile = FullPath(moduleFileName);
    RequireSameBuild(applicationFile, moduleFile);
    TVynTransTable build;
    build.LoadFromModule(applicationFile, applicationFile);
    TVynTransTable module;
    module.LoadFromModule(applicationFile, moduleFile);

    std::vector<TPoEntry> entries{HeaderEntry(applicationFile, moduleFile)};
    const TControlsDisabled quiet(module);
    for (module.First(); !module.Eof(); module.Next()) {
        TPoEntry entry;
        entry.HasContext = true;
        entry.Context = module.TranID();
        entry.MsgId = BuildText(build, entry.Context);
        if (!module.Comment().empty())
            entry.TranslatorComments.push_back(module.Comment());
        entry.ExtractedComments.push_back(module.TranType());
        const WideString text = module.TranValue();
        const WideString ownText = module.IsStringResource() ? StoredResourceText(entry.MsgId) : entry.MsgId;
        const bool untranslated = !module.Translated();
        if (!untranslated || text != ownText) {
            entry.MsgStr = text;
            if (untranslated)
                entry.Flags.emplace_back(FuzzyFlag);
            if (text.empty())
                entry.Flags.emplace_back(EmptyTextFlag);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

void ExportCommand(const WideString& applicationFile, const WideString& moduleFile,
                   const WideString& poFile) {
    WriteWholeFile(poFile, WritePoFile(ExportEntries(applicationFile, moduleFile)));
}

int ImportCommand(const WideString& applicationFileName, const WideString& moduleFileName,
                  const WideString& poFile, TToolReport& report) {
    const WideString applicationFile = FullPath(applicationFileName);
    const WideString moduleFile = FullPath(moduleFileName);
    const std::string poName = MessageText(poFile);
    const std::vector<TPoEntry> entries = ReadPoFile(poName, ReadWholeFile(poFile));
    RequireSameBuild(applicationFile, moduleFile);
    TVynTransTable build;
    build.LoadFromModule(applicationFile, applicationFile);
    TVynTransTable module;
    module.LoadFromModule(applicationFile, moduleFile);

    // Everything is checked before anything is changed, so that a refused file leaves the module
    // as it was.
    std::vector<PlannedRow> plan;
    std::map<WideString, size_t> firstLines;
    bool refused = false;
    // Problems of the text are reported at its msgstr, those of the entry as a whole where it starts.
    const auto refuse = [&](const TPoEntry& entry, size_t line, const std::string& message) {
        report.Err.push_back(Location(poName, line, entry) + message);
        refused = true;
    };
    for (const TPoEntry& entry : entries) {
        if (entry.IsHeader())
            continue;
        if (!entry.HasContext) {
            report.Out.push_back(poName + ":" + std::to_string(entry.Line) +
                                 ": an entry without msgctxt matches no row");
            continue;
        }
        const auto [first, added] = firstLines.try_emplace(AsciiUpper(entry.Context), entry.Line);
        if (!added) {
            refuse(entry, entry.Line,
                   "a second entry for this row (the first is on line " + std::to_string(first->second) +
                       ")");
            continue;
        }
        if (!module.GotoTranID(entry.Context)) {
            report.Out.push_back(Location(poName, entry.Line, entry) + "unknown to the module");
            continue;
        }
        const bool isResourceString = module.IsStringResource();
        const WideString ownText = BuildText(build, module.TranID());
        PlannedRow row{&entry, {}, false};
        const bool hasText = !entry.MsgStr.empty() || entry.HasFlag(EmptyTextFlag);
        if (hasText) {
            row.Text = entry.MsgStr;
            row.Translated = !entry.HasFlag(FuzzyFlag);
        } else {
            row.Text = isResourceString ? StoredResourceText(ownText) : ownText;
        }
        if (isResourceString) {
            if (row.Text.empty()) {
                refuse(
                    entry, entry.MsgStrLine,
                    "a resource string can not be empty: the module's string table keeps no empty strings");
                continue;
            }
            if (hasText && IsValidFormat(ownText)) {
                try {
                    CompareFormatStrings(ownText, row.Text);
                } catch (const EVynGeneralError& error) {
                    refuse(entry, entry.MsgStrLine, error.Message());
                    continue;
                }
            }
        }
        plan.push_back(std::move(row));
    }
    if (refused)
        return 1;

    {
        const TControlsDisabled quiet(module);
        for (const PlannedRow& row : plan) {
            // What the table refuses (a form property's text it cannot convert) stops the import
            // before anything is saved.
            try {
                module.GotoTranID(row.Entry->Context);
                module.Edit();
                module.SetTranValue(row.Text);
                module.SetTranslated(row.Translated);
                module.SetComment(JoinedComment(row.Entry->TranslatorComments));
                module.Post();
            } catch (Exception& error) {
                error.SetMessage(Location(poName, row.Entry->MsgStrLine, *row.Entry) + error.Message());
                throw;
            }
        }
    }
    module.SaveToModule(false);

    const TControlsDisabled quiet(module);
    for (module.First(); !module.Eof(); module.Next()) {
        if (!module.Translated())
            report.Out.push_back("untranslated: " + MessageText(module.TranID()));
    }
    return 0;
}
