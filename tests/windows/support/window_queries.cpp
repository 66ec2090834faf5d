#include "support/window_queries.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace testsupport {

namespace {

// A message returns within this, or the window's program is hung.
constexpr UINT SendTimeoutMilliseconds = 5000;

constexpr int BoxTextId = 0xFFFF; // the message's static, on Windows and on Wine

bool IsStatic(HWND window) {
    return ClassName(window) == "Static";
}

bool IsPushButton(HWND window) {
    const DWORD type = Style(window) & BS_TYPEMASK;
    return ClassName(window) == "Button" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

struct Collection {
    std::vector<HWND> windows;
    std::exception_ptr failure;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    auto& state = *reinterpret_cast<Collection*>(context);
    try {
        state.windows.push_back(window);
        return TRUE;
    } catch (...) {
        state.failure = std::current_exception();
        return FALSE;
    }
}

// The windows that `enumerate` (EnumWindows or the like) hands to its callback. The callback
// is the system's: an exception (out of memory) is carried past it, not through it.
template <class Enumerate> std::vector<HWND> Collect(Enumerate enumerate) {
    Collection collection;
    enumerate(CollectWindow, reinterpret_cast<LPARAM>(&collection));
    if (collection.failure) {
        std::rethrow_exception(collection.failure);
    }
    return collection.windows;
}

std::vector<HWND> OnlyDialogs(std::vector<HWND> windows) {
    std::erase_if(windows, [](HWND window) { return ClassName(window) != DialogClass; });
    return windows;
}

} // namespace

bool SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                               SendTimeoutMilliseconds, &result) != 0;
}

std::string WindowText(HWND window) {
    constexpr const char* NoReply = "(no reply to WM_GETTEXT)";
    DWORD_PTR length = 0;
    if (!SendTo(window, WM_GETTEXTLENGTH, 0, 0, length)) {
        return NoReply;
    }
    std::string text(length + 1, '\xBD'); // poisoned: a reply that writes nothing shows
    DWORD_PTR copied = 0;
    if (!SendTo(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied)) {
        return NoReply;
    }
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

std::string ClassName(HWND window) {
    char name[256];
    const int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, static_cast<std::size_t>(std::max(length, 0)));
}

DWORD Style(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
}

std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

std::vector<HWND> ProcessWindows(DWORD processId) {
    std::vector<HWND> windows =
        Collect([](WNDENUMPROC callback, LPARAM context) { EnumWindows(callback, context); });
    std::erase_if(windows, [processId](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner != processId;
    });
    return windows;
}

std::vector<HWND> ProcessDialogs(DWORD processId) {
    return OnlyDialogs(ProcessWindows(processId));
}

std::vector<HWND> ThreadDialogs(DWORD threadId) {
    return OnlyDialogs(Collect([threadId](WNDENUMPROC callback, LPARAM context) {
        EnumThreadWindows(threadId, callback, context);
    }));
}

void PrintTo(const MessageBoxContents& box, std::ostream* out) {
    *out << "box \"" << box.text << "\" captioned \"" << box.caption << "\", "
         << (box.hasIcon ? "with" : "without") << " icon, buttons {";
    for (const int id : box.buttons) {
        *out << ' ' << id;
    }
    *out << " }";
}

bool IsMessageBox(HWND window) {
    if (ClassName(window) != DialogClass) {
        return false;
    }
    bool hasText = false;
    for (HWND child : Children(window)) {
        if (!IsStatic(child) && !IsPushButton(child)) {
            return false;
        }
        hasText = hasText || (IsStatic(child) && GetDlgCtrlID(child) == BoxTextId);
    }
    return hasText;
}

MessageBoxContents ReadMessageBox(HWND box) {
    MessageBoxContents contents;
    contents.window = box;
    contents.caption = WindowText(box);
    contents.text = WindowText(GetDlgItem(box, BoxTextId));
    contents.owner = GetWindow(box, GW_OWNER);
    for (HWND child : Children(box)) {
        if ((Style(child) & WS_VISIBLE) == 0) {
            continue; // Wine keeps a hidden, empty icon static in boxes without an icon
        }
        DWORD_PTR icon = 0;
        if (IsStatic(child) && (Style(child) & SS_TYPEMASK) == SS_ICON &&
            SendTo(child, STM_GETICON, 0, 0, icon) && icon != 0) {
            contents.hasIcon = true;
        } else if (IsPushButton(child)) {
            contents.buttons.push_back(GetDlgCtrlID(child));
        }
    }
    return contents;
}

bool PressFirstButton(const MessageBoxContents& box) {
    const int button = box.buttons.empty() ? IDCANCEL : box.buttons.front();
    return PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(box.window, button))) != 0;
}

} // namespace testsupport
