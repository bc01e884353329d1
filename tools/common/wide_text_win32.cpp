#include <windows.h>

#include "wide_text.h"

namespace host {

std::wstring widened(const std::string& text, unsigned code_page) {
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, text.data(), size, &wide[0], length);
    return wide;
}

bool narrowed(const std::wstring& text, std::string& narrow, unsigned code_page) {
    narrow.clear();
    if (text.empty()) return true;
    // UTF-8 takes no default character: it refuses what it cannot spell instead.
    const bool utf8 = (code_page == CP_ACP ? GetACP() : code_page) == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* lossy_out = utf8 ? nullptr : &lossy;
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(code_page, flags, text.data(), size, nullptr, 0, nullptr, lossy_out);
    if (length <= 0 || lossy) return false;
    narrow.assign(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(code_page, flags, text.data(), size, &narrow[0], length, nullptr, nullptr);
    return true;
}

}  // namespace host
