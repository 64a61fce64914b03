#pragma once
// The folder list's rows, packed so that a root of a hundred thousand folders costs a few
// megabytes: per row one small fixed entry, the texts in shared blocks of UTF-16 units, and
// the stored name kept apart only where it differs from the name.

#include "FrmManage/FolderListing.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class FolderRows {
public:
    // A name or stored name longer than a name block's 259 units is cut to 259; no folder
    // name comes that long.
    static constexpr std::size_t kMaxTextUnits = kPathUnits - 1;

    // The storage stays where it is: views of earlier rows stay valid until Clear().
    void Append(const FolderRow& row);
    // Keeps the storage for the next listing, which then touches no new memory.
    void Clear();

    std::size_t Size() const { return size_; }
    // Throws std::out_of_range for an index at or past Size().
    FolderRowView Row(std::size_t index) const;
    void SetStateIndex(std::size_t index, int stateIndex);

private:
    struct Entry {
        std::uint32_t text; // the name's first unit; a stored name apart follows it
        std::uint16_t nameUnits;
        std::int8_t stateIndex;
        std::uint8_t flags;
        platform::SystemTime lastWrite;
    };

    // Fixed blocks allocated on first use and never moved or freed before the rows go.
    template <typename T, std::size_t kCount> class Blocks {
    public:
        static constexpr std::size_t kSize = kCount;
        T* At(std::size_t block) {
            while (blocks_.size() <= block) {
                blocks_.push_back(std::make_unique_for_overwrite<T[]>(kCount));
            }
            return blocks_[block].get();
        }
        const T* At(std::size_t block) const { return blocks_[block].get(); }

    private:
        std::vector<std::unique_ptr<T[]>> blocks_;
    };

    Entry& EntryAt(std::size_t index);
    const Entry& EntryAt(std::size_t index) const;

    Blocks<Entry, 4096> entries_;
    Blocks<char16_t, 32768> text_;
    std::size_t size_ = 0;
    std::size_t textEnd_ = 0; // the first free unit, counted across the text blocks
};
