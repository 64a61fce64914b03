#include "platform/RegFile.h"

#include "platform/AsciiCase.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

namespace platform {
namespace {

constexpr std::string_view kHive = "HKEY_CURRENT_USER";

bool EqualNoCase(std::string_view a, std::string_view b) {
    return !RegistryNameLess{}(a, b) && !RegistryNameLess{}(b, a);
}

// The text as 8-bit/UTF-8: a UTF-16LE file (BOM FF FE) is converted, a UTF-8 BOM dropped.
std::string Text(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::string out;
        std::uint32_t high = 0;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const std::uint32_t u = static_cast<unsigned char>(bytes[i]) |
                                    (static_cast<unsigned char>(bytes[i + 1]) << 8);
            if (u >= 0xD800 && u < 0xDC00) {
                high = u;
                continue;
            }
            if (u >= 0xDC00 && u < 0xE000 && high != 0)
                AppendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00));
            else
                AppendUtf8(out, u);
            high = 0;
        }
        return out;
    }
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    return std::string(bytes);
}

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// A quoted string at the start of s with \\ and \" escapes; s is advanced past it.
std::optional<std::string> Quoted(std::string_view& s) {
    if (!s.starts_with('"'))
        return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            out += s[++i];
        } else if (s[i] == '"') {
            s.remove_prefix(i + 1);
            return out;
        } else {
            out += s[i];
        }
    }
    return std::nullopt;
}

// True when line is a value line whose data is hex ("V"=hex:..., @=hex(b):...). As in regedit,
// only such a line continues on the next one after a trailing backslash: a comment or a dword
// that ends with one does not swallow the next line.
bool InsideHexData(std::string_view line) {
    if (line.starts_with('@'))
        line.remove_prefix(1);
    else if (!Quoted(line))
        return false;
    line = Trim(line);
    if (!line.starts_with('='))
        return false;
    line = Trim(line.substr(1));
    return line.starts_with("hex:") || line.starts_with("hex(");
}

// Logical lines: hex data continued by a trailing backslash joined, the next line's indent
// dropped.
std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    while (!text.empty()) {
        const auto end = text.find('\n');
        current += Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (current.ends_with('\\') && InsideHexData(current)) {
            current.pop_back();
            continue;
        }
        lines.push_back(std::move(current));
        current.clear();
    }
    if (!current.empty())
        lines.push_back(std::move(current));
    return lines;
}

std::optional<std::vector<std::uint8_t>> HexBytes(std::string_view s) {
    std::vector<std::uint8_t> out;
    while (true) {
        s = Trim(s);
        if (s.empty())
            return out;
        const auto comma = s.find(',');
        const std::string_view item = Trim(s.substr(0, comma));
        unsigned value = 0;
        const auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), value, 16);
        if (item.empty() || item.size() > 2 || ec != std::errc{} ||
            ptr != item.data() + item.size())
            return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(value));
        if (comma == std::string_view::npos)
            return out;
        s.remove_prefix(comma + 1);
    }
}

std::optional<std::uint32_t> HexNumber(std::string_view s, std::size_t maxDigits) {
    s = Trim(s);
    std::uint32_t value = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    if (s.empty() || s.size() > maxDigits || ec != std::errc{} || ptr != s.data() + s.size())
        return std::nullopt;
    return value;
}

