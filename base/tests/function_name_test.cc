#include "base/function_name.h"

#include <gtest/gtest.h>

#include <source_location>
#include <string_view>

namespace base {
namespace {

TEST(BareFunctionNameTest, StripsScopeParametersAndReturnType) {
  // Spelled as gcc 12 spells std::source_location::function_name().
  const struct {
    std::string_view pretty, bare;
  } cases[] = {
      {"void ns::Cls::Initialize(int)", "Initialize"},
      {"int main()", "main"},
      {"ns::Cls::Cls()", "Cls"},
      {"ns::Cls::~Cls()", "~Cls"},
      {"int ns::Cls::Const() const", "Const"},
      {"void ns::Cls::Ref() &&", "Ref"},
      {"static void ns::Cls::Stat()", "Stat"},
      {"virtual void ns::Cls::V()", "V"},
      {"void {anonymous}::Anon(void (*)(int))", "Anon"},
      {"std::map<int, std::vector<T> > ns::Cls::Tmpl(T) [with T = double]", "Tmpl"},
      {"void ns::Box<T>::Put(T) [with T = std::__cxx11::basic_string<char>]", "Put"},
      {"void ns::Apply<int>(std::function<void(int)>)", "Apply"},
      {"void main()::Local::Run()", "Run"},
      {"bool ns::Cls::operator==(const ns::Cls&) const", "operator=="},
      {"bool ns::Cls::operator<(const ns::Cls&) const", "operator<"},
      {"void ns::Cls::operator()()", "operator()"},
      {"ns::Cls::operator bool() const", "operator bool"},
      {"void ns::operator_helper()", "operator_helper"},
      {"ns::Cls::Initialize(int)::<lambda(int)>", "operator ()"},
      {"ns::Cls::Initialize(int)::<lambda(int)>::<lambda()>", "operator ()"},
      {"ns::Cls::Initialize(int)::<lambda(auto:11)> [with auto:11 = int]", "operator ()"},
      {"ns::Cls::<lambda()>", "operator ()"},
      {"", ""},
      {"strange", "strange"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pretty);
    EXPECT_EQ(BareFunctionName(c.pretty), c.bare);
  }
}

struct Widget {
  std::string_view Member() const {
    return BareFunctionName(std::source_location::current().function_name());
  }
};

// What this compiler really produces, so a new spelling shows up here.
TEST(BareFunctionNameTest, NamesRealCallSites) {
  EXPECT_EQ(Widget().Member(), "Member");
  const auto lambda = [] { return BareFunctionName(std::source_location::current().function_name()); };
  EXPECT_EQ(lambda(), "operator ()");
  EXPECT_EQ(BareFunctionName(std::source_location::current().function_name()), "TestBody");
}

}  // namespace
}  // namespace base
