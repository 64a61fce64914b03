// shortcut-target LINK: prints the program a shell link (.lnk) starts, as the shell reads it;
// exit 1 when the file is no readable link. For the setup program's Start-menu entry.

#include <cstdio>
#include <objbase.h>
#include <shlobj.h>
#include <string>
#include <windows.h>
#include <wrl/client.h>

namespace {

class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (ok_) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    explicit operator bool() const { return ok_; }

private:
    bool ok_;
};

std::wstring Wide(const char* text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 0, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    return wide;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: shortcut-target LINK\n", stderr);
        return 2;
    }
    const ComApartment com;
    Microsoft::WRL::ComPtr<IShellLinkA> link;
    Microsoft::WRL::ComPtr<IPersistFile> file;
    char target[MAX_PATH + 1] = {};
    if (!com ||
        FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&file)) || FAILED(file->Load(Wide(argv[1]).c_str(), STGM_READ)) ||
        link->GetPath(target, sizeof(target), nullptr, SLGP_RAWPATH) != S_OK) {
        std::fprintf(stderr, "shortcut-target: %s is no readable shell link\n", argv[1]);
        return 1;
    }
    std::puts(target);
    return 0;
}
