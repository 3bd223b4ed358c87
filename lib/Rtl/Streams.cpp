#include "Streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "Exceptions.h"

namespace {

// Memory streams grow in 8 KiB steps so that many small writes do not reallocate each time.
constexpr int64_t MemoryDelta = 0x2000;

// Memory streams address their bytes with 32-bit counts; larger sizes are refused.
constexpr int64_t MaxMemoryStreamSize = std::numeric_limits<int32_t>::max();

} // namespace

int64_t TStream::Size() {
    const int64_t position = Seek(0, TSeekOrigin::soCurrent);
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int32_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const int64_t result = count;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 0xF000)));
    while (count > 0) {
        const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(count, static_cast<int64_t>(buffer.size())));
        source.ReadBuffer(buffer.data(), chunk);
        WriteBuffer(buffer.data(), chunk);
        count -= chunk;
    }
    return result;
}

void TCustomMemoryStream::SetPointer(void* memory, int64_t size) {
    memory_ = memory;
    size_ = size;
}

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || position_ < 0 || position_ >= size_)
        return 0;
    const int64_t available = size_ - position_;
    const int32_t taken = static_cast<int32_t>(std::min<int64_t>(available, count));
    std::memcpy(buffer, static_cast<const uint8_t*>(memory_) + position_, static_cast<size_t>(taken));
    position_ += taken;
    return taken;
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    switch (origin) {
    case TSeekOrigin::soBeginning: position_ = offset; break;
    case TSeekOrigin::soCurrent: position_ += offset; break;
    case TSeekOrigin::soEnd: position_ = size_ + offset; break;
    }
    return position_;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
    if (size_ == 0)
        return;
    // Written in chunks because the stream interface counts in 32 bits.
    const auto* bytes = static_cast<const uint8_t*>(memory_);
    int64_t done = 0;
    while (done < size_) {
        const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(size_ - done, 0x10000000));
        stream.WriteBuffer(bytes + done, chunk);
        done += chunk;
    }
}

TMemoryStream::~TMemoryStream() { std::free(memory_); }

void TMemoryStream::SetCapacity(int64_t newCapacity) {
    if (newCapacity < 0 || newCapacity > MaxMemoryStreamSize)
        throw EStreamError("Out of memory while expanding memory stream");
    if (newCapacity == 0) {
        std::free(memory_);
        memory_ = nullptr;
        capacity_ = 0;
        return;
    }
    void* grown = std::realloc(memory_, static_cast<size_t>(newCapacity));
    if (grown == nullptr)
        throw EStreamError("Out of memory while expanding memory stream");
    memory_ = grown;
    capacity_ = newCapacity;
}

void TMemoryStream::SetSize(int64_t newSize) {
    if (newSize < 0 || newSize > MaxMemoryStreamSize)
        throw EStreamError("Out of memory while expanding memory stream");
    const int64_t oldPosition = position_;
    if (newSize > capacity_ || newSize < capacity_ / 4)
        SetCapacity((newSize + (MemoryDelta - 1)) & ~(MemoryDelta - 1));
    size_ = newSize;
    if (oldPosition > newSize)
        position_ = newSize;
}

void TMemoryStream::Clear() {
    SetCapacity(0);
    size_ = 0;
    position_ = 0;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
    if (position_ < 0 || count <= 0)
        return 0;
    const int64_t end = position_ + count;
    if (end > size_) {
        if (end > capacity_)
            SetCapacity((end + (MemoryDelta - 1)) & ~(MemoryDelta - 1));
        size_ = end;
    }
    std::memcpy(static_cast<uint8_t*>(memory_) + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    const int64_t count = stream.Size();
    SetSize(count);
    if (count != 0)
        stream.ReadBuffer(memory_, static_cast<int32_t>(count));
}
