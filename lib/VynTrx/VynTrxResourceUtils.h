// Making a translation module for a language, and rebuilding one made for another build of the
// program so that it fits the running build and keeps its translations.
#pragma once

#include <cstdint>

#include "SysTypes.h"

// Replaces every resource of destination by those of source, and adds the identifier map of
// source's section "VYN.DRC" (when it has one) as RCDATA "VYN.DRC". Raises EOSError when a
// resource cannot be read or written.
void CopyModuleResources(const WideString& source, const WideString& destination);

// Makes the module of a language beside the program: the empty template, the program's resources,
// and every resource string that is a format with implicit specifiers stored with explicit
// indexes. Returns its file name. Raises EVynInternalError "Internal Error: This translation
// already exists (%s)." when the file exists; a failure after that removes the file again.
WideString CreateTranslationModule(const WideString& applicationFile, uint16_t language);

// Rebuilds moduleFile for the running build under the flash message "Updating Translation
// Resource (<module>)": a new module made from the program, with the old module's translations,
// comments and translated marks merged in. The new module is built in a temporary file beside the
// old one, which it replaces (read-only or not) only when every step has succeeded: on any failure
// the old module stays as it was and the temporary file goes. Raises EAssertionFailed when the
// module's name is not the one of its language.
void UpdateTranslationResource(const WideString& applicationFile, const WideString& moduleFile);
