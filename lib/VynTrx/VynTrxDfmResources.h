// The form resources of modules as parsed form texts (VynTrxDfmUtils): reading every form of a
// module, the render self-check with its dump files, and writing the forms back through a
// resource update.
#pragma once

#include <windows.h>

#include "SysTypes.h"
#include "VynTrxDfmUtils.h"

// Where the self-check leaves the form text and its rendering when they differ.
constexpr char16_t DfmOriginalDumpFile[] = u"c:\\Vyn_Original_Dfm.txt";
constexpr char16_t DfmRenderedDumpFile[] = u"c:\\Vyn_Rendered_Dfm.txt";

// Writes both texts to the dump files, each deleted first; the self-check's handler. A file that
// cannot be written is left out silently: the render difference is the failure to report.
void WriteDfmRenderDumps(const AnsiString& original, const AnsiString& rendered);

// Reads the RCDATA resource resourceName of module (a binary form stream), converts it to form
// text and loads the form from it (TDfmForm::Load). On a render difference both texts are written
// to the dump files (WriteDfmRenderDumps) and EVynInternalError DfmRenderMismatchMessage is raised. Raises
// EResNotFound for a missing resource, EReadError for a malformed stream and the parse errors of
// VynTrxDfmUtils, each with the resource name in Subject(); properties grows only when the form has loaded.
void LoadDfmFormResource(TDfmForm& form, HMODULE module, const WideString& resourceName,
                         TDfmPropertyList& properties);

// Clears both lists, then loads every RCDATA resource of the module that holds a binary form
// stream, in the system's enumeration order, under the flash message "Reading Translation Info
// for " + moduleFileName. Stops at the first form that fails to load, keeping the forms before it.
// Raises EOSError when the resources cannot be enumerated.
void ReadForms(HMODULE module, const WideString& moduleFileName, TDfmFormList& forms,
               TDfmPropertyList& properties);

// Stores each form's rendering, converted to a binary form stream, as RCDATA "T" + upper-cased
// root name, language neutral, in the update begun by BeginUpdateResourceW. Raises EOSError
// ("UpdateResourceW", the resource name) when the update refuses a resource, and the conversion's
// errors for a form whose edited text no longer converts.
void WriteForms(HANDLE update, TDfmFormList& forms);
