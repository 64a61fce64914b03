#pragma once
// The Windows .reg text format (regedit's export), parsed into the HKEY_CURRENT_USER tree.

#include <cstdint>
#include <map>
#include <span>
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
    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

struct RegistryNode {
    std::map<std::string, RegistryNode, RegistryNameLess> subkeys; // first spelling kept
    std::map<std::string, RegistryValue, RegistryNameLess> values; // "" is the default (@)
    friend bool operator==(const RegistryNode&, const RegistryNode&) = default;
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

struct NamedDword {
    std::string name;
    std::uint32_t value = 0;
};

// The new bytes of an edited .reg file, or why it could not be edited.
struct RegFileEdit {
    std::string bytes;
    std::string fault; // empty when the edit was made
};

// Pure: a .reg file's bytes with the dword values set in the key at path below
// HKEY_CURRENT_USER (created with its parents when missing). Every other line stays byte for
// byte, in the file's encoding (UTF-16LE with BOM, UTF-8 with BOM, 8-bit) and line ends (CRLF or
// LF). A value line of the key is rewritten in place; what cannot be, is added in a new section
// of the key at the end. Empty bytes give a new file, "Windows Registry Editor Version 5.00" with
// CRLF. The result must parse to the file's tree with exactly this change, else it is refused:
// a file without a header line, and names that are not printable ASCII.
RegFileEdit SetRegFileDwords(std::string_view bytes, std::string_view path,
                             std::span<const NamedDword> values);

// Pure: a .reg file's bytes without the key at path and its subkeys: their sections are cut
// out, each with the comment lines right above it. A missing key leaves the bytes as they are.
// Refused like SetRegFileDwords when the result would not parse to the tree without the key.
RegFileEdit DeleteRegFileKey(std::string_view bytes, std::string_view path);

} // namespace platform
