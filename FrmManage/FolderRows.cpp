#include "FrmManage/FolderRows.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace {

constexpr std::uint8_t kNameTooLong = 1;
constexpr std::uint8_t kStoredApart = 2; // the stored name differs: its length, then its units

std::u16string_view Cut(std::u16string_view text) {
    return text.substr(0, FolderRows::kMaxTextUnits);
}

} // namespace

void FolderRows::Append(const FolderRow& row) {
    const std::u16string_view name = Cut(row.name);
    const std::u16string_view stored = Cut(row.storedName);
    const bool apart = stored != name;
    const std::size_t units = name.size() + (apart ? 1 + stored.size() : 0);
    // A row's texts share one block: start a new block when they do not fit in this one.
    if (textEnd_ % text_.kSize + units > text_.kSize) {
        textEnd_ += text_.kSize - textEnd_ % text_.kSize;
    }
    if (textEnd_ + units > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("too many folders to list");
    }
    char16_t* text = text_.At(textEnd_ / text_.kSize) + textEnd_ % text_.kSize;
    std::copy(name.begin(), name.end(), text);
    if (apart) {
        text[name.size()] = static_cast<char16_t>(stored.size());
        std::copy(stored.begin(), stored.end(), text + name.size() + 1);
    }

    Entry& entry = entries_.At(size_ / entries_.kSize)[size_ % entries_.kSize];
    entry.text = static_cast<std::uint32_t>(textEnd_);
    entry.nameUnits = static_cast<std::uint16_t>(name.size());
    entry.stateIndex = static_cast<std::int8_t>(row.stateIndex);
    entry.flags = static_cast<std::uint8_t>((row.nameTooLong ? kNameTooLong : 0) |
                                            (apart ? kStoredApart : 0));
    entry.lastWrite = row.lastWrite;
    textEnd_ += units;
    ++size_;
}

void FolderRows::Clear() {
    size_ = 0;
    textEnd_ = 0;
}

FolderRows::Entry& FolderRows::EntryAt(std::size_t index) {
    return const_cast<Entry&>(std::as_const(*this).EntryAt(index));
}

const FolderRows::Entry& FolderRows::EntryAt(std::size_t index) const {
    if (index >= size_) {
        throw std::out_of_range("no folder row at this index");
    }
    return entries_.At(index / entries_.kSize)[index % entries_.kSize];
}

FolderRowView FolderRows::Row(std::size_t index) const {
    const Entry& entry = EntryAt(index);
    const char16_t* text = text_.At(entry.text / text_.kSize) + entry.text % text_.kSize;
    FolderRowView row;
    row.name = std::u16string_view(text, entry.nameUnits);
    row.storedName = (entry.flags & kStoredApart)
                         ? std::u16string_view(text + entry.nameUnits + 1, text[entry.nameUnits])
                         : row.name;
    row.nameTooLong = (entry.flags & kNameTooLong) != 0;
    row.stateIndex = entry.stateIndex;
    row.lastWrite = entry.lastWrite;
    return row;
}

void FolderRows::SetStateIndex(std::size_t index, int stateIndex) {
    EntryAt(index).stateIndex = static_cast<std::int8_t>(stateIndex);
}
