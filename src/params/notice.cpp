#include "params/notice.h"

namespace params {

namespace {

constexpr char kNoticeCaption[] = "VELTA Multi-Serial Adapters !";

} // namespace

void ShowNotice(HWND owner, const char* text, UINT icon) {
    ::MessageBoxA(owner, text, kNoticeCaption, MB_OK | icon);
}

} // namespace params
