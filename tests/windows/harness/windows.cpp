#include "harness/windows.h"

#include <algorithm>
#include <exception>
#include <span>
#include <utility>
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

// Hands each window to the list in `context`. The callback is the system's: an exception (out
// of memory) is carried past it, not through it.
struct Collection {
    std::vector<HWND> windows;
    std::exception_ptr failure;
};

BOOL CALLBACK Collect(HWND window, LPARAM context) {
    auto& collection = *reinterpret_cast<Collection*>(context);
    try {
        collection.windows.push_back(window);
        return TRUE;
    } catch (...) {
        collection.failure = std::current_exception();
        return FALSE;
    }
}

template <class Enumerate> std::vector<HWND> Collected(Enumerate enumerate) {
    Collection collection;
    enumerate(&Collect, reinterpret_cast<LPARAM>(&collection));
    if (collection.failure) {
        std::rethrow_exception(collection.failure);
    }
    return std::move(collection.windows);
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
    std::vector<HWND> windows = Collected(EnumWindows);
    std::erase_if(windows, [processId](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner != processId;
    });
    return windows;
}

std::vector<HWND> ThreadDialogs(DWORD threadId) {
    std::vector<HWND> windows = Collected([threadId](WNDENUMPROC callback, LPARAM context) {
        return EnumThreadWindows(threadId, callback, context);
    });
    std::erase_if(windows, [](HWND window) { return ClassName(window) != DialogClass; });
    return windows;
}

std::vector<HWND> WindowAndDescendants(HWND window) {
    std::vector<HWND> windows = Collected([window](WNDENUMPROC callback, LPARAM context) {
        return EnumChildWindows(window, callback, context);
    });
    windows.insert(windows.begin(), window);
    return windows;
}

void PrintTo(const MessageBoxContents& box, std::ostream* out) {
    *out << "box \"" << box.text << "\" captioned \"" << box.caption << "\", "
         << (box.icon != nullptr ? "with" : "without") << " icon, buttons {";
    for (const int id : box.buttons) {
        *out << ' ' << id;
    }
    *out << " }, owner " << box.owner << (box.ownerEnabled ? " enabled" : " disabled");
}

MessageBoxContents OkBox(std::string_view text, std::string_view caption, bool icon, HWND owner) {
    return {.caption = std::string(caption),
            .text = std::string(text),
            .owner = owner,
            .icon = icon ? LoadIconA(nullptr, IDI_EXCLAMATION) : nullptr,
            .buttons = {IDOK}};
}

std::vector<MessageBoxContents> OkBoxes(const std::vector<std::string_view>& texts,
                                        std::string_view caption, bool icon, HWND owner) {
    std::vector<MessageBoxContents> boxes;
    for (const std::string_view text : texts) {
        boxes.push_back(OkBox(text, caption, icon, owner));
    }
    return boxes;
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
    contents.ownerEnabled = contents.owner != nullptr && IsWindowEnabled(contents.owner);
    for (HWND child : Children(box)) {
        if ((Style(child) & WS_VISIBLE) == 0) {
            continue; // Wine keeps a hidden, empty icon static in boxes without an icon
        }
        DWORD_PTR icon = 0;
        if (IsStatic(child) && (Style(child) & SS_TYPEMASK) == SS_ICON &&
            SendTo(child, STM_GETICON, 0, 0, icon) && icon != 0) {
            contents.icon = reinterpret_cast<HICON>(icon);
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

bool Checked(HWND checkBox) {
    DWORD_PTR state = 0;
    return SendTo(checkBox, BM_GETCHECK, 0, 0, state) && state == BST_CHECKED;
}

std::pair<DWORD, DWORD> Selection(HWND edit) {
    DWORD_PTR selection = 0xDEADBEEF;
    if (!SendTo(edit, EM_GETSEL, 0, 0, selection)) {
        return {0xDEAD, 0xBEEF};
    }
    return {LOWORD(selection), HIWORD(selection)};
}

bool PostKeyPress(HWND target, WORD virtualKey) {
    const auto scanCode = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    const LPARAM down = 1 | (scanCode << 16);
    const LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
    return PostMessageA(target, WM_KEYDOWN, virtualKey, down) &&
           PostMessageA(target, WM_KEYUP, virtualKey, up);
}

bool TypeKey(WORD virtualKey, WORD held) {
    INPUT keys[4]{};
    const WORD order[] = {held, virtualKey, virtualKey, held};
    for (std::size_t index = 0; index < std::size(keys); ++index) {
        keys[index].type = INPUT_KEYBOARD;
        keys[index].ki.wVk = order[index];
        keys[index].ki.dwFlags = index < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    // Without a held key, only the middle two.
    const std::span<INPUT> typed = held != 0 ? std::span(keys) : std::span(keys).subspan(1, 2);
    return SendInput(static_cast<UINT>(typed.size()), typed.data(), sizeof keys[0]) == typed.size();
}

} // namespace testsupport
