// Drives the installer's dialogs as a user would, for the installer tests: finds
// a dialog by its title, types into its field, ticks boxes and presses buttons,
// and checks what it shows. Each step waits for what it needs, up to a minute.
//   dialog_driver STEP...
//     window=TEXT     the dialog with a text that holds TEXT (its title, or a
//                     control's), other than the one the last press acted on
//     field=TEXT      its edit field holds exactly TEXT
//     type=TEXT       types TEXT into its edit field
//     shows=TEXT      one of its texts holds TEXT
//     tick=TEXT       the check box TEXT is ticked
//     disabled=TEXT   the button TEXT is disabled
//     press=TEXT      presses the button TEXT, which must be enabled
// On failure it prints the step, and each dialog it sees with its controls.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Control {
    HWND window;
    std::string kind;
    std::string text;
};

std::string text_of(HWND window) {
    char text[2048] = "";
    // (a message with a time-out: the dialog's thread may be busy installing)
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

std::string kind_of(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK add_dialog(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && kind_of(window) == "MsiDialogCloseClass")
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> dialogs() {
    std::vector<HWND> found;
    EnumWindows(add_dialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

BOOL CALLBACK add_control(HWND window, LPARAM list) {
    if (IsWindowVisible(window))
        reinterpret_cast<std::vector<Control>*>(list)->push_back(
            {window, kind_of(window), text_of(window)});
    return TRUE;
}

std::vector<Control> controls(HWND dialog) {
    std::vector<Control> found;
    EnumChildWindows(dialog, add_control, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND find(HWND dialog, const char* kind, const std::string& text, bool exact) {
    for (const Control& control : controls(dialog))
        if ((!*kind || _stricmp(control.kind.c_str(), kind) == 0) &&
            (exact ? control.text == text : control.text.find(text) != std::string::npos))
            return control.window;
    return nullptr;
}

void show_what_is_there() {
    for (HWND dialog : dialogs()) {
        std::printf("  dialog \"%s\"\n", text_of(dialog).c_str());
        for (const Control& control : controls(dialog))
            std::printf("    %s%s \"%s\"\n", control.kind.c_str(),
                        IsWindowEnabled(control.window) ? "" : " (disabled)", control.text.c_str());
    }
}

// A control's notice to its dialog, as a click or a keystroke sends it.
void notify(HWND dialog, HWND control, WORD code) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                 reinterpret_cast<LPARAM>(control));
}

struct Driver {
    HWND dialog = nullptr;
    HWND acted_on = nullptr;  // a dialog that may still show for a moment

    // One attempt at a step: true when done.
    bool attempt(const std::string& verb, const std::string& text) {
        if (verb == "window") {
            for (HWND found : dialogs())
                if (found != acted_on && (text_of(found).find(text) != std::string::npos ||
                                          find(found, "", text, false))) {
                    dialog = found;
                    acted_on = nullptr;
                    return true;
                }
            return false;
        }
        if (!dialog || !IsWindow(dialog)) return false;
        if (verb == "field") {
            const HWND field = find(dialog, "Edit", text, true);
            return field != nullptr;
        }
        if (verb == "type") {
            const HWND field = find(dialog, "Edit", "", false);
            if (!field) return false;
            SendMessageTimeoutA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                SMTO_ABORTIFHUNG, 5000, nullptr);
            notify(dialog, field, EN_CHANGE);
            return true;
        }
        if (verb == "shows") return find(dialog, "Static", text, false) != nullptr;
        const HWND button = find(dialog, "Button", text, true);
        if (!button) return false;
        if (verb == "disabled") return !IsWindowEnabled(button);
        if (!IsWindowEnabled(button)) return false;
        if (verb == "tick") {
            if (SendMessageA(button, BM_GETCHECK, 0, 0) != BST_CHECKED)
                notify(dialog, button, BN_CLICKED);
            Sleep(200);
            return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
        }
        if (verb == "press") {
            notify(dialog, button, BN_CLICKED);
            acted_on = dialog;
            return true;
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    Driver driver;
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        const std::size_t equals = step.find('=');
        const std::string verb = step.substr(0, equals);
        const std::string text = equals == std::string::npos ? "" : step.substr(equals + 1);
        bool done = false;
        for (int tries = 0; tries < 600 && !(done = driver.attempt(verb, text)); ++tries)
            Sleep(100);
        if (!done) {
            std::printf("dialog_driver: step %s did not happen; what is there:\n", step.c_str());
            show_what_is_there();
            return 1;
        }
        std::printf("dialog_driver: %s\n", step.c_str());
    }
    return 0;
}
