#include "base/cmdline_parser.h"

#include <sstream>
#include <typeinfo>

namespace cmdline {
namespace {

// The whole text must be one number in the stream's default (decimal) form.
template <typename T>
T ReadNumber(const std::wstring& text) {
  std::wistringstream stream(text);
  T value{};
  stream >> value;
  if (stream.fail() || stream.bad() || !stream.eof()) throw std::bad_cast();
  return value;
}

}  // namespace

std::int32_t default_reader<std::int32_t>::operator()(const std::wstring& text) const {
  return ReadNumber<std::int32_t>(text);
}

std::uint64_t default_reader<std::uint64_t>::operator()(const std::wstring& text) const {
  // Streams take "-5" for an unsigned type and wrap it to 2^64 - 5.
  const std::size_t first = text.find_first_not_of(L" \t\n\v\f\r");
  if (first != std::wstring::npos && text[first] == L'-') throw std::bad_cast();
  return ReadNumber<std::uint64_t>(text);
}

bool parser::add_option(std::unique_ptr<option_base> option) {
  const std::wstring& name = option->long_name();
  if (options_.contains(name)) return false;
  options_.emplace(name, std::move(option));
  return true;
}

bool parser::exist(const std::wstring& name) const {
  const auto it = options_.find(name);
  return it != options_.end() && it->second->was_set();
}

void parser::set_option(const std::wstring& name, const std::wstring& value) {
  const auto it = options_.find(name);
  if (it == options_.end()) {
    errors_.push_back(L"undefined option: --" + name);
    return;
  }
  if (!it->second->set_value(value)) {
    errors_.push_back(L"option value is invalid: --" + name + L"=" + value);
  }
}

bool parser::parse(int argc, const wchar_t* const argv[]) {
  errors_.clear();
  plain_args_.clear();
  if (argc < 1) {
    errors_.push_back(L"argument number must be longer than 0");
    return false;
  }
  if (program_name_.empty()) program_name_ = argv[0];

  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.starts_with(L"--")) {
      const std::wstring rest = arg.substr(2);
      if (const std::size_t equals = rest.find(L'='); equals != std::wstring::npos) {
        set_option(rest.substr(0, equals), rest.substr(equals + 1));
      } else if (!options_.contains(rest)) {
        errors_.push_back(L"undefined option: --" + rest);
      } else if (i + 1 >= argc) {
        errors_.push_back(L"option needs value: --" + rest);
      } else {
        set_option(rest, argv[++i]);
      }
    } else if (arg.starts_with(L"-")) {
      for (std::size_t j = 1; j < arg.size(); ++j) {
        errors_.push_back(std::wstring(L"undefined short option: -") + arg[j]);
      }
    } else {
      plain_args_.push_back(arg);
    }
  }

  for (const auto& [name, option] : options_) {
    if (!option->is_satisfied()) errors_.push_back(L"need option: --" + name);
  }
  return errors_.empty();
}

}  // namespace cmdline
