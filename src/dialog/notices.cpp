#include "dialog/notices.h"

namespace dialog {

namespace {

struct NoticeText {
    Notice notice;
    const char* text;
    UINT icon;
};

constexpr char kCaption[] = "VELTA Multi-Serial Adapters !";

// The blanks and the spelling are those the driver's users have always seen.
constexpr NoticeText kNotices[] = {
    {Notice::ServiceKeyMissing, "    System can't find data in registry, please setup again !!", 0},
    {Notice::ParametersKeyMissing, "?    System can't find data in registry, please setup again !!",
     0},
    {Notice::ValueMissing, "  System can't find data in registry , please setup again (StartNum)!!",
     0},
    {Notice::Restart, "You must shutdown computer before the new setting will take effect!", 0},
    // Not among the driver's old texts: they tell that Apply wrote nothing, or not all.
    {Notice::StoreFailed, "System can't save data in registry, please check your access rights !!",
     MB_ICONEXCLAMATION},
    {Notice::PartlyStored,
     "System saved only part of the data in registry, please check your access rights and apply "
     "again !!",
     MB_ICONEXCLAMATION},
};

} // namespace

void ShowNotice(HWND owner, Notice notice) {
    for (const NoticeText& entry : kNotices) {
        if (entry.notice == notice) {
            ::MessageBoxA(owner, entry.text, kCaption, MB_OK | entry.icon);
            return;
        }
    }
}

Notice NoticeFor(params::Unreadable what) {
    switch (what) {
    case params::Unreadable::ServiceKey:
        return Notice::ServiceKeyMissing;
    case params::Unreadable::ParametersKey:
        return Notice::ParametersKeyMissing;
    case params::Unreadable::Value:
        break;
    }
    return Notice::ValueMissing;
}

} // namespace dialog
