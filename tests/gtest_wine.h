// GoogleTest for Winelib test programs. Debian's gtest headers take the
// Windows code paths when they see the _WIN32 family of macros, which the
// Winelib compiler defines; hide those macros while gtest is read, then
// include windows.h as usual.
#pragma once

#pragma push_macro("_WIN32")
#pragma push_macro("_WIN64")
#pragma push_macro("WIN32")
#pragma push_macro("WIN64")
#pragma push_macro("__WIN32__")
#pragma push_macro("__WIN64__")
#pragma push_macro("__WIN32")
#pragma push_macro("__WIN64")
#pragma push_macro("__WINNT__")
#pragma push_macro("__WINNT")
#pragma push_macro("__int64")
#undef _WIN32
#undef _WIN64
#undef WIN32
#undef WIN64
#undef __WIN32__
#undef __WIN64__
#undef __WIN32
#undef __WIN64
#undef __WINNT__
#undef __WINNT
#undef __int64
#include <gtest/gtest.h>
#pragma pop_macro("__int64")
#pragma pop_macro("__WINNT")
#pragma pop_macro("__WINNT__")
#pragma pop_macro("__WIN64")
#pragma pop_macro("__WIN32")
#pragma pop_macro("__WIN64__")
#pragma pop_macro("__WIN32__")
#pragma pop_macro("WIN64")
#pragma pop_macro("WIN32")
#pragma pop_macro("_WIN64")
#pragma pop_macro("_WIN32")

#include <windows.h>
