// The exception dialog's "Send Email": the report goes to the program's support address as an
// attached text file, through the user's mail program (Simple MAPI), with the exception message
// and a short questionnaire in the body.
#pragma once

#include <vector>

#include "SysTypes.h"

// The support address, set by the program when it starts and cleared when the exception dialog's
// unit ends; "" until then.
extern WideString SupportEmailAddress;

// The mail's body: the exception message (carried as it is, "%" included) and the four questions,
// 22 lines joined by CR LF without a break after the last, in DefaultCodePage.
AnsiString SupportMailBody(const WideString& exceptionMessage);

// Writes the lines (each followed by CR LF) to "Error Details.txt" in a new temporary folder
// (removed when the program ends) and hands the mail program a message with that file attached:
// subject "<application title> Issue", to "<application title> Support" at SupportEmailAddress,
// the body above, shown for editing before it is sent. Raises what SendMapiMail raises (EAbort,
// silent, when the user cancels; EVynGeneralError otherwise), and EFCreateError or EWriteError
// with the file's path as subject when the file cannot be written.
void SendSupportMail(const std::vector<AnsiString>& detailLines, const WideString& exceptionMessage);
