#include "ui_toolkit/core/ui_string.h"

#include <gtest/gtest.h>

#include <string>

namespace SkinUI {
namespace {

std::wstring Repeat(wchar_t ch, int n) { return std::wstring(static_cast<size_t>(n), ch); }

// Inline texts point into the object itself.
bool IsInline(const CUiString& s) {
  const auto* object = reinterpret_cast<const char*>(&s);
  const auto* text = reinterpret_cast<const char*>(s.GetData());
  return text >= object && text < object + sizeof(CUiString);
}

TEST(UiStringTest, ConstructorsAndEmptyStates) {
  EXPECT_TRUE(CUiString().IsEmpty());
  EXPECT_TRUE(CUiString(nullptr).IsEmpty());
  EXPECT_STREQ(L"abc", CUiString(L"abcdef", 3).GetData());
  EXPECT_STREQ(L"abcdef", CUiString(L"abcdef", -1).GetData());
  EXPECT_STREQ(L"x", CUiString(L'x').GetData());
  CUiString s(L"text");
  s.Assign(nullptr);
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_TRUE(IsInline(s));
}

TEST(UiStringTest, SwitchesBetweenInlineAndHeapAtSixtyTwoCharacters) {
  CUiString s(Repeat(L'a', 62).c_str());
  EXPECT_TRUE(IsInline(s));
  s = Repeat(L'b', 63).c_str();
  EXPECT_FALSE(IsInline(s));
  EXPECT_EQ(63, s.GetLength());
  EXPECT_EQ(Repeat(L'b', 63), s.GetData());
  s = L"0123456789";
  EXPECT_TRUE(IsInline(s));
  EXPECT_STREQ(L"0123456789", s.GetData());
}

TEST(UiStringTest, AppendMovesToHeapKeepingText) {
  CUiString s(Repeat(L'a', 62).c_str());
  s += L'z';
  EXPECT_FALSE(IsInline(s));
  EXPECT_EQ(Repeat(L'a', 62) + L"z", s.GetData());
  s.Append(Repeat(L'c', 1000).c_str());
  EXPECT_EQ(Repeat(L'a', 62) + L"z" + Repeat(L'c', 1000), s.GetData());
  s.Append(nullptr);
  EXPECT_EQ(1063, s.GetLength());
}

TEST(UiStringTest, HeapTextShortenedBySetAtReturnsInlineOnAppend) {
  CUiString s(Repeat(L'a', 100).c_str());
  s.SetAt(5, L'\0');
  EXPECT_EQ(5, s.GetLength());
  EXPECT_FALSE(IsInline(s));
  s.Append(L"bc");
  EXPECT_TRUE(IsInline(s));
  EXPECT_STREQ(L"aaaaabc", s.GetData());
}

TEST(UiStringTest, AssignAndAppendFromItsOwnText) {
  CUiString s(Repeat(L'q', 80).c_str());
  s.Assign(s.GetData() + 70);  // back inline from a part of its heap text
  EXPECT_EQ(Repeat(L'q', 10), s.GetData());
  CUiString t(Repeat(L'r', 40).c_str());
  t += t;  // grows onto the heap while reading itself
  EXPECT_EQ(Repeat(L'r', 80), t.GetData());
  t += t.GetData() + 10;
  EXPECT_EQ(Repeat(L'r', 150), t.GetData());
  CUiString u(L"abcdef");
  u = u.GetData() + 2;
  EXPECT_STREQ(L"cdef", u.GetData());
}

TEST(UiStringTest, CopyAndConcatenation) {
  CUiString longer(Repeat(L'l', 70).c_str());
  CUiString copy(longer);
  EXPECT_NE(copy.GetData(), longer.GetData());
  EXPECT_TRUE(copy == longer);
  CUiString sum = CUiString(L"ab") + L"cd";
  EXPECT_STREQ(L"abcd", sum.GetData());
  EXPECT_STREQ(L"abcdab", (sum + CUiString(L"ab")).GetData());
}

TEST(UiStringTest, Comparisons) {
  CUiString s(L"Name");
  EXPECT_TRUE(s == L"Name");
  EXPECT_TRUE(s != L"name");
  EXPECT_TRUE(s.Equals(L"Name"));
  EXPECT_EQ(0, s.CompareNoCase(L"nAME"));
  EXPECT_LT(s.Compare(L"Namf"), 0);
  EXPECT_GT(s.Compare(L"Nam"), 0);
  EXPECT_TRUE(s < L"Z");
  EXPECT_FALSE(s == nullptr);
  EXPECT_TRUE(CUiString() == nullptr);
}

TEST(UiStringTest, FindBounds) {
  CUiString s(L"abcabc");
  EXPECT_EQ(1, s.Find(L"bc"));
  EXPECT_EQ(4, s.Find(L"bc", 2));
  EXPECT_EQ(-1, s.Find(L"bc", 5));
  EXPECT_EQ(-1, s.Find(L"a", 6));  // start == length
  EXPECT_EQ(-1, s.Find(L"a", 7));  // past the end: not searched
  EXPECT_EQ(-1, s.Find(L"a", -1));
  EXPECT_EQ(-1, s.Find(nullptr));
  EXPECT_EQ(3, s.FindChar(L'a', 1));
  EXPECT_EQ(-1, s.FindChar(L'a', 6));
  EXPECT_EQ(-1, s.FindChar(L'z'));
  EXPECT_EQ(-1, CUiString().FindChar(L'a'));
  EXPECT_EQ(5, s.ReverseFind(L'c'));
  EXPECT_EQ(-1, s.ReverseFind(L'z'));
}

TEST(UiStringTest, Substrings) {
  CUiString s(L"abcdef");
  struct Case {
    CUiString got;
    const wchar_t* want;
  } cases[] = {
      {s.Left(2), L"ab"},      {s.Left(-3), L""},      {s.Left(99), L"abcdef"},
      {s.Right(2), L"ef"},     {s.Right(99), L"abcdef"}, {s.Right(0), L""},
      {s.Mid(2, 3), L"cde"},   {s.Mid(2), L"cdef"},    {s.Mid(4, 10), L"ef"},
      {s.Mid(6, 1), L""},      {s.Mid(0, 0), L""},
  };
  for (const auto& c : cases) EXPECT_STREQ(c.want, c.got.GetData());
}

TEST(UiStringTest, ReplaceNeverRevisitsItsReplacements) {
  CUiString name(L"a.b.c");
  EXPECT_EQ(2, name.Replace(L".", L".."));
  EXPECT_STREQ(L"a..b..c", name.GetData());
  CUiString s(L"xxx");
  EXPECT_EQ(3, s.Replace(L"x", L"yx"));
  EXPECT_STREQ(L"yxyxyx", s.GetData());
  EXPECT_EQ(3, s.Replace(L"yx", L""));
  EXPECT_TRUE(s.IsEmpty());
  CUiString t(L"abc");
  EXPECT_EQ(0, t.Replace(L"", L"z"));
  EXPECT_EQ(0, t.Replace(L"q", L"z"));
  EXPECT_STREQ(L"abc", t.GetData());
  CUiString longer(Repeat(L'-', 70).c_str());
  EXPECT_EQ(70, longer.Replace(L"-", L"+"));
  EXPECT_EQ(Repeat(L'+', 70), longer.GetData());
}

TEST(UiStringTest, CaseAndTrim) {
  CUiString s(L"AbC-Zz\x00C4");
  s.MakeLower();
  EXPECT_STREQ(L"abc-zz\x00C4", s.GetData());  // only A to Z
  CUiString t(L" \t\r\n text \x3000 \n");
  t.Trim();
  EXPECT_STREQ(L"text", t.GetData());
  CUiString l(L"  left ");
  l.TrimLeft();
  EXPECT_STREQ(L"left ", l.GetData());
  CUiString r(L"  right  ");
  r.TrimRight();
  EXPECT_STREQ(L"  right", r.GetData());
  CUiString blank(L"   ");
  blank.Trim();
  EXPECT_TRUE(blank.IsEmpty());
}

TEST(UiStringTest, FormatHasNoLengthLimit) {
  CUiString s;
  EXPECT_EQ(6, s.Format(L"%d%%-%s", 42, L"ab"));
  EXPECT_STREQ(L"42%-ab", s.GetData()) << "wide %s";
  const std::wstring longer = Repeat(L'w', 500);
  EXPECT_EQ(503, s.Format(L"%s-%d", longer.c_str(), 12));
  EXPECT_EQ(longer + L"-12", s.GetData());
  EXPECT_EQ(-1, s.Format(nullptr));
}

TEST(UiStringTest, FormatBoundedCutsAtSixtyThreeCharacters) {
  CUiString s;
  const std::wstring seventy = Repeat(L'f', 70);
  EXPECT_EQ(-1, s.FormatBounded(L"%s", seventy.c_str()));
  EXPECT_EQ(Repeat(L'f', 63), s.GetData());
  const std::wstring sixty_three = Repeat(L'g', 63);
  EXPECT_EQ(63, s.FormatBounded(L"%s", sixty_three.c_str()));
  EXPECT_EQ(sixty_three, s.GetData());
  EXPECT_EQ(5, s.FormatBounded(L"%d", 12345));
  EXPECT_STREQ(L"12345", s.GetData());
}

}  // namespace
}  // namespace SkinUI
