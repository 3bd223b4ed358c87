// The file side of the string lists, apart from their portable part.
#include <windows.h>

#include "Format.h"
#include "HandleStream.h"
#include "Handles.h"
#include "StringLists.h"
#include "TextConversion.h"
#include "WinText.h"

void TStrings::SaveToFile(const AnsiString& path) const {
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        EFCreateError failure(Format("Cannot create file %s", {path}));
        failure.SetFailure("CreateFileA", AnsiToWide(path));
        throw failure;
    }
    THandleStream stream(file.get());
    SaveToStream(stream);
}

void TStrings::SaveToFile(const WideString& path) const {
    UniqueFileHandle file(::CreateFileW(WinText(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        EFCreateError failure(Format("Cannot create file %s", {WideToAnsi(path)}));
        failure.SetFailure("CreateFileW", path);
        throw failure;
    }
    THandleStream stream(file.get());
    SaveToStream(stream);
}
