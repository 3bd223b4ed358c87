#include "ByteReader.h"

#include <cstring>
#include <string>

EByteReadError::EByteReadError(const char* what, uint64_t offset)
    : EReadError(AnsiString(what) + " at offset " + std::to_string(offset)), offset_(offset) {}

void ByteReader::Need(uint64_t count) const {
    if (count > Remaining())
        Fail("Read past the end of the data");
}

void ByteReader::NeedRecords(uint64_t count, uint64_t recordSize) const {
    // Divided, not multiplied: no count taken from the data can wrap the comparison.
    if (recordSize != 0 && count > Remaining() / recordSize)
        Fail("Read past the end of the data");
}

void ByteReader::Seek(size_t position) {
    if (position > size_)
        throw EByteReadError("Seek past the end of the data", position);
    pos_ = position;
}

void ByteReader::Skip(uint64_t count) {
    Need(count);
    pos_ += static_cast<size_t>(count);
}

uint8_t ByteReader::PeekU8() const {
    Need(1);
    return data_[pos_];
}

uint8_t ByteReader::ReadU8() {
    return static_cast<uint8_t>(ReadLittleEndian(1));
}

uint16_t ByteReader::ReadU16() {
    return static_cast<uint16_t>(ReadLittleEndian(2));
}

uint32_t ByteReader::ReadU32() {
    return static_cast<uint32_t>(ReadLittleEndian(4));
}

uint64_t ByteReader::ReadU64() {
    return ReadLittleEndian(8);
}

uint64_t ByteReader::ReadLittleEndian(size_t byteCount) {
    Need(byteCount);
    uint64_t value = 0;
    for (size_t i = byteCount; i-- > 0;)
        value = (value << 8) | data_[pos_ + i];
    pos_ += byteCount;
    return value;
}

std::span<const uint8_t> ByteReader::ReadSpan(uint64_t count) {
    Need(count);
    const std::span<const uint8_t> bytes(data_ + pos_, static_cast<size_t>(count));
    pos_ += bytes.size();
    return bytes;
}

void ByteReader::ReadInto(void* buffer, size_t count) {
    const std::span<const uint8_t> bytes = ReadSpan(count);
    if (!bytes.empty())
        std::memcpy(buffer, bytes.data(), bytes.size());
}

AnsiString ByteReader::ReadString(uint64_t count) {
    const std::span<const uint8_t> bytes = ReadSpan(count);
    return AnsiString(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

WideString ByteReader::ReadWideString(uint64_t units) {
    NeedRecords(units, sizeof(char16_t));
    WideString text(static_cast<size_t>(units), u'\0');
    for (char16_t& unit : text)
        unit = ReadU16();
    return text;
}

AnsiString ByteReader::ReadShortString() {
    return ReadPrefixedString(1);
}

AnsiString ByteReader::ReadLongString() {
    return ReadPrefixedString(4);
}

AnsiString ByteReader::ReadPrefixedString(size_t lengthBytes) {
    const size_t start = pos_;
    const uint64_t length = ReadLittleEndian(lengthBytes);
    if (length > Remaining()) {
        // The string starts at its length, so that is where the error points.
        pos_ = start;
        Fail("Read past the end of the data");
    }
    return ReadString(length);
}

AnsiString ByteReader::ReadZString() {
    const void* terminator = Remaining() == 0 ? nullptr : std::memchr(data_ + pos_, 0, Remaining());
    if (terminator == nullptr)
        Fail("String without a terminator");
    const auto length = static_cast<size_t>(static_cast<const uint8_t*>(terminator) - (data_ + pos_));
    AnsiString text = ReadString(length);
    ++pos_;
    return text;
}

WideString ByteReader::ReadWideZString() {
    const size_t units = Remaining() / sizeof(char16_t);
    for (size_t i = 0; i < units; ++i) {
        const size_t at = pos_ + i * sizeof(char16_t);
        if (data_[at] == 0 && data_[at + 1] == 0) {
            WideString text = ReadWideString(i);
            pos_ += sizeof(char16_t);
            return text;
        }
    }
    Fail("String without a terminator");
}

uint64_t ByteReader::ReadVarU64() {
    return ReadVarUnsigned(10, 64);
}
