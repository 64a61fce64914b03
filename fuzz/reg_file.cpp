// Any bytes as a .reg file. Whatever tree the reader makes of them, no key name is empty or
// holds a backslash, and writing that tree out as regedit would (hex data continued over lines,
// comments that end in a backslash, CRLF) and reading it again gives the same tree.

#include "FuzzCheck.h"
#include "platform/RegFile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

using platform::RegistryNode;
using platform::RegistryValue;

std::string QuotedName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// Every value as hex(type), eight bytes a line; every line after a comment ending in '\'.
void Write(const RegistryNode& node, const std::string& path, std::string& out) {
    out += "; the key below\\\r\n[" + path + "]\r\n";
    for (const auto& [name, value] : node.values) {
        char type[16];
        std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
        out +=
            "; a value\\\r\n" + (name.empty() ? std::string("@") : QuotedName(name)) + '=' + type;
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            char byte[8];
            std::snprintf(byte, sizeof byte, "%02x", value.data[i]);
            out += byte;
            if (i + 1 < value.data.size())
                out += (i % 8 == 7) ? ",\\\r\n  " : ",";
        }
        out += "\r\n";
    }
    for (const auto& [name, subkey] : node.subkeys) {
        FUZZ_CHECK(!name.empty() && name.find('\\') == std::string::npos);
        Write(subkey, path + '\\' + name, out);
    }
}

bool Same(const RegistryNode& a, const RegistryNode& b) {
    if (a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size())
        return false;
    for (auto x = a.values.begin(), y = b.values.begin(); x != a.values.end(); ++x, ++y) {
        if (x->first != y->first || x->second.type != y->second.type ||
            x->second.data != y->second.data)
            return false;
    }
    for (auto x = a.subkeys.begin(), y = b.subkeys.begin(); x != a.subkeys.end(); ++x, ++y) {
        if (x->first != y->first || !Same(x->second, y->second))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const RegistryNode tree = platform::ParseRegFile({reinterpret_cast<const char*>(data), size});
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    Write(tree, "HKEY_CURRENT_USER", text);
    FUZZ_CHECK(Same(platform::ParseRegFile(text), tree));
    return 0;
}
