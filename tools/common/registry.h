// The machine's registry as the tools use it: one view (32-bit or
// 64-bit, matching the plug-in), and a journal that can put back everything a
// failed step had already changed.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace reg {

// The view that hosts of the plug-in's own bitness read; the health check also
// reads the other one (KEY_WOW64_32KEY, KEY_WOW64_64KEY).
extern const REGSAM kOwnView;
// The view that reads and changes go to unless told otherwise: the own one, or
// the one an administrator names (nrwregister uninstall --view).
REGSAM working_view();
void use_view(REGSAM view);

// A value of any type, as its bytes.
struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};
// Nothing when the value or its key is missing.
std::optional<RawValue> read_raw(const std::string& key, const std::string& name,
                                 REGSAM view = working_view());

// A string value as found; nothing when the value or its key is missing.
std::optional<std::string> read_string(const std::string& key, const std::string& name,
                                       REGSAM view = working_view());
// The string values of a key, by name.
std::map<std::string, std::string> read_strings(const std::string& key,
                                                REGSAM view = working_view());
bool key_exists(const std::string& key, REGSAM view = working_view());

// Changes to the registry, each remembered with what it replaced, so that all of
// them can be undone when a later one fails.
class Journal {
  public:
    ~Journal();
    // Each returns the system's error code, ERROR_SUCCESS when it worked.
    LONG set_string(const std::string& key, const std::string& name, const std::string& value);
    LONG set_raw(const std::string& key, const std::string& name, const RawValue& value);
    LONG delete_value(const std::string& key, const std::string& name);
    // Deletes the key if it holds neither values nor subkeys.
    LONG delete_key_if_empty(const std::string& key);
    void commit() { m_committed = true; }

  private:
    LONG remember_value(const std::string& key, const std::string& name);
    std::vector<std::function<void()>> m_undo;
    bool m_committed = false;
};

}  // namespace reg
