// The toolkit's UTF-16 string. Control names, attribute values, colours and
// notification types are short, so they live in an inline buffer; only texts
// longer than 62 characters take a heap block, sized to the text exactly.
#pragma once

#include <cstdarg>

namespace SkinUI {

class CUiString {
 public:
  // Texts up to this length stay in the inline buffer.
  static constexpr int kMaxInlineLength = 62;

  CUiString();
  // |length| -1 means up to the terminator; a null text counts as empty.
  CUiString(const wchar_t* text, int length = -1);
  CUiString(const CUiString& other);
  explicit CUiString(wchar_t ch);
  ~CUiString();

  CUiString& operator=(const CUiString& other);
  CUiString& operator=(const wchar_t* text);
  CUiString& operator=(wchar_t ch);

  void Assign(const CUiString& other);
  // |length| -1 means up to the terminator; a null text empties the string.
  void Assign(const wchar_t* text, int length = -1);

  void Append(const CUiString& other);
  void Append(const wchar_t* text);  // null appends nothing
  void Append(wchar_t ch);
  CUiString& operator+=(const CUiString& other);
  CUiString& operator+=(const wchar_t* text);
  CUiString& operator+=(wchar_t ch);
  CUiString operator+(const CUiString& other) const;
  CUiString operator+(const wchar_t* text) const;

  // Empties the string and goes back to the inline buffer.
  void Empty();
  bool IsEmpty() const { return text_[0] == L'\0'; }
  int GetLength() const;
  const wchar_t* GetData() const { return text_; }
  operator const wchar_t*() const { return text_; }

  // Unchecked: the caller keeps |index| inside 0..length-1.
  wchar_t GetAt(int index) const { return text_[index]; }
  void SetAt(int index, wchar_t ch) { text_[index] = ch; }
  wchar_t operator[](int index) const { return text_[index]; }

  bool Equals(const wchar_t* text) const;
  bool operator==(const wchar_t* text) const { return Equals(text); }
  bool operator==(const CUiString& other) const { return Equals(other.text_); }
  bool operator!=(const wchar_t* text) const { return !Equals(text); }
  bool operator!=(const CUiString& other) const { return !Equals(other.text_); }
  bool operator<(const wchar_t* text) const { return Compare(text) < 0; }
  int Compare(const wchar_t* text) const;
  int CompareNoCase(const wchar_t* text) const;

  // Index of the first occurrence at or after |start|, or -1. |start| must lie
  // in 0..length (0..length-1 for a character).
  int Find(const wchar_t* text, int start = 0) const;
  int FindChar(wchar_t ch, int start = 0) const;
  int ReverseFind(wchar_t ch) const;

  CUiString Left(int count) const;
  CUiString Right(int count) const;
  // A negative |count| or one past the end means up to the end.
  CUiString Mid(int start, int count = -1) const;

  // Replaces every occurrence present before the call; a replacement is never
  // searched again. Returns the number of replacements.
  int Replace(const wchar_t* from, const wchar_t* to);
  void MakeLower();
  void Trim();
  void TrimLeft();
  void TrimRight();

  // printf-style (Microsoft conventions: %s takes a wide text). Returns the
  // length, or -1 when formatting fails.
  int Format(const wchar_t* format, ...);
  // The same through a 64-unit buffer: a text longer than 63 characters is
  // cut and -1 returned.
  int FormatBounded(const wchar_t* format, ...);

 private:
  bool OnHeap() const { return text_ != buffer_; }
  bool Overlaps(const wchar_t* text) const;
  int FormatV(const wchar_t* format, va_list args);

  wchar_t* text_;
  wchar_t buffer_[kMaxInlineLength + 2];
};

}  // namespace SkinUI
