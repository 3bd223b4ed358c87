// What the stand-in mail library (tests/fixtures/StandInMapi) recorded of the last MAPISendMail
// call, under HKCU\Software\FerruleTests\Mapi, and the result it is told to return.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

inline const std::wstring StandInMapiRecordKey = L"Software\\FerruleTests\\Mapi";

// Forgets every record, the result to return included.
void ClearStandInMapiRecord();
// The result the stand-in returns from then on (0 when none is set).
void SetStandInMapiResult(DWORD result);

// One value the stand-in recorded; nothing when it recorded no value of that name.
std::optional<std::pair<DWORD, std::vector<char>>> Recorded(const char* name);
// A null pointer the stand-in was handed.
bool RecordedNull(const char* name);
// Text, or "<not recorded>" / "<not text>".
std::string RecordedText(const char* name);
// A number or pointer, or ~0 when none was recorded.
unsigned long long RecordedNumber(const char* name);
// Bytes (an attachment's copy); empty when none were recorded.
std::vector<char> RecordedBytes(const char* name);
