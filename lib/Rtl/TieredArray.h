// An indexed sequence held as a row of blocks, each at most MaxBlock entries long, with the index
// of every block's first entry kept beside it. Inserting or deleting in the middle moves the
// entries of one block and adjusts one number per block, instead of moving every following
// entry; reaching an entry by its index is a binary search over the block starts. A sorted list
// that grows one entry at a time stays fast this way, and index access stays cheap.
//
// A block is cut into pieces of MaxBlock / 2 when it grows beyond MaxBlock, and a block is
// merged into a neighbour when both together fit into half a block, so the row stays short
// whatever the history of inserts and deletes. Gather() puts every entry into one block, for work
// that reaches entries by index very often (sorting); the next insert or Spread() splits it again.
// Platform-free.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

template <typename T, size_t MaxBlock = 512> class TTieredArray {
    static_assert(MaxBlock >= 4, "blocks must hold a few entries to be worth their bookkeeping");
    // Moving entries between blocks must not fail halfway, or an entry could be lost.
    static_assert(std::is_nothrow_move_constructible_v<T> && std::is_nothrow_move_assignable_v<T>);

public:
    size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    // The index must be below size(); this is the caller's invariant, not checked here.
    T& operator[](size_t index) {
        const auto [block, offset] = Locate(index);
        return blocks_[block][offset];
    }
    const T& operator[](size_t index) const {
        const auto [block, offset] = Locate(index);
        return blocks_[block][offset];
    }

    // Before the entry at index; at the end when index is size().
    void insert(size_t index, T value) {
        if (blocks_.empty()) {
            blocks_.emplace_back();
            starts_.push_back(0);
        }
        size_t block = blocks_.size() - 1;
        size_t offset = blocks_[block].size();
        if (index < size_)
            std::tie(block, offset) = Locate(index);
        std::vector<T>& target = blocks_[block];
        target.insert(target.begin() + static_cast<std::ptrdiff_t>(offset), std::move(value));
        ++size_;
        for (size_t later = block + 1; later < starts_.size(); ++later)
            ++starts_[later];
        if (target.size() > MaxBlock)
            Split(block);
    }

    void push_back(T value) { insert(size_, std::move(value)); }

    // The index must be below size().
    void erase(size_t index) {
        const auto [block, offset] = Locate(index);
        std::vector<T>& target = blocks_[block];
        target.erase(target.begin() + static_cast<std::ptrdiff_t>(offset));
        --size_;
        for (size_t later = block + 1; later < starts_.size(); ++later)
            --starts_[later];
        if (target.empty()) {
            RemoveBlock(block);
        } else if (block + 1 < blocks_.size() && target.size() + blocks_[block + 1].size() <= MaxBlock / 2) {
            MergeWithNext(block);
        } else if (block > 0 && blocks_[block - 1].size() + target.size() <= MaxBlock / 2) {
            MergeWithNext(block - 1);
        }
    }

    void clear() noexcept {
        blocks_.clear();
        starts_.clear();
        size_ = 0;
    }

    // Every entry in one block: index access becomes a plain array access.
    void Gather() {
        if (blocks_.size() <= 1)
            return;
        std::vector<T> all;
        all.reserve(size_);
        for (std::vector<T>& block : blocks_)
            std::move(block.begin(), block.end(), std::back_inserter(all));
        blocks_.clear();
        starts_.clear();
        blocks_.push_back(std::move(all));
        starts_.push_back(0);
    }

    // Blocks of at most MaxBlock entries again after Gather().
    void Spread() {
        for (size_t block = 0; block < blocks_.size(); ++block) {
            if (blocks_[block].size() > MaxBlock)
                Split(block);
        }
    }

    // The number of blocks, for tests of the bookkeeping.
    size_t BlockCount() const noexcept { return blocks_.size(); }

private:
    std::pair<size_t, size_t> Locate(size_t index) const {
        if (starts_.size() == 1)
            return {0, index};
        const auto after = std::upper_bound(starts_.begin(), starts_.end(), index);
        const auto block = static_cast<size_t>(after - starts_.begin()) - 1;
        return {block, index - starts_[block]};
    }

    // Cuts a block into pieces of half the limit (the last one takes the rest), so the next inserts
    // into it move few entries. Everything that allocates happens before the first entry moves, so
    // a failed allocation leaves the blocks as they were.
    void Split(size_t block) {
        constexpr size_t Piece = MaxBlock / 2;
        const size_t total = blocks_[block].size();
        // The pieces after the first, which stays where it is.
        const size_t newCount = total / Piece - 1;
        auto pieceEnd = [&](size_t piece) { return piece + 1 == newCount ? total : (piece + 2) * Piece; };
        blocks_.reserve(blocks_.size() + newCount);
        starts_.reserve(starts_.size() + newCount);
        std::vector<std::vector<T>> pieces(newCount);
        for (size_t piece = 0; piece < newCount; ++piece)
            pieces[piece].reserve(pieceEnd(piece) - (piece + 1) * Piece);

        std::vector<T>& source = blocks_[block];
        for (size_t piece = 0; piece < newCount; ++piece) {
            std::move(source.begin() + static_cast<std::ptrdiff_t>((piece + 1) * Piece),
                      source.begin() + static_cast<std::ptrdiff_t>(pieceEnd(piece)),
                      std::back_inserter(pieces[piece]));
        }
        source.erase(source.begin() + static_cast<std::ptrdiff_t>(Piece), source.end());
        const size_t firstStart = starts_[block];
        const auto at = static_cast<std::ptrdiff_t>(block + 1);
        blocks_.insert(blocks_.begin() + at, std::make_move_iterator(pieces.begin()),
                       std::make_move_iterator(pieces.end()));
        for (size_t piece = 0; piece < newCount; ++piece)
            starts_.insert(starts_.begin() + at + static_cast<std::ptrdiff_t>(piece),
                           firstStart + (piece + 1) * Piece);
    }

    void MergeWithNext(size_t block) {
        std::vector<T>& next = blocks_[block + 1];
        blocks_[block].reserve(blocks_[block].size() + next.size());
        std::move(next.begin(), next.end(), std::back_inserter(blocks_[block]));
        RemoveBlock(block + 1);
    }

    void RemoveBlock(size_t block) {
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(block));
        starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(block));
    }

    std::vector<std::vector<T>> blocks_;
    // starts_[b] is the index of the first entry of blocks_[b]; blocks are never empty.
    std::vector<size_t> starts_;
    size_t size_ = 0;
};
