#pragma once
// Conversions between Text (code page 936) and UTF-16 at the platform's
// boundary. Text is code page 936 by definition, so these name the code page
// rather than trusting the system's ANSI code page.
#include <windows.h>

#include <string>
#include <string_view>

#include "common/text.h"

namespace velmora {

inline constexpr UINT kTextCodePage = 936;

std::wstring toWide(const Text& text, UINT codePage = kTextCodePage);
Text fromWide(std::wstring_view wide, UINT codePage = kTextCodePage);

}  // namespace velmora
