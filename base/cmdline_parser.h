// Typed long options ("--name=value" or "--name value") from a UTF-16
// argument vector. Parsing never stops the program: every problem becomes one
// message in errors(), and parse() tells whether there was any.
//
//   cmdline::parser options;
//   options.add<int>(L"mode", L"");
//   options.add<std::wstring>(L"app-id", L"", L"");
//   options.parse(argc, argv);
//   if (options.exist(L"mode")) mode = *options.get<int>(L"mode");
#pragma once

#include <concepts>
#include <exception>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace cmdline {

// Converts an option's text to its value; raises a standard error when the
// text is not a value of that type.
template <typename T>
struct default_reader;

template <>
struct default_reader<std::int32_t> {
  // Decimal, leading white space allowed, nothing may follow the number.
  std::int32_t operator()(const std::wstring& text) const;
};

template <>
struct default_reader<std::uint64_t> {
  // As for int; a minus sign is refused rather than wrapped around.
  std::uint64_t operator()(const std::wstring& text) const;
};

template <>
struct default_reader<std::wstring> {
  std::wstring operator()(const std::wstring& text) const { return text; }
};

// Names of the value types, as help and usage texts show them.
template <typename T>
const wchar_t* value_type_name();
template <>
inline const wchar_t* value_type_name<std::int32_t>() { return L"int"; }
template <>
inline const wchar_t* value_type_name<std::uint64_t>() { return L"unsigned __int64"; }
template <>
inline const wchar_t* value_type_name<std::wstring>() { return L"string"; }

template <typename T>
concept option_number = std::same_as<T, std::int32_t> || std::same_as<T, std::uint64_t>;

class parser {
 public:
  class option_base {
   public:
    virtual ~option_base() = default;
    virtual bool takes_value() const = 0;
    virtual bool set_value(const std::wstring& text) = 0;
    virtual bool set_flag() = 0;
    virtual bool was_set() const = 0;
    virtual bool is_satisfied() const = 0;
    virtual bool is_required() const = 0;
    virtual const std::wstring& long_name() const = 0;
    virtual wchar_t short_letter() const = 0;
    virtual const std::wstring& help_text() const = 0;
    virtual std::wstring usage_text() const = 0;
  };

  template <typename T>
  class option_with_value : public option_base {
   public:
    option_with_value(std::wstring name, const std::wstring& description, T default_value)
        : name_(std::move(name)),
          help_(description + L" (" + value_type_name<T>() + L")"),
          default_(default_value),
          value_(std::move(default_value)) {}

    bool takes_value() const override { return true; }
    bool set_value(const std::wstring& text) override {
      try {
        value_ = read_value(text);
      } catch (const std::exception&) {
        return false;
      }
      given_ = true;
      return true;
    }
    bool set_flag() override { return false; }
    bool was_set() const override { return given_; }
    bool is_satisfied() const override { return !required_ || given_; }
    bool is_required() const override { return required_; }
    const std::wstring& long_name() const override { return name_; }
    wchar_t short_letter() const override { return short_letter_; }
    const std::wstring& help_text() const override { return help_; }
    std::wstring usage_text() const override {
      return L"--" + name_ + L"=" + value_type_name<T>();
    }
    virtual T read_value(const std::wstring& text) = 0;

    const T& value() const { return value_; }

   private:
    std::wstring name_;
    wchar_t short_letter_ = 0;  // no option has a one-letter form
    bool required_ = true;
    std::wstring help_;
    bool given_ = false;
    T default_;
    T value_;
  };

  template <typename T, typename Reader>
  class option_with_value_with_reader : public option_with_value<T> {
   public:
    using option_with_value<T>::option_with_value;
    T read_value(const std::wstring& text) override { return Reader()(text); }
  };

  // Declares an option; false, with nothing changed, when the name is taken.
  template <option_number T>
  bool add(const std::wstring& name, const std::wstring& description) {
    return add_option(std::make_unique<option_with_value_with_reader<T, default_reader<T>>>(
        name, description, T{}));
  }
  template <typename T>
    requires std::same_as<T, std::wstring>
  bool add(const std::wstring& name, const std::wstring& description, const T& default_value) {
    return add_option(std::make_unique<option_with_value_with_reader<T, default_reader<T>>>(
        name, description, default_value));
  }

  // argv[0] is the program. Values and given flags of earlier runs are kept;
  // errors() and plain_args() are those of this run.
  bool parse(int argc, const wchar_t* const argv[]);

  // The option was given with a valid value; false for an unknown name.
  bool exist(const std::wstring& name) const;

  // The last valid value given, else the default. Empty for a name that was
  // never added or was added with another type.
  template <typename T>
  std::optional<T> get(const std::wstring& name) const {
    const auto it = options_.find(name);
    if (it == options_.end()) return std::nullopt;
    const auto* option = dynamic_cast<const option_with_value<T>*>(it->second.get());
    if (option == nullptr) return std::nullopt;
    return option->value();
  }

  // Stores one value as parse() does, recording an error when it cannot.
  void set_option(const std::wstring& name, const std::wstring& value);

  const std::wstring& program_name() const { return program_name_; }
  const std::vector<std::wstring>& plain_args() const { return plain_args_; }
  const std::vector<std::wstring>& errors() const { return errors_; }

 private:
  bool add_option(std::unique_ptr<option_base> option);

  std::map<std::wstring, std::unique_ptr<option_base>> options_;
  std::wstring program_name_;
  std::vector<std::wstring> plain_args_;
  std::vector<std::wstring> errors_;
};

}  // namespace cmdline
