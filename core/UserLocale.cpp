// The user's number format, read from the locale once per run.
#include <windows.h>

#include "core/Convert.h"

namespace vorlane {

namespace {

wchar_t localeChar(LCTYPE item, wchar_t fallback) {
    wchar_t text[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, text, ARRAYSIZE(text)) > 1) return text[0];
    return fallback;
}

NumberFormat& userFormat() {
    static NumberFormat format{localeChar(LOCALE_SDECIMAL, L'.'), localeChar(LOCALE_STHOUSAND, L',')};
    return format;
}

}  // namespace

const NumberFormat& userNumberFormat() { return userFormat(); }

void useNumberFormat(const NumberFormat& format) { userFormat() = format; }

}  // namespace vorlane
