#include "registry.h"

namespace reg {

const REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

namespace {

REGSAM g_workingView = kOwnView;

class Key {
  public:
    Key() = default;
    ~Key() {
        if (m_key != nullptr) RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    LONG open(const std::string& path, REGSAM access, REGSAM view = working_view()) {
        return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | view, &m_key);
    }
    LONG create(const std::string& path, bool& created) {
        DWORD disposition = 0;
        const LONG status =
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                            KEY_READ | KEY_WRITE | working_view(), nullptr, &m_key, &disposition);
        created = disposition == REG_CREATED_NEW_KEY;
        return status;
    }
    HKEY get() const { return m_key; }

  private:
    HKEY m_key = nullptr;
};

std::string as_string(const RawValue& value) {
    std::string text(value.data.begin(), value.data.end());
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

LONG write_raw(const std::string& key, const std::string& name, const RawValue& value) {
    Key opened;
    bool created = false;
    LONG status = opened.create(key, created);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExA(opened.get(), name.c_str(), 0, value.type, value.data.data(),
                          static_cast<DWORD>(value.data.size()));
}

LONG remove_value(const std::string& key, const std::string& name) {
    Key opened;
    LONG status = opened.open(key, KEY_SET_VALUE);
    if (status != ERROR_SUCCESS) return status;
    return RegDeleteValueA(opened.get(), name.c_str());
}

// Undoing happens in the view the change was made in, whichever is in use then.
template <class Change>
void in_view(REGSAM view, Change change) {
    const REGSAM was = working_view();
    use_view(view);
    change();
    use_view(was);
}

std::string parent_of(const std::string& key) {
    const std::size_t slash = key.find_last_of('\\');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

}  // namespace

REGSAM working_view() {
    return g_workingView;
}

void use_view(REGSAM view) {
    g_workingView = view;
}

std::optional<RawValue> read_raw(const std::string& key, const std::string& name, REGSAM view) {
    Key opened;
    if (opened.open(key, KEY_READ, view) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    RawValue value{type, std::vector<BYTE>(size + 1)};
    if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type, value.data.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::optional<std::string> read_string(const std::string& key, const std::string& name,
                                       REGSAM view) {
    const auto value = read_raw(key, name, view);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
    return as_string(*value);
}

std::map<std::string, std::string> read_strings(const std::string& key, REGSAM view) {
    std::map<std::string, std::string> values;
    Key opened;
    if (opened.open(key, KEY_READ, view) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumValueA(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (const auto text = read_string(key, std::string(name, length), view))
            values[std::string(name, length)] = *text;
    }
    return values;
}

bool key_exists(const std::string& key, REGSAM view) {
    Key opened;
    return opened.open(key, KEY_READ, view) == ERROR_SUCCESS;
}

Journal::~Journal() {
    if (m_committed) return;
    for (auto undo = m_undo.rbegin(); undo != m_undo.rend(); ++undo) (*undo)();
}

LONG Journal::remember_value(const std::string& key, const std::string& name) {
    const auto before = read_raw(key, name);
    const REGSAM view = working_view();
    if (before)
        m_undo.push_back([key, name, value = *before, view] {
            in_view(view, [&] { write_raw(key, name, value); });
        });
    else
        m_undo.push_back([key, name, view] { in_view(view, [&] { remove_value(key, name); }); });
    return ERROR_SUCCESS;
}

LONG Journal::set_string(const std::string& key, const std::string& name,
                         const std::string& value) {
    RawValue raw{REG_SZ, std::vector<BYTE>(value.begin(), value.end())};
    raw.data.push_back(0);
    return set_raw(key, name, raw);
}

LONG Journal::set_raw(const std::string& key, const std::string& name, const RawValue& value) {
    // Keys made on the way are removed again if the whole does not go through.
    std::vector<std::string> made;
    for (std::string k = key; !k.empty() && !key_exists(k); k = parent_of(k)) made.push_back(k);
    // Undone in reverse: the deepest key goes first.
    for (auto k = made.rbegin(); k != made.rend(); ++k)
        m_undo.push_back([this, path = *k, view = working_view()] {
            in_view(view, [&] { delete_key_if_empty(path); });
        });
    remember_value(key, name);
    return write_raw(key, name, value);
}

LONG Journal::delete_value(const std::string& key, const std::string& name) {
    if (!read_raw(key, name)) return ERROR_SUCCESS;
    remember_value(key, name);
    const LONG status = remove_value(key, name);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LONG Journal::delete_key_if_empty(const std::string& key) {
    Key opened;
    if (opened.open(key, KEY_READ) != ERROR_SUCCESS) return ERROR_SUCCESS;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(opened.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0 || values != 0)
        return ERROR_SUCCESS;
    return RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), working_view(), 0);
}

}  // namespace reg
