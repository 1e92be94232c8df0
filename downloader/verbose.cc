#include "downloader/verbose.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace courier {

void WriteVerbose(const VerboseFunctor& functor, const char* format, ...) {
  if (format == nullptr || !functor) return;
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (needed < 0 || needed > 0x7FFFFFFE - 1) {
    va_end(args);
    return;
  }
  std::string text(static_cast<size_t>(needed) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  text.resize(static_cast<size_t>(needed));
  functor(text);
}

}  // namespace courier
