#pragma once
// The Windows .reg text format (regedit's export), parsed into the HKEY_CURRENT_USER tree.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Orders names as Windows enumerates subkeys: ASCII letters upper-cased, then byte order. It
// also makes lookup case-insensitive.
struct RegistryNameLess {
    bool operator()(std::string_view a, std::string_view b) const;
    using is_transparent = void;
};

// Value types as a .reg file names them (hex(N) gives type N).
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

struct RegistryValue {
    std::uint32_t type = 0; // kRegSz, kRegBinary, kRegDword, 11 for a qword, hex(N) N
    std::vector<std::uint8_t> data;
};

struct RegistryNode {
    std::map<std::string, RegistryNode, RegistryNameLess> subkeys; // first spelling kept
    std::map<std::string, RegistryValue, RegistryNameLess> values; // "" is the default (@)
};

// Pure: the names of a key path ("SOFTWARE\\Zembar"), empty names between backslashes dropped.
std::vector<std::string_view> SplitKeyPath(std::string_view path);

// Pure: the HKEY_CURRENT_USER tree of a .reg file's bytes. Accepts a UTF-16LE file with its BOM
// (regedit's own export) and 8-bit or UTF-8 text, LF or CRLF. The first non-empty line must be
// "Windows Registry Editor Version 5.00" or "REGEDIT4"; without it the tree is empty. Keys of
// other hives are skipped; a key given twice merges; "[-key]" deletes the key and its subtree,
// "name"=- deletes a value, as regedit does on import. Lines that parse as nothing (comments
// starting with ';', garbage) are skipped. A trailing backslash continues hex data on the next
// line; on any other line (a comment, a dword, a string) it is just a character.
RegistryNode ParseRegFile(std::string_view bytes);

} // namespace platform
