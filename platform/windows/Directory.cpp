#include "platform/Directory.h"

#include "platform/windows/UniqueHandle.h"

#include <algorithm>
#include <cwchar>

namespace platform {
namespace {

using windows_detail::Owned;

std::optional<SystemTime> CalendarFields(const FILETIME& time) {
    if (time.dwLowDateTime == 0 && time.dwHighDateTime == 0) {
        return SystemTime{};
    }
    SYSTEMTIME fields{};
    if (!::FileTimeToSystemTime(&time, &fields)) {
        return std::nullopt;
    }
    return SystemTime{fields.wYear, fields.wMonth,  fields.wDay,
                      fields.wHour, fields.wMinute, fields.wSecond};
}

// One walk for both widths: findFirst and findNext are the W or the A calls, Data the
// matching find record, toName what turns its cFileName into the caller's text.
template <typename Found, typename Data, typename Char, typename FindFirst, typename FindNext,
          typename ToName>
bool Enumerate(const std::basic_string<Char>& pattern, FindFirst findFirst, FindNext findNext,
               const ToName& toName, const std::function<void(const Found&)>& visit) {
    if (pattern.find(Char(0)) != std::basic_string<Char>::npos) {
        return false;
    }
    Data data{};
    auto find = Owned<&::FindClose>(findFirst(pattern.c_str(), &data));
    if (!find) {
        // An empty drive root has not even "." and "..": it lists nothing, but it listed.
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    Found found;
    do {
        found.name = toName(data.cFileName);
        found.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        found.lastWrite = CalendarFields(data.ftLastWriteTime);
        visit(found);
    } while (findNext(find.get(), &data));
    return true;
}

} // namespace

bool EnumerateDirectoryW(std::u16string_view pattern,
                         const std::function<void(const FindDataW&)>& visit) {
    return Enumerate<FindDataW, WIN32_FIND_DATAW>(
        std::wstring(pattern.begin(), pattern.end()), &::FindFirstFileW, &::FindNextFileW,
        [](const wchar_t* name) { return std::u16string(name, name + std::wcslen(name)); }, visit);
}

bool EnumerateDirectoryA(std::string_view pattern,
                         const std::function<void(const FindDataA&)>& visit) {
    return Enumerate<FindDataA, WIN32_FIND_DATAA>(
        std::string(pattern), &::FindFirstFileA, &::FindNextFileA,
        [](const char* name) { return std::string(name); }, visit);
}

std::u16string AnsiToWide(std::string_view text, std::size_t maxUnits) {
    if (text.empty() || maxUnits == 0) {
        return {};
    }
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), 1u << 30));
    const int units = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(units, 0)), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units);
    if (wide.size() > maxUnits) {
        // A surrogate pair that would not fit is left out whole.
        const bool splitsPair = wide[maxUnits - 1] >= 0xD800 && wide[maxUnits - 1] <= 0xDBFF;
        wide.resize(splitsPair ? maxUnits - 1 : maxUnits);
    }
    return std::u16string(wide.begin(), wide.end());
}

} // namespace platform
