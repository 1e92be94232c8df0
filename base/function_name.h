// Names of functions as log lines show them.
#pragma once

#include <string_view>

namespace base {

// The bare name of the function that std::source_location::function_name()
// spells the way gcc does: no return type, scope, parameters or template
// arguments. "void ns::Cls::Initialize(int)" gives "Initialize",
// "ns::Cls::~Cls()" gives "~Cls", "bool ns::X::operator==(const X&) const"
// gives "operator==", and the body of a lambda gives "operator ()".
// Text it cannot take apart is returned whole.
std::string_view BareFunctionName(std::string_view function_name);

}  // namespace base
