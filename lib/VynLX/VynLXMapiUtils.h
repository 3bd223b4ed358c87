// Sending a prepared message through the system's Simple MAPI (the user's mail program).
#pragma once

#include <cstdint>

#include "SysTypes.h"

// The library whose MAPISendMail SendMapiMail calls, initially "MAPI32.DLL". A bare name is
// loaded from the system folder only, never from the program's or the current folder (a library
// planted there must not run); a name with a folder (tests) is loaded as given.
WideString& MapiLibraryName();

// Hands the message to MAPISendMail of MapiLibraryName(), modal to the application window. Every
// argument is optional (empty means absent); a recipient or originator is only sent with its
// address ("SMTP:" + address), named by its display name or else by the address. The mail
// program shows the message for editing unless noDialog is set.
// Raises EVynGeneralError "Mapi32.dll is not available at this time." when the library cannot be
// loaded, "MAPISendMail is not available at this time (in Mapi32.dll)." when it lacks the export,
// and MapiErrorText(result) for a failing result; EAbort (silent) when the user cancelled. The
// library is unloaded again on every path.
void SendMapiMail(const AnsiString& subject, const AnsiString& body, const AnsiString& attachmentPath,
                  const AnsiString& originatorAddress, const AnsiString& originatorName,
                  const AnsiString& recipientAddress, const AnsiString& recipientName, bool noDialog);

// The English text of a Simple MAPI result code; codes without their own text give
// "MAPISendMail resulted in an error (<code>)." Code 0 (success) is no error: raises the
// runtime's assertion failure.
WideString MapiErrorText(uint32_t code);
