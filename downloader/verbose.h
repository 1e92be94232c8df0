// The downloader's log: every line goes, formatted printf-style, to the
// caller's verbose functor; without one nothing is formatted at all.
#pragma once

#include "downloader/options.h"

namespace courier {

#if defined(__MINGW32__)
#define COURIER_PRINTF_FORMAT gnu_printf  // libstdc++ on mingw uses the ANSI stdio
#else
#define COURIER_PRINTF_FORMAT printf
#endif

void WriteVerbose(const VerboseFunctor& functor, const char* format, ...)
    __attribute__((format(COURIER_PRINTF_FORMAT, 2, 3)));

}  // namespace courier
