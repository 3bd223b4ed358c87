#include "VynTraceSupportMail.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>

#include "Application.h"
#include "Exceptions.h"
#include "StringLists.h"
#include "VynClasses.h"
#include "VynFormatStrUtils.h"
#include "VynLXMapiUtils.h"
#include "VynLXUtils.h"
#include "VynSystem.h"

WideString SupportEmailAddress;

namespace {

constexpr char16_t AttachmentName[] = u"Error Details.txt";

// The message is an argument, not part of the template: a "%" in it is carried as it is.
constexpr char16_t SupportMailTemplate[] =
    u"Error message:\r\n"
    u"  %s\r\n"
    u"\r\n"
    u">> 1. What steps did you perform prior to encountering this error?\r\n"
    u"\r\n"
    u"\r\n"
    u"\r\n"
    u">> 2. What were you trying to accomplish?\r\n"
    u"\r\n"
    u"\r\n"
    u"\r\n"
    u">> 3. How often do you receive this error message?\r\n"
    u"\r\n"
    u"\r\n"
    u"\r\n"
    u">> 4. Besides email, what is the best way to contact you?\r\n"
    u"\r\n"
    u"\r\n"
    u"\r\n"
    u">> ^^^^^ Thank you for reporting this error! ^^^^^^\r\n"
    u"\r\n"
    u"(The attached file, \"Error Details.txt\", contains technical details about this error.)";

AnsiString ApplicationTitle() {
    return Application != nullptr ? Application->Title() : AnsiString();
}

// Amends the failure with the path it concerns, keeping a subject already named more closely.
void NameSubject(Exception& error, std::string_view call, const WideString& path) {
    if (!error.Subject().empty())
        return;
    const AnsiString failingCall = error.FailingCall().empty() ? AnsiString(call) : error.FailingCall();
    error.SetFailure(failingCall, path);
}

void WriteDetailsFile(const WideString& path, const std::vector<AnsiString>& lines) {
    TStringList file;
    for (const AnsiString& line : lines)
        file.Add(line);
    try {
        file.SaveToFile(path);
    } catch (Exception& error) {
        NameSubject(error, "WriteFile", path);
        throw;
    }
}

} // namespace

AnsiString SupportMailBody(const WideString& exceptionMessage) {
    return WideToAnsiCP(FormatWide(SupportMailTemplate, {exceptionMessage}), DefaultCodePage);
}

void SendSupportMail(const std::vector<AnsiString>& detailLines, const WideString& exceptionMessage) {
    const WideString attachment = CreateTempFolder() + AttachmentName;
    WriteDetailsFile(attachment, detailLines);
    const AnsiString title = ApplicationTitle();
    SendMapiMail(title + " Issue", SupportMailBody(exceptionMessage),
                 WideToAnsiCP(attachment, DefaultCodePage), "", "",
                 WideToAnsiCP(SupportEmailAddress, DefaultCodePage), title + " Support", false);
}
