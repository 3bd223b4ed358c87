#include "Sha1.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t RotateLeft(uint32_t value, unsigned bits) {
    return value << bits | value >> (32 - bits);
}

} // namespace

Sha1::Sha1() : state_{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u} {}

void Sha1::Block(const uint8_t* block) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t{block[4 * i]} << 24 | uint32_t{block[4 * i + 1]} << 16 |
               uint32_t{block[4 * i + 2]} << 8 | block[4 * i + 3];
    for (int i = 16; i < 80; ++i)
        w[i] = RotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const uint32_t next = RotateLeft(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = RotateLeft(b, 30);
        b = a;
        a = next;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
}

void Sha1::Add(std::span<const uint8_t> bytes) {
    totalBytes_ += bytes.size();
    size_t pos = 0;
    if (pendingSize_ > 0) {
        const size_t take = std::min(bytes.size(), pending_.size() - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, bytes.data(), take);
        pendingSize_ += take;
        pos = take;
        if (pendingSize_ < pending_.size())
            return;
        Block(pending_.data());
        pendingSize_ = 0;
    }
    for (; bytes.size() - pos >= 64; pos += 64)
        Block(bytes.data() + pos);
    if (pos < bytes.size()) {
        std::memcpy(pending_.data(), bytes.data() + pos, bytes.size() - pos);
        pendingSize_ = bytes.size() - pos;
    }
}

std::array<uint8_t, 20> Sha1::Finish() {
    const uint64_t bits = totalBytes_ * 8;
    uint8_t padding[72] = {0x80};
    const size_t padSize = pendingSize_ < 56 ? 56 - pendingSize_ : 120 - pendingSize_;
    for (int i = 0; i < 8; ++i)
        padding[padSize + static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Add(std::span<const uint8_t>(padding, padSize + 8));
    std::array<uint8_t, 20> digest;
    for (size_t i = 0; i < 5; ++i)
        for (size_t b = 0; b < 4; ++b)
            digest[4 * i + b] = static_cast<uint8_t>(state_[i] >> (24 - 8 * b));
    return digest;
}
