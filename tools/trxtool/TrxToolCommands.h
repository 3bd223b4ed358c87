// The translator's commands over a program and its translation modules: make a module, rebuild it
// for the program's current build, and exchange its texts with translators as a .po file.
//
// The .po file of a module ("export"):
//   header      Project-Id-Version (the program's file name), Language (the module's language as
//               "ll_CC" from the system's locale data, "ll" for a language as a whole; the module's
//               extension where the system knows no such names), MIME-Version,
//               Content-Type (UTF-8), Content-Transfer-Encoding, X-Vyn-Build (the module's build
//               identifier)
//   one entry per row of the module's table, in the table's TranID order:
//     "# "      the row's comment
//     "#. "     the row's TranType
//     msgctxt   the row's TranID
//     msgid     the program's own text of that row
//     msgstr    the module's text when the row is translated; empty when it is untranslated and
//               the text is the program's own (a resource string's with explicit argument indexes)
//     "#, fuzzy"      untranslated, but the module's text differs from the program's: msgstr holds it
//     "#, vyn-empty"  msgstr "" stands for an empty text (an empty msgstr otherwise means untranslated)
//
// Reading one back ("import") is the reverse: a non-empty msgstr, or one flagged vyn-empty, is the
// row's text, translated unless flagged fuzzy; an empty msgstr otherwise makes the row untranslated
// with the program's text. The "#" lines, joined by a blank, become the row's comment. Entries are
// matched to rows by msgctxt alone (ignoring case, as the table finds its rows); the header is not
// read, and rows the file does not mention stay as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PoFile.h"
#include "SysTypes.h"

// Where a command reports: Out for listings, Err for refusals; one line each, without line end.
struct TToolReport {
    std::vector<std::string> Out;
    std::vector<std::string> Err;
};

// The language identifier of "DEU", ".deu" (an extension of the language list) or "0x0407"
// (hexadecimal). Raises EVynGeneralError "Unknown language: <text>" for anything else.
uint16_t ParseLanguageArgument(const WideString& text);

// CreateTranslationModule for the language; returns the new module's file name.
WideString CreateModuleCommand(const WideString& applicationFile, uint16_t language);
// UpdateTranslationResource.
void UpdateModuleCommand(const WideString& applicationFile, const WideString& moduleFile);

// The entries of the module's .po file as described above. Raises EVynGeneralError "The
// translation module <module> was made for another build of <program>: update it first." when
// their build identifiers differ, and what loading the tables raises.
std::vector<TPoEntry> ExportEntries(const WideString& applicationFile, const WideString& moduleFile);
// ExportEntries written to poFile (UTF-8).
void ExportCommand(const WideString& applicationFile, const WideString& moduleFile, const WideString& poFile);

// Reads poFile into the module. Every resource string's text that would go into the module (also a
// fuzzy one: the program shows it all the same) must take the arguments of the program's text
// (CompareFormatStrings; a program text that is no valid format is not compared); every refusal
// is reported on Err as "<po>:<line>: <context>: <message>", the module is left as it was and the
// result is 1. So are a second entry for one context and an empty text for a resource string
// (string tables keep no empty strings: the row would be lost). Otherwise the texts, comments and
// marks are saved into the module, Out lists the contexts the module does not know and the rows
// left untranslated, and the result is 0. Raises what reading the file (EPoFileError) and the
// tables raise, and the refusal of another build as ExportEntries.
int ImportCommand(const WideString& applicationFile, const WideString& moduleFile, const WideString& poFile,
                  TToolReport& report);
