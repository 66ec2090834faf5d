#pragma once

// Static message tables. A class lists what it handles in one statement, its HandleMessage
// override:
//
//     MessageResult HandleMessage(UINT message, WPARAM w, LPARAM l) override {
//         return Dispatch<CDialog, On<WM_PAINT, &CMyDialog::Paint>>(*this, message, w, l);
//     }
//
// and whatever it does not list goes on to its base class's table (CDialog's here). Handlers are
// typed: they take nothing, but a WM_COMMAND handler takes the command cracked, (int id,
// UINT code, HWND control). They return a MessageResult, a number or a handle.

#include <windows.h>

#include <optional>
#include <type_traits>

namespace framework {

// A handled message's result; std::nullopt leaves the message unhandled, for the base class's
// table and then the system's default processing.
using MessageResult = std::optional<LRESULT>;

// One entry of a table: message `Key` goes to the member function `Handler`.
template <UINT Key, auto Handler> struct On {
    static constexpr UINT key = Key;
    static constexpr auto handler = Handler;
};

// Stands for the base of the first class in a chain of tables: nothing is handled there.
struct NoBaseTable {};

namespace detail {

template <class Result> MessageResult ToMessageResult(Result result) {
    if constexpr (std::is_same_v<Result, MessageResult>) {
        return result;
    } else if constexpr (std::is_pointer_v<Result>) {
        return reinterpret_cast<LRESULT>(result);
    } else {
        return static_cast<LRESULT>(result);
    }
}

template <class Entry, class Self> MessageResult Crack(Self& self, WPARAM wParam, LPARAM lParam) {
    constexpr auto handler = Entry::handler;
    if constexpr (Entry::key == WM_COMMAND) {
        return ToMessageResult((self.*handler)(static_cast<int>(LOWORD(wParam)),
                                               UINT{HIWORD(wParam)},
                                               reinterpret_cast<HWND>(lParam)));
    } else {
        return ToMessageResult((self.*handler)());
    }
}

} // namespace detail

// Runs the handler that `Entries` list for `message`; when none is listed, or the handler leaves
// the message unhandled, hands it on to `Base`.
template <class Base, class... Entries, class Self>
MessageResult Dispatch(Self& self, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageResult result;
    static_cast<void>(((message == Entries::key &&
                        (result = detail::Crack<Entries>(self, wParam, lParam), true)) ||
                       ...));
    if constexpr (!std::is_same_v<Base, NoBaseTable>) {
        if (!result) {
            return self.Base::HandleMessage(message, wParam, lParam);
        }
    }
    return result;
}

} // namespace framework
