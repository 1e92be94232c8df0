// Case-blind substring tests used by the probes to recognise process names,
// GPU makers and report labels. Only ASCII letters are folded; every other
// unit is compared as it is.
#pragma once

#include <string_view>

namespace probes {

// Narrow text, lowered byte by byte.
bool StringContainsNoCase(std::string_view text, std::string_view word);
// UTF-16 text, lowered code unit by code unit. An empty fragment always
// occurs; a fragment longer than the text never does.
bool WStringContainsNoCase(std::wstring_view text, std::wstring_view fragment);

}  // namespace probes
