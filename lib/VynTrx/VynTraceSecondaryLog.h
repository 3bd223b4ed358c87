// Where the report of an exception raised while the exception dialog is open goes: no second
// window is shown for it, so its text is kept in the system's event log (NT family) or in a
// numbered error file below the temporary folder (elsewhere, where there is no event log).
#pragma once

#include <cstddef>

#include "SysTypes.h"

// WriteEventLogEntry on the NT family (VynPlatformIsNT), WriteErrorFile elsewhere.
void LogSecondaryReport(const WideString& text);

// One error event (category 0, identifier 0, no user, no data) whose one string is the text, from
// the event source named after the program's file name without folder and extension. The NT
// family only: elsewhere raises the assertion failure of lib/VynTrx/VynTraceExceptDlg. Raises
// EOSError (subject: the source name) when the system refuses the source or the event.
void WriteEventLogEntry(const WideString& text);

// The longest string the event log takes in one event; a longer one would fail the whole event.
inline constexpr size_t EventLogStringLimit = 31839;
// The text cut to EventLogStringLimit units, never between the two halves of a surrogate pair.
WideString EventLogEntryText(const WideString& text);

// Writes the text as a new file "<temp><program>\<program>_Error_NNNN.txt" (NNNN = 0001, 0002, ...:
// the first number whose file does not exist yet) and returns its path. The folder is created with
// every missing level. Each name is claimed by creating the file exclusively, so an existing file
// is never overwritten, by this process or by another writing at the same moment. The text is
// stored as a wide list saves itself: UTF-16LE after the mark FF FE, each line ending in CR LF.
// Raises EVynGeneralError "Could not create %s" for the folder, EFCreateError "Cannot create file
// %s" for the file and EWriteError for the writing, each with the path as subject.
WideString WriteErrorFile(const WideString& text);
