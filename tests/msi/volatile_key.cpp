// Makes a registry key that lives only until the machine restarts. Windows lets
// no lasting key be made below it, which the installer tests use to make the
// provider's registration fail on purpose.
//   volatile_key KEY [32|64]   (below HKEY_LOCAL_MACHINE; in this program's view
//                              unless a view is named)
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const bool view_named =
        argc == 3 && (argv[2] == std::string("32") || argv[2] == std::string("64"));
    if (argc != 2 && !view_named) {
        std::fprintf(stderr, "usage: volatile_key KEY [32|64]\n");
        return 2;
    }
    const REGSAM view = !view_named ? 0 : argv[2][0] == '3' ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG status =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_WRITE | view, nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "volatile_key: cannot make %s: error %ld\n", argv[1], status);
        return 1;
    }
    RegCloseKey(key);
    if (disposition != REG_CREATED_NEW_KEY) {
        std::fprintf(stderr, "volatile_key: %s exists already and stays as it is\n", argv[1]);
        return 1;
    }
    return 0;
}
