#include "StandInMapiRecord.h"

#include <cstring>

#include "Handles.h"
#include "WineTestSupport.h"

void ClearStandInMapiRecord() {
    DeleteRegistryTree(HKEY_CURRENT_USER, StandInMapiRecordKey);
}

void SetStandInMapiResult(DWORD result) {
    WriteRegistryValue(HKEY_CURRENT_USER, StandInMapiRecordKey, L"Result", REG_DWORD, &result, sizeof result);
}

std::optional<std::pair<DWORD, std::vector<char>>> Recorded(const char* name) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, StandInMapiRecordKey.c_str(), 0, KEY_READ, key.Put()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<char> data(size);
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    return std::make_pair(type, std::move(data));
}

bool RecordedNull(const char* name) {
    const auto value = Recorded(name);
    return value && value->first == REG_NONE;
}

std::string RecordedText(const char* name) {
    const auto value = Recorded(name);
    if (!value)
        return "<not recorded>";
    if (value->first != REG_SZ)
        return "<not text>";
    return std::string(value->second.data());
}

unsigned long long RecordedNumber(const char* name) {
    const auto value = Recorded(name);
    unsigned long long number = 0;
    if (!value || value->first != REG_QWORD || value->second.size() != sizeof number)
        return ~0ULL;
    std::memcpy(&number, value->second.data(), sizeof number);
    return number;
}

std::vector<char> RecordedBytes(const char* name) {
    const auto value = Recorded(name);
    return value && value->first == REG_BINARY ? value->second : std::vector<char>{};
}
