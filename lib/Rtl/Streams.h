// Stream classes of the runtime: the abstract stream and the memory streams. Handle-based
// streams live in HandleStream.h so that this header stays free of the operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "SysTypes.h"

enum class TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
public:
    virtual ~TStream() = default;

    // Read and Write transfer at most count bytes and return how many they did.
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t newSize);

    // All-or-nothing transfers: raise EReadError / EWriteError when short.
    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);
    // Copies count bytes from source (the whole source from its start when count is 0).
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over a block of memory that it does not necessarily own.
class TCustomMemoryStream : public TStream {
public:
    int32_t Read(void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }

    const void* Memory() const { return memory_; }
    void SaveToStream(TStream& stream);

protected:
    void SetPointer(void* memory, int64_t size);
    void* memory_ = nullptr;
    int64_t size_ = 0;
    int64_t position_ = 0;
};

// A growable memory stream that owns its buffer.
class TMemoryStream : public TCustomMemoryStream {
public:
    ~TMemoryStream() override;
    int32_t Write(const void* buffer, int32_t count) override;
    void SetSize(int64_t newSize) override;
    void Clear();
    void LoadFromStream(TStream& stream);
    int64_t Capacity() const { return capacity_; }
    void* Memory() { return memory_; }

protected:
    virtual void SetCapacity(int64_t newCapacity);

private:
    int64_t capacity_ = 0;
};