// The data after '=': nullopt for "-" (delete) or data that does not parse (skipped alike).
std::optional<RegistryValue> Data(std::string_view s) {
    s = Trim(s);
    if (s.starts_with('"')) {
        auto text = Quoted(s);
        if (!text || !Trim(s).empty())
            return std::nullopt;
        RegistryValue v{kRegSz, std::vector<std::uint8_t>(text->begin(), text->end())};
        v.data.push_back(0);
        return v;
    }
    if (s.starts_with("dword:")) {
        const auto n = HexNumber(s.substr(6), 8);
        if (!n)
            return std::nullopt;
        return RegistryValue{kRegDword,
                             {static_cast<std::uint8_t>(*n), static_cast<std::uint8_t>(*n >> 8),
                              static_cast<std::uint8_t>(*n >> 16),
                              static_cast<std::uint8_t>(*n >> 24)}};
    }
    std::uint32_t type = kRegBinary;
    if (s.starts_with("hex(")) {
        const auto close = s.find("):");
        if (close == std::string_view::npos)
            return std::nullopt;
        const auto n = HexNumber(s.substr(4, close - 4), 8);
        if (!n)
            return std::nullopt;
        type = *n;
        s.remove_prefix(close + 2);
    } else if (s.starts_with("hex:")) {
        s.remove_prefix(4);
    } else {
        return std::nullopt;
    }
    auto bytes = HexBytes(s);
    if (!bytes)
        return std::nullopt;
    return RegistryValue{type, std::move(*bytes)};
}

// The node for a key line's path below the hive, created as needed; nullptr for another hive.
RegistryNode* KeyNode(RegistryNode& root, std::string_view path) {
    const auto parts = SplitKeyPath(path);
    if (parts.empty() || !EqualNoCase(parts[0], kHive))
        return nullptr;
    RegistryNode* node = &root;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        auto it = node->subkeys.find(parts[i]);
        if (it == node->subkeys.end())
            it = node->subkeys.emplace(std::string(parts[i]), RegistryNode{}).first;
        node = &it->second;
    }
    return node;
}

void DeleteKey(RegistryNode& root, std::string_view path) {
    const auto parts = SplitKeyPath(path);
    if (parts.size() < 2 || !EqualNoCase(parts[0], kHive))
        return;
    RegistryNode* node = &root;
    for (std::size_t i = 1; i + 1 < parts.size(); ++i) {
        const auto it = node->subkeys.find(parts[i]);
        if (it == node->subkeys.end())
            return;
        node = &it->second;
    }
    if (const auto it = node->subkeys.find(parts.back()); it != node->subkeys.end())
        node->subkeys.erase(it);
}

void ValueLine(RegistryNode& key, std::string_view line) {
    std::string name;
    if (line.starts_with('@')) {
        line.remove_prefix(1);
    } else {
        auto quoted = Quoted(line);
        if (!quoted)
            return;
        name = std::move(*quoted);
    }
    line = Trim(line);
    if (!line.starts_with('='))
        return;
    line.remove_prefix(1);
    if (Trim(line) == "-") {
        if (const auto it = key.values.find(name); it != key.values.end())
            key.values.erase(it);
        return;
    }
    if (auto value = Data(line))
        key.values.insert_or_assign(std::move(name), std::move(*value));
}

} // namespace

bool RegistryNameLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(AsciiUpper(x)) <
               static_cast<unsigned char>(AsciiUpper(y));
    });
}

std::vector<std::string_view> SplitKeyPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto end = path.find('\\');
        if (end != 0)
            parts.push_back(path.substr(0, end));
        if (end == std::string_view::npos)
            break;
        path.remove_prefix(end + 1);
    }
    return parts;
}

RegistryNode ParseRegFile(std::string_view bytes) {
    RegistryNode root;
    const auto lines = Lines(Text(bytes));
    auto line = lines.begin();
    while (line != lines.end() && line->empty())
        ++line;
    if (line == lines.end() ||
        (*line != "Windows Registry Editor Version 5.00" && *line != "REGEDIT4"))
        return root;
    RegistryNode* key = nullptr;
    for (++line; line != lines.end(); ++line) {
        const std::string_view l = *line;
        if (l.empty() || l.starts_with(';'))
            continue;
        if (l.starts_with('[') && l.ends_with(']')) {
            const std::string_view path = l.substr(1, l.size() - 2);
            if (path.starts_with('-')) {
                DeleteKey(root, path.substr(1));
                key = nullptr;
            } else {
                key = KeyNode(root, path);
            }
        } else if (key) {
            ValueLine(*key, l);
        }
    }
    return root;
}

} // namespace platform
