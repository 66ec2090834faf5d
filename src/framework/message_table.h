#pragma once

// Static dispatch tables: each class lists the messages (or commands) it handles, and
// its table falls back to its base class's table for everything else.

#include <windows.h>

#include <optional>
#include <span>
#include <type_traits>

namespace framework {

// A handled message's result; std::nullopt hands the message on to the system's
// default processing.
using MessageResult = std::optional<LRESULT>;

template <class Handler> struct DispatchEntry {
    UINT key;
    Handler handler;
};

template <class Handler> struct DispatchTable {
    const DispatchTable* base;
    std::span<const DispatchEntry<Handler>> entries;

    // The handler of the most derived table that lists `key`, or nullptr.
    Handler Find(UINT key) const {
        for (const DispatchTable* table = this; table != nullptr; table = table->base) {
            for (const auto& entry : table->entries) {
                if (entry.key == key) {
                    return entry.handler;
                }
            }
        }
        return nullptr;
    }
};

namespace detail {

template <class Member> struct MemberTraits;

template <class Class, class Result, class... Args>
struct MemberTraits<Result (Class::*)(Args...)> {
    using Owner = Class;
};

template <class Class, class Result, class... Args>
struct MemberTraits<Result (Class::*)(Args...) const> {
    using Owner = Class;
};

// Turns what a typed handler returns into a message result.
template <class Result> MessageResult ToMessageResult(Result result) {
    if constexpr (std::is_same_v<Result, MessageResult>) {
        return result;
    } else if constexpr (std::is_pointer_v<Result>) {
        return reinterpret_cast<LRESULT>(result);
    } else {
        return static_cast<LRESULT>(result);
    }
}

} // namespace detail

// Cracks a message for a member handler of class `Owner`: the handler takes either
// nothing or (WPARAM, LPARAM), and returns nothing (handled, result 0), a
// MessageResult, a handle or a number.
template <class Base, auto Member>
MessageResult CrackMessage(Base& target, WPARAM wParam, LPARAM lParam) {
    using Owner = typename detail::MemberTraits<decltype(Member)>::Owner;
    auto& self = static_cast<Owner&>(target);
    if constexpr (std::is_invocable_v<decltype(Member), Owner&, WPARAM, LPARAM>) {
        using Result = std::invoke_result_t<decltype(Member), Owner&, WPARAM, LPARAM>;
        if constexpr (std::is_void_v<Result>) {
            (self.*Member)(wParam, lParam);
            return 0;
        } else {
            return detail::ToMessageResult((self.*Member)(wParam, lParam));
        }
    } else {
        using Result = std::invoke_result_t<decltype(Member), Owner&>;
        if constexpr (std::is_void_v<Result>) {
            (self.*Member)();
            return 0;
        } else {
            return detail::ToMessageResult((self.*Member)());
        }
    }
}

} // namespace framework
