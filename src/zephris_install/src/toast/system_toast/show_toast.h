// One Windows toast with two lines of text, under the installer's own
// application name. Without toast support the call only logs.
#pragma once

#include <string>

void ShowToast(const std::wstring& first_line, const std::wstring& second_line);
