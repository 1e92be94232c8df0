#include "ui_toolkit/core/ui_string.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <new>

namespace SkinUI {
namespace {

int TextLength(const wchar_t* text, int length) {
  if (text == nullptr) return 0;
  return length < 0 ? static_cast<int>(std::wcslen(text)) : length;
}

// realloc that keeps the old block on failure, as the string must stay whole.
wchar_t* Reallocate(wchar_t* block, int units) {
  void* grown = std::realloc(block, static_cast<size_t>(units) * sizeof(wchar_t));
  if (grown == nullptr) throw std::bad_alloc();
  return static_cast<wchar_t*>(grown);
}

}  // namespace

CUiString::CUiString() : text_(buffer_) { buffer_[0] = L'\0'; }

CUiString::CUiString(const wchar_t* text, int length) : CUiString() { Assign(text, length); }

CUiString::CUiString(const CUiString& other) : CUiString() { Assign(other.text_); }

CUiString::CUiString(wchar_t ch) : CUiString() {
  buffer_[0] = ch;
  buffer_[1] = L'\0';
}

CUiString::~CUiString() {
  if (OnHeap()) std::free(text_);
}

CUiString& CUiString::operator=(const CUiString& other) {
  if (this != &other) Assign(other.text_);
  return *this;
}

CUiString& CUiString::operator=(const wchar_t* text) {
  Assign(text);
  return *this;
}

CUiString& CUiString::operator=(wchar_t ch) {
  Empty();
  buffer_[0] = ch;
  buffer_[1] = L'\0';
  return *this;
}

// A text that lies inside this string's own storage would be freed or moved
// under the copy; such texts are copied aside first.
bool CUiString::Overlaps(const wchar_t* text) const {
  const wchar_t* end = text_ + GetLength() + 1;
  if (text >= text_ && text < end) return true;
  return text >= buffer_ && text < buffer_ + kMaxInlineLength + 2;
}

void CUiString::Assign(const CUiString& other) {
  if (this != &other) Assign(other.text_);
}

void CUiString::Assign(const wchar_t* text, int length) {
  const int new_length = TextLength(text, length);
  if (new_length > 0 && Overlaps(text)) {
    const CUiString copy(text, new_length);
    Assign(copy.text_, new_length);
    return;
  }
  if (new_length <= kMaxInlineLength) {
    if (OnHeap()) {
      std::free(text_);
      text_ = buffer_;
    }
  } else if (GetLength() < new_length) {
    text_ = Reallocate(OnHeap() ? text_ : nullptr, new_length + 1);
  } else if (!OnHeap()) {
    text_ = Reallocate(nullptr, new_length + 1);
  }
  if (new_length > 0) std::memcpy(text_, text, new_length * sizeof(wchar_t));
  text_[new_length] = L'\0';
}

void CUiString::Append(const CUiString& other) { Append(other.text_); }

void CUiString::Append(const wchar_t* text) {
  if (text == nullptr || *text == L'\0') return;
  if (Overlaps(text)) {
    const CUiString copy(text);
    Append(copy.text_);
    return;
  }
  const int current = GetLength();
  const int added = static_cast<int>(std::wcslen(text));
  const int total = current + added;
  if (total > kMaxInlineLength) {
    if (OnHeap()) {
      text_ = Reallocate(text_, total + 1);
    } else {
      wchar_t* block = Reallocate(nullptr, total + 1);
      std::memcpy(block, buffer_, (current + 1) * sizeof(wchar_t));
      text_ = block;
    }
  } else if (OnHeap()) {
    // A heap text that SetAt shortened comes back inline.
    std::memcpy(buffer_, text_, (current + 1) * sizeof(wchar_t));
    std::free(text_);
    text_ = buffer_;
  }
  std::memcpy(text_ + current, text, (added + 1) * sizeof(wchar_t));
}

void CUiString::Append(wchar_t ch) {
  const wchar_t text[2] = {ch, L'\0'};
  Append(text);
}

CUiString& CUiString::operator+=(const CUiString& other) {
  Append(other.text_);
  return *this;
}

CUiString& CUiString::operator+=(const wchar_t* text) {
  Append(text);
  return *this;
}

CUiString& CUiString::operator+=(wchar_t ch) {
  Append(ch);
  return *this;
}

CUiString CUiString::operator+(const CUiString& other) const { return *this + other.text_; }

CUiString CUiString::operator+(const wchar_t* text) const {
  CUiString result(*this);
  result.Append(text);
  return result;
}

void CUiString::Empty() {
  if (OnHeap()) std::free(text_);
  text_ = buffer_;
  buffer_[0] = L'\0';
}

int CUiString::GetLength() const { return static_cast<int>(std::wcslen(text_)); }

bool CUiString::Equals(const wchar_t* text) const { return Compare(text) == 0; }

int CUiString::Compare(const wchar_t* text) const {
  return std::wcscmp(text_, text == nullptr ? L"" : text);
}

int CUiString::CompareNoCase(const wchar_t* text) const {
  return _wcsicmp(text_, text == nullptr ? L"" : text);
}

int CUiString::Find(const wchar_t* text, int start) const {
  if (text == nullptr || start < 0 || start > GetLength()) return -1;
  const wchar_t* found = std::wcsstr(text_ + start, text);
  return found == nullptr ? -1 : static_cast<int>(found - text_);
}

int CUiString::FindChar(wchar_t ch, int start) const {
  const int length = GetLength();
  if (start != 0 && (start < 0 || start >= length)) return -1;
  for (int i = start; i < length; ++i) {
    if (text_[i] == ch) return i;
  }
  return -1;
}

int CUiString::ReverseFind(wchar_t ch) const {
  for (int i = GetLength() - 1; i >= 0; --i) {
    if (text_[i] == ch) return i;
  }
  return -1;
}

CUiString CUiString::Left(int count) const {
  const int length = GetLength();
  if (count < 0) count = 0;
  if (count > length) count = length;
  return CUiString(text_, count);
}

CUiString CUiString::Right(int count) const {
  const int length = GetLength();
  if (count < 0) count = 0;
  if (count > length) count = length;
  return CUiString(text_ + length - count, count);
}

CUiString CUiString::Mid(int start, int count) const {
  const int length = GetLength();
  if (start < 0) start = 0;
  if (start >= length) return CUiString();
  if (count < 0 || start + count > length) count = length - start;
  return CUiString(text_ + start, count);
}

int CUiString::Replace(const wchar_t* from, const wchar_t* to) {
  // An empty pattern would match everywhere, forever.
  if (from == nullptr || *from == L'\0') return 0;
  if (to == nullptr) to = L"";
  const CUiString pattern(from);
  const CUiString replacement(to);
  const int from_length = pattern.GetLength();
  const int to_length = replacement.GetLength();
  int count = 0;
  int at = Find(pattern.text_, 0);
  while (at >= 0) {
    CUiString rebuilt = Left(at);
    rebuilt.Append(replacement.text_);
    rebuilt.Append(text_ + at + from_length);
    Assign(rebuilt);
    ++count;
    at = Find(pattern.text_, at + to_length);
  }
  return count;
}

void CUiString::MakeLower() {
  for (wchar_t* p = text_; *p != L'\0'; ++p) {
    if (*p >= L'A' && *p <= L'Z') *p = static_cast<wchar_t>(*p - L'A' + L'a');
  }
}

void CUiString::Trim() {
  TrimLeft();
  TrimRight();
}

void CUiString::TrimLeft() {
  const wchar_t* p = text_;
  while (*p != L'\0' && std::iswspace(*p)) p = ::CharNextW(p);
  if (p != text_) Assign(p);
}

void CUiString::TrimRight() {
  wchar_t* run = nullptr;
  for (wchar_t* p = text_; *p != L'\0'; p = ::CharNextW(p)) {
    if (std::iswspace(*p)) {
      if (run == nullptr) run = p;
    } else {
      run = nullptr;
    }
  }
  if (run != nullptr) *run = L'\0';
}

int CUiString::FormatV(const wchar_t* format, va_list args) {
  if (format == nullptr) return -1;
  va_list counting;
  va_copy(counting, args);
  const int length = _vscwprintf(format, counting);
  va_end(counting);
  if (length < 0) return -1;
  std::unique_ptr<wchar_t[]> block(new wchar_t[length + 1]());
  if (_vsnwprintf(block.get(), length + 1, format, args) < 0) return -1;
  block[length] = L'\0';
  Assign(block.get(), length);
  return length;
}

int CUiString::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = FormatV(format, args);
  va_end(args);
  return length;
}

int CUiString::FormatBounded(const wchar_t* format, ...) {
  if (format == nullptr) return -1;
  constexpr int kUnits = 64;
  wchar_t block[kUnits] = {};
  va_list args;
  va_start(args, format);
  const int written = _vsnwprintf(block, kUnits - 1, format, args);
  va_end(args);
  block[kUnits - 1] = L'\0';
  Assign(block);
  return (written < 0 || written > kUnits - 1) ? -1 : written;
}

}  // namespace SkinUI
