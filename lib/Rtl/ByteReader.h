// One checked cursor for every binary format read from untrusted bytes: little-endian integers,
// raw and counted bytes, strings and 7-bit variable-length integers. No read, seek or skip leaves
// the data; each raises EByteReadError instead and the cursor stays where it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "Exceptions.h"
#include "SysTypes.h"

// Raised for a read past the end, a seek outside the data, a zero-terminated string without its
// terminator, a variable-length integer longer than its type allows or beyond its range. The
// message ends with " at offset N", N being where the value that failed starts (for a seek, the
// position asked for); Offset() keeps N even when a caller rewords the message.
class EByteReadError : public EReadError {
public:
    EByteReadError(const char* what, uint64_t offset);
    uint64_t Offset() const noexcept { return offset_; }

private:
    uint64_t offset_;
};

class ByteReader {
public:
    // data may be null only when size is 0. The bytes must outlive the reader and every span it
    // hands out.
    ByteReader(const uint8_t* data, size_t size) noexcept : data_(data), size_(size) {}
    explicit ByteReader(std::span<const uint8_t> bytes) noexcept : ByteReader(bytes.data(), bytes.size()) {}

    size_t Position() const noexcept { return pos_; }
    size_t Size() const noexcept { return size_; }
    size_t Remaining() const noexcept { return size_ - pos_; }
    bool AtEnd() const noexcept { return pos_ == size_; }

    // Raises unless count bytes (count records of recordSize bytes) remain. Counts are 64-bit so
    // that a count taken from the data can never wrap when scaled, on any platform.
    void Need(uint64_t count) const;
    void NeedRecords(uint64_t count, uint64_t recordSize) const;

    void Seek(size_t position); // any position from 0 to Size()
    void Skip(uint64_t count);

    uint8_t PeekU8() const;
    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    uint64_t ReadU64();
    int8_t ReadI8() { return static_cast<int8_t>(ReadU8()); }
    int16_t ReadI16() { return static_cast<int16_t>(ReadU16()); }
    int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
    int64_t ReadI64() { return static_cast<int64_t>(ReadU64()); }

    // The next count bytes in place.
    std::span<const uint8_t> ReadSpan(uint64_t count);
    void ReadInto(void* buffer, size_t count);

    AnsiString ReadString(uint64_t count);     // count bytes as they are
    WideString ReadWideString(uint64_t units); // count UTF-16 units, little-endian
    AnsiString ReadShortString();              // a one-byte length, then the bytes
    AnsiString ReadLongString();               // a 32-bit length, then the bytes
    // Up to the first zero, which is consumed and not part of the result.
    AnsiString ReadZString();
    WideString ReadWideZString();

    // Unsigned LEB128: seven bits a byte, least significant first, the high bit marking another
    // byte. At most 5 bytes for 32 bits and 10 for 64; bits beyond the type are an overflow.
    uint32_t ReadVarU32() {
        // Most values of the tables read this way fit in one byte: those take no call.
        if (pos_ < size_ && data_[pos_] < 0x80)
            return data_[pos_++];
        return static_cast<uint32_t>(ReadVarUnsigned(5, 32));
    }
    uint64_t ReadVarU64();

private:
    [[noreturn]] void Fail(const char* what) const { throw EByteReadError(what, pos_); }
    uint64_t ReadLittleEndian(size_t byteCount);
    AnsiString ReadPrefixedString(size_t lengthBytes);
    uint64_t ReadVarUnsigned(unsigned maxBytes, unsigned valueBits);

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Inline: the tables of debug data hold hundreds of thousands of these.
inline uint64_t ByteReader::ReadVarUnsigned(unsigned maxBytes, unsigned valueBits) {
    uint64_t value = 0;
    for (unsigned i = 0;; ++i) {
        if (i == maxBytes)
            Fail("Variable-length integer too long");
        if (i >= Remaining())
            Fail("Read past the end of the data");
        const uint8_t byte = data_[pos_ + i];
        const uint64_t bits = byte & 0x7Fu;
        const unsigned shift = 7 * i;
        // The last byte a type allows carries only the bits left over; more would be lost.
        if (shift + 7 > valueBits && (bits >> (valueBits - shift)) != 0)
            Fail("Variable-length integer out of range");
        value |= bits << shift;
        if ((byte & 0x80) == 0) {
            pos_ += i + 1;
            return value;
        }
    }
}
