#include "platform/RegFile.h"

#include "platform/AsciiCase.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <utility>

namespace platform {
namespace {

constexpr std::string_view kHive = "HKEY_CURRENT_USER";

bool EqualNoCase(std::string_view a, std::string_view b) {
    return !RegistryNameLess{}(a, b) && !RegistryNameLess{}(b, a);
}

constexpr std::string_view kUtf16Bom = "\xFF\xFE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// UTF-16LE code units as UTF-8; an odd last byte is dropped.
std::string Utf16Text(std::string_view bytes) {
    std::string out;
    std::uint32_t high = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const std::uint32_t u =
            static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
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

// One line of the file as stored and as text: raw holds its bytes with its line end, text
// the line without the end as 8-bit/UTF-8.
struct PhysicalLine {
    std::string raw;
    std::string text;
};

// A file cut into lines: a UTF-16LE file (BOM FF FE) is converted line by line, a UTF-8 BOM
// set apart. Joining bom and every raw gives the bytes back.
struct SplitFile {
    std::string bom;
    bool utf16 = false;
    std::vector<PhysicalLine> lines;
};

SplitFile Split(std::string_view bytes) {
    SplitFile file;
    file.utf16 = bytes.starts_with(kUtf16Bom);
    if (file.utf16 || bytes.starts_with(kUtf8Bom)) {
        file.bom = bytes.substr(0, file.utf16 ? kUtf16Bom.size() : kUtf8Bom.size());
        bytes.remove_prefix(file.bom.size());
    }
    const std::size_t unit = file.utf16 ? 2 : 1;
    while (!bytes.empty()) {
        // The offset of the line's end unit (0A, or 0A 00 in UTF-16), or the file's end.
        std::size_t end = 0;
        while (end + unit <= bytes.size() &&
               !(bytes[end] == '\n' && (!file.utf16 || bytes[end + 1] == '\0'))) {
            end += unit;
        }
        end = std::min(end, bytes.size());
        const std::size_t length = std::min(end + unit, bytes.size());
        const std::string_view content = bytes.substr(0, end);
        file.lines.push_back({std::string(bytes.substr(0, length)),
                              file.utf16 ? Utf16Text(content) : std::string(content)});
        bytes.remove_prefix(length);
    }
    return file;
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

// A line as the parser takes it: hex data continued by a trailing backslash joined, the next
// line's indent dropped. It spans the physical lines [first, end).
struct LogicalLine {
    std::string text;
    std::size_t first = 0;
    std::size_t end = 0;
};

std::vector<LogicalLine> Logical(const std::vector<PhysicalLine>& physical) {
    std::vector<LogicalLine> lines;
    LogicalLine current;
    for (std::size_t i = 0; i < physical.size(); ++i) {
        current.text += Trim(physical[i].text);
        current.end = i + 1;
        if (current.text.ends_with('\\') && InsideHexData(current.text)) {
            current.text.pop_back();
            continue;
        }
        lines.push_back(std::move(current));
        current = LogicalLine{{}, i + 1, i + 1};
    }
    if (!current.text.empty())
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

RegistryValue DwordValue(std::uint32_t n) {
    return {kRegDword,
            {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
             static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}};
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
        return DwordValue(*n);
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

// The name of a value line ("" for @) and the data after its '='; nullopt for another line.
std::optional<std::pair<std::string, std::string_view>> SplitValueLine(std::string_view line) {
    std::string name;
    if (line.starts_with('@')) {
        line.remove_prefix(1);
    } else {
        auto quoted = Quoted(line);
        if (!quoted)
            return std::nullopt;
        name = std::move(*quoted);
    }
    line = Trim(line);
    if (!line.starts_with('='))
        return std::nullopt;
    return std::pair{std::move(name), line.substr(1)};
}

void ValueLine(RegistryNode& key, std::string_view line) {
    auto split = SplitValueLine(line);
    if (!split)
        return;
    auto& [name, data] = *split;
    if (Trim(data) == "-") {
        if (const auto it = key.values.find(name); it != key.values.end())
            key.values.erase(it);
        return;
    }
    if (auto value = Data(data))
        key.values.insert_or_assign(std::move(name), std::move(*value));
}

// The path inside a key line's brackets, a deletion's '-' kept; nullopt for another line.
std::optional<std::string_view> KeyLinePath(std::string_view line) {
    if (!line.starts_with('[') || !line.ends_with(']'))
        return std::nullopt;
    return line.substr(1, line.size() - 2);
}

bool IsHeader(std::string_view line) {
    return line == "Windows Registry Editor Version 5.00" || line == "REGEDIT4";
}

// The first line that is not empty, which must be the header.
std::vector<LogicalLine>::const_iterator FirstLine(const std::vector<LogicalLine>& lines) {
    return std::find_if(lines.begin(), lines.end(),
                        [](const LogicalLine& line) { return !line.text.empty(); });
}

bool HasHeader(const std::vector<LogicalLine>& lines) {
    const auto first = FirstLine(lines);
    return first != lines.end() && IsHeader(first->text);
}

RegistryNode Parse(const std::vector<LogicalLine>& lines) {
    RegistryNode root;
    if (!HasHeader(lines))
        return root;
    auto line = FirstLine(lines);
    RegistryNode* key = nullptr;
    for (++line; line != lines.end(); ++line) {
        const std::string_view l = line->text;
        if (l.empty() || l.starts_with(';'))
            continue;
        if (const auto path = KeyLinePath(l)) {
            if (path->starts_with('-')) {
                DeleteKey(root, path->substr(1));
                key = nullptr;
            } else {
                key = KeyNode(root, *path);
            }
        } else if (key) {
            ValueLine(*key, l);
        }
    }
    return root;
}

constexpr std::string_view kNewFile = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr std::string_view kNotAscii = "key and value names must be printable ASCII";
constexpr std::string_view kNoHeader =
    "it does not begin with \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"";
constexpr std::string_view kUnsafe = "it cannot be changed without changing its other keys";

bool IsPrintableAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool IsBlank(std::string_view bytes) {
    return bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string FullPath(std::string_view path) {
    return std::string(kHive) + "\\" + std::string(path);
}

// Whether path names key or a key below it.
bool AtOrBelow(std::string_view path, std::string_view key) {
    const auto p = SplitKeyPath(path);
    const auto k = SplitKeyPath(key);
    return p.size() >= k.size() && std::equal(k.begin(), k.end(), p.begin(), EqualNoCase);
}

bool SamePath(std::string_view a, std::string_view b) {
    return SplitKeyPath(a).size() == SplitKeyPath(b).size() && AtOrBelow(a, b);
}

std::string DwordLine(const NamedDword& value) {
    std::string name;
    for (const char c : value.name) {
        if (c == '"' || c == '\\')
            name += '\\';
        name += c;
    }
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(value.value));
    return "\"" + name + "\"=dword:" + digits;
}

std::string Join(const SplitFile& file) {
    std::string bytes = file.bom;
    for (const PhysicalLine& line : file.lines)
        bytes += line.raw;
    return bytes;
}

// New lines in a file's encoding, ended as its first line is (CRLF when none is ended).
class LineWriter {
public:
    explicit LineWriter(const SplitFile& file) : utf16_(file.utf16) {
        const auto ended = std::find_if(file.lines.begin(), file.lines.end(),
                                        [this](const PhysicalLine& l) { return Ended(l); });
        eol_ = ended == file.lines.end() || ended->text.ends_with('\r') ? "\r\n" : "\n";
    }

    // text is ASCII.
    PhysicalLine Line(const std::string& text) const {
        return {Encode(text + eol_), text + (eol_.size() == 2 ? "\r" : "")};
    }

    // A section of the key with the values after the file's last line, a blank line between.
    void AppendSection(SplitFile& file, const std::string& fullPath,
                       std::span<const NamedDword> values) const {
        if (values.empty())
            return;
        if (!file.lines.empty()) {
            if (!Ended(file.lines.back()))
                file.lines.back().raw += Encode(eol_);
            if (!Trim(file.lines.back().text).empty())
                file.lines.push_back(Line(""));
        }
        file.lines.push_back(Line("[" + fullPath + "]"));
        for (const NamedDword& value : values)
            file.lines.push_back(Line(DwordLine(value)));
    }

private:
    bool Ended(const PhysicalLine& line) const {
        return utf16_ ? line.raw.size() >= 2 && line.raw.ends_with(std::string_view("\n\0", 2))
                      : line.raw.ends_with('\n');
    }
    std::string Encode(const std::string& text) const {
        if (!utf16_)
            return text;
        std::string units;
        for (const char c : text) {
            units += c;
            units += '\0';
        }
        return units;
    }

    bool utf16_;
    std::string eol_;
};

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
    return Parse(Logical(Split(bytes).lines));
}

RegFileEdit SetRegFileDwords(std::string_view bytes, std::string_view path,
                             std::span<const NamedDword> values) {
    const bool printable = IsPrintableAscii(path) &&
                           std::all_of(values.begin(), values.end(), [](const NamedDword& v) {
                               return IsPrintableAscii(v.name);
                           });
    if (!printable || SplitKeyPath(path).empty())
        return {{}, std::string(kNotAscii)};
    const SplitFile file = Split(IsBlank(bytes) ? kNewFile : bytes);
    const auto lines = Logical(file.lines);
    if (!HasHeader(lines))
        return {{}, std::string(kNoHeader)};
    const std::string full = FullPath(path);
    RegistryNode expected = Parse(lines);
    RegistryNode* node = KeyNode(expected, full);
    for (const NamedDword& v : values)
        node->values.insert_or_assign(v.name, DwordValue(v.value));
    const LineWriter writer(file);

    // In place: the key's value lines of these names rewritten where their data differs, the
    // names it lacks added in a new section of the key.
    SplitFile inPlace{file.bom, file.utf16, {}};
    std::vector<NamedDword> missing(values.begin(), values.end());
    bool inKey = false;
    for (const LogicalLine& line : lines) {
        const auto keyPath = KeyLinePath(line.text);
        inKey = keyPath ? !keyPath->starts_with('-') && SamePath(*keyPath, full) : inKey;
        const auto split = inKey && !keyPath ? SplitValueLine(line.text) : std::nullopt;
        const auto value = split ? std::find_if(values.begin(), values.end(),
                                                [&](const NamedDword& v) {
                                                    return EqualNoCase(v.name, split->first);
                                                })
                                 : values.end();
        if (value == values.end()) {
            inPlace.lines.insert(inPlace.lines.end(), file.lines.begin() + line.first,
                                 file.lines.begin() + line.end);
            continue;
        }
        std::erase_if(missing, [&](const NamedDword& v) { return v.name == value->name; });
        if (Data(split->second) == DwordValue(value->value))
            inPlace.lines.insert(inPlace.lines.end(), file.lines.begin() + line.first,
                                 file.lines.begin() + line.end);
        else
            inPlace.lines.push_back(writer.Line(DwordLine(*value)));
    }
    writer.AppendSection(inPlace, full, missing);
    if (Parse(Logical(inPlace.lines)) == expected)
        return {Join(inPlace), {}};

    // Where the key's sections do not make the key (a later line deletes it), one new section
    // at the end does.
    SplitFile appended = file;
    writer.AppendSection(appended, full, values);
    if (Parse(Logical(appended.lines)) == expected)
        return {Join(appended), {}};
    return {{}, std::string(kUnsafe)};
}

RegFileEdit DeleteRegFileKey(std::string_view bytes, std::string_view path) {
    if (!IsPrintableAscii(path) || SplitKeyPath(path).empty())
        return {{}, std::string(kNotAscii)};
    const SplitFile file = Split(bytes);
    const auto lines = Logical(file.lines);
    const std::string full = FullPath(path);
    const RegistryNode before = Parse(lines);
    RegistryNode expected = before;
    DeleteKey(expected, full);
    if (expected == before)
        return {std::string(bytes), {}};

    // Each line belongs to the section of the key line above it; comment lines right above a
    // key line belong to that key's section.
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> owner(lines.size(), kNone);
    for (std::size_t i = 0, current = kNone; i < lines.size(); ++i) {
        if (KeyLinePath(lines[i].text)) {
            current = i;
            for (std::size_t j = i; j > 0 && lines[j - 1].text.starts_with(';'); --j)
                owner[j - 1] = i;
        }
        owner[i] = current;
    }
    SplitFile cut{file.bom, file.utf16, {}};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool dropped = owner[i] != kNone && [&] {
            std::string_view keyPath = *KeyLinePath(lines[owner[i]].text);
            if (keyPath.starts_with('-'))
                keyPath.remove_prefix(1);
            return AtOrBelow(keyPath, full);
        }();
        if (!dropped)
            cut.lines.insert(cut.lines.end(), file.lines.begin() + lines[i].first,
                             file.lines.begin() + lines[i].end);
    }
    // A last section cut leaves the blank line above it at the end; the file ends as it did.
    const auto trailingBlanks = [](const SplitFile& f) {
        return std::find_if(f.lines.rbegin(), f.lines.rend(),
                            [](const PhysicalLine& l) { return !Trim(l.text).empty(); }) -
               f.lines.rbegin();
    };
    while (trailingBlanks(cut) > trailingBlanks(file))
        cut.lines.pop_back();
    if (Parse(Logical(cut.lines)) == expected)
        return {Join(cut), {}};
    return {{}, std::string(kUnsafe)};
}

} // namespace platform
