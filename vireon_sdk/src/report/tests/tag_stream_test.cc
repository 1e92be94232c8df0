#include "vireon_sdk/src/report/tag_stream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "vireon_sdk/src/report/tests/wire_test_util.h"

namespace vireon {
namespace {

using testing::Bytes;
using testing::Hex;

std::string Written(const TagStream& s) { return std::string(s.buffer().view()); }

TagStream Reader(std::string_view bytes) {
  TagStream s;
  EXPECT_EQ(s.SetContent(bytes), kTagOk);
  return s;
}

// A minimal record for structure round trips: an int at tag 0, a string at 1.
struct Pair final : TagStruct {
  int32_t number = 0;
  TagBuffer text;
  const char* class_name() const noexcept override { return "test.Pair"; }
  int Write(TagStream& out) const noexcept override {
    int rc = out.WriteInt32(number, 0);
    return rc != kTagOk ? rc : out.WriteString(text, 1);
  }
  int Read(TagStream& in) noexcept override {
    int rc = in.ReadInt32(&number, 0, true);
    return rc != kTagOk ? rc : in.ReadString(&text, 1, true);
  }
};

TEST(TagStream, IntegersTakeTheNarrowestEncodingAndReadBackSignExtended) {
  enum Width { k8, k16, k32, k64 };
  struct Case {
    Width width;
    int64_t value;
    uint8_t tag;
    const char* bytes;
  } cases[] = {
      {k8, 0, 4, "4C"},          {k16, 0, 4, "4C"},
      {k32, 0, 4, "4C"},         {k64, 0, 4, "4C"},
      {k32, -1, 0, "00 FF"},     {k16, 128, 9, "91 00 80"},
      {k32, 40000, 0, "02 00 00 9C 40"},
      {k8, 127, 1, "10 7F"},     {k8, -128, 1, "10 80"},
      {k16, -129, 2, "21 FF 7F"},
      {k32, 32767, 0, "01 7F FF"}, {k32, -32769, 0, "02 FF FF 7F FF"},
      {k64, 2147483647, 3, "32 7F FF FF FF"},
      {k64, 2147483648LL, 3, "33 00 00 00 00 80 00 00 00"},
      {k64, INT64_MIN, 14, "E3 80 00 00 00 00 00 00 00"},
      {k32, 1, 20, "F0 14 01"},  // tag 20: a two-byte head
      {k8, 0, 255, "FC FF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "value " << c.value << " tag " << int(c.tag));
    TagStream w;
    switch (c.width) {
      case k8: ASSERT_EQ(w.WriteChar(static_cast<int8_t>(c.value), c.tag), kTagOk); break;
      case k16: ASSERT_EQ(w.WriteShort(static_cast<int16_t>(c.value), c.tag), kTagOk); break;
      case k32: ASSERT_EQ(w.WriteInt32(static_cast<int32_t>(c.value), c.tag), kTagOk); break;
      case k64: ASSERT_EQ(w.WriteInt64(c.value, c.tag), kTagOk); break;
    }
    EXPECT_EQ(Hex(Written(w)), Hex(Bytes(c.bytes)));

    // Every reader at least as wide as the encoding gets the value back.
    int64_t v64 = 99;
    auto r = Reader(Written(w));
    EXPECT_EQ(r.ReadInt64(&v64, c.tag), kTagOk);
    EXPECT_EQ(v64, c.value);
    if (c.value >= INT32_MIN && c.value <= INT32_MAX) {
      int32_t v32 = 99;
      r = Reader(Written(w));
      EXPECT_EQ(r.ReadInt32(&v32, c.tag, true), kTagOk);
      EXPECT_EQ(v32, c.value);
    }
    if (c.value >= INT16_MIN && c.value <= INT16_MAX) {
      int16_t v16 = 99;
      r = Reader(Written(w));
      EXPECT_EQ(r.ReadShort(&v16, c.tag, true), kTagOk);
      EXPECT_EQ(v16, c.value);
    }
  }
}

TEST(TagStream, RoundTripsEveryTypeInOneStructure) {
  TagMap map;
  ASSERT_EQ(map.Push("k1", "v1"), kTagOk);
  ASSERT_EQ(map.Push(std::string(300, 'k'), std::string(256, 'v')), kTagOk);
  Pair inner;
  inner.number = -70000;
  ASSERT_EQ(inner.text.Assign("inner"), kTagOk);
  const std::string long_text(70000, 'x');
  const std::string bytes("\x00\x01\xFF\x7F", 4);

  TagStream w;
  ASSERT_EQ(w.WriteBool(true, 0), kTagOk);
  ASSERT_EQ(w.WriteChar(-5, 1), kTagOk);
  ASSERT_EQ(w.WriteShort(-300, 2), kTagOk);
  ASSERT_EQ(w.WriteInt32(123456789, 3), kTagOk);
  ASSERT_EQ(w.WriteInt64(-1234567890123LL, 4), kTagOk);
  ASSERT_EQ(w.WriteString("short", 5), kTagOk);
  ASSERT_EQ(w.WriteString(long_text, 6), kTagOk);
  ASSERT_EQ(w.WriteMap(map, 7), kTagOk);
  ASSERT_EQ(w.WriteByteList(bytes.data(), 4, 8), kTagOk);
  // A list of two structures, elements stored already encoded.
  TagStream element;
  ASSERT_EQ(element.WriteStruct(inner), kTagOk);
  ASSERT_EQ(w.WriteHead(TagType::List, 9), kTagOk);
  ASSERT_EQ(w.WriteInt32(2, 0), kTagOk);
  ASSERT_EQ(w.AppendBytes(element.buffer().view()), kTagOk);
  ASSERT_EQ(w.AppendBytes(element.buffer().view()), kTagOk);
  ASSERT_EQ(w.WriteString("", 200), kTagOk);

  auto r = Reader(Written(w));
  bool flag = false;
  int8_t c = 0;
  int16_t s = 0;
  int32_t i = 0;
  int64_t l = 0;
  TagBuffer short_text, long_read, byte_list, empty;
  TagMap map_read;
  TagArray list("test.Pair");
  ASSERT_EQ(r.ReadBool(&flag, 0), kTagOk);
  ASSERT_EQ(r.ReadChar(&c, 1), kTagOk);
  ASSERT_EQ(r.ReadShort(&s, 2, true), kTagOk);
  ASSERT_EQ(r.ReadInt32(&i, 3, true), kTagOk);
  ASSERT_EQ(r.ReadInt64(&l, 4), kTagOk);
  ASSERT_EQ(r.ReadString(&short_text, 5, true), kTagOk);
  ASSERT_EQ(r.ReadString(&long_read, 6, true), kTagOk);
  ASSERT_EQ(r.ReadMap(&map_read, 7, true), kTagOk);
  ASSERT_EQ(r.ReadByteList(&byte_list, 8), kTagOk);
  ASSERT_EQ(r.ReadList(&list, 9), kTagOk);
  ASSERT_EQ(r.ReadString(&empty, 200, true), kTagOk);
  EXPECT_EQ(r.remaining(), 0u);

  EXPECT_TRUE(flag);
  EXPECT_EQ(c, -5);
  EXPECT_EQ(s, -300);
  EXPECT_EQ(i, 123456789);
  EXPECT_EQ(l, -1234567890123LL);
  EXPECT_EQ(short_text.view(), "short");
  EXPECT_EQ(long_read.view(), long_text);
  EXPECT_EQ(byte_list.view(), bytes);
  EXPECT_EQ(empty.length(), 0u);

  // Map entries come back as their raw encoded fields, heads included.
  ASSERT_EQ(map_read.count(), 2);
  EXPECT_EQ(Hex(map_read.key(0)), Hex(Bytes("06 02 6B 31")));
  EXPECT_EQ(Hex(map_read.value(0)), Hex(Bytes("16 02 76 31")));
  EXPECT_EQ(map_read.key(1).substr(0, 5), Bytes("07 00 00 01 2C"));
  EXPECT_EQ(map_read.value(1).substr(0, 5), Bytes("17 00 00 01 00"));

  // List elements decode with a stream of their own.
  ASSERT_EQ(list.count(), 2);
  for (int32_t k = 0; k < 2; ++k) {
    auto er = Reader(list.element(k));
    Pair back;
    ASSERT_EQ(er.ReadStruct(&back), kTagOk);
    EXPECT_EQ(back.number, -70000);
    EXPECT_EQ(back.text.view(), "inner");
  }
}

TEST(TagStream, StringMapAndByteListLayouts) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected_prefix;
    size_t expected_size;
  };
  auto write = [](auto&& fn) {
    TagStream w;
    EXPECT_EQ(fn(w), kTagOk);
    return Written(w);
  };
  const Case cases[] = {
      {"255-byte string is short", write([](TagStream& w) { return w.WriteString(std::string(255, 'a'), 0); }),
       Bytes("06 FF"), 257},
      {"256-byte string is long", write([](TagStream& w) { return w.WriteString(std::string(256, 'a'), 0); }),
       Bytes("07 00 00 01 00"), 261},
      {"empty map at tag 5", write([](TagStream& w) { return w.WriteMap(TagMap(), 5); }), Bytes("58 0C"), 2},
      {"empty byte list at tag 6", write([](TagStream& w) { return w.WriteByteList(nullptr, 0, 6); }),
       Bytes("6D 00 0C"), 3},
      {"byte list of 300", write([](TagStream& w) { return w.WriteByteList(std::string(300, 'b').data(), 300, 1); }),
       Bytes("1D 00 01 01 2C"), 305},
      {"structure", write([](TagStream& w) {
         Pair p;
         p.number = 1;
         return w.WriteStruct(p);
       }),
       Bytes("0A 00 01 16 00 0B"), 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.bytes.size(), c.expected_size);
    EXPECT_EQ(Hex(c.bytes.substr(0, c.expected_prefix.size())), Hex(c.expected_prefix));
  }
}

TEST(TagStream, AbsentOptionalFieldKeepsTargetAndAbsentRequiredFieldFails) {
  TagStream w;
  ASSERT_EQ(w.WriteInt32(7, 1), kTagOk);
  ASSERT_EQ(w.WriteString("x", 13), kTagOk);

  // Optional and absent: 0, target untouched, cursor ready for the next field.
  auto r = Reader(Written(w));
  int32_t i = 42;
  int8_t c = 42;
  TagBuffer text;
  ASSERT_EQ(text.Assign("kept"), kTagOk);
  EXPECT_EQ(r.ReadChar(&c, 0), kTagOk);
  EXPECT_EQ(c, 42);
  EXPECT_EQ(r.ReadInt32(&i, 1, true), kTagOk);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(r.ReadString(&text, 12, false), kTagOk);
  EXPECT_EQ(text.view(), "kept");
  EXPECT_EQ(r.ReadString(&text, 13, true), kTagOk);
  EXPECT_EQ(text.view(), "x");
  EXPECT_EQ(r.ReadString(&text, 14, false), kTagOk);  // past the end: absent
  EXPECT_EQ(text.view(), "x");

  // Required and absent: -3 with the text cut to 31 characters.
  r = Reader(Written(w));
  EXPECT_EQ(r.ReadInt32(&i, 1, true), kTagOk);
  EXPECT_EQ(r.ReadString(&text, 12, true), kTagDecodeError);
  EXPECT_STREQ(r.error(), "require field not exist, tag: 1");

  // A field whose tag was already passed is not found.
  r = Reader(Written(w));
  EXPECT_EQ(r.ReadString(&text, 13, true), kTagOk);
  EXPECT_EQ(r.ReadInt32(&i, 1, true), kTagDecodeError);

  // ReadInt64 and ReadByteList are always required.
  r = Reader(Written(w));
  int64_t l = 5;
  EXPECT_EQ(r.ReadInt64(&l, 0), kTagDecodeError);
  r = Reader(Written(w));
  EXPECT_EQ(r.ReadByteList(&text, 0), kTagDecodeError);
}

TEST(TagStream, TypeMismatchesAreDecodeErrorsWithTheirText) {
  TagStream w64;
  ASSERT_EQ(w64.WriteInt64(1LL << 40, 0), kTagOk);
  TagStream w16;
  ASSERT_EQ(w16.WriteShort(1000, 0), kTagOk);
  TagStream wstr;
  ASSERT_EQ(wstr.WriteString("s", 0), kTagOk);
  TagStream wmap;
  ASSERT_EQ(wmap.WriteMap(TagMap(), 0), kTagOk);
  TagStream wlist;
  ASSERT_EQ(wlist.WriteHead(TagType::List, 4), kTagOk);
  ASSERT_EQ(wlist.WriteInt32(0, 0), kTagOk);

  struct Case {
    const char* name;
    std::string input;
    int (*read)(TagStream&);
    const char* error;
  } cases[] = {
      {"Int32 from Int64", Written(w64), [](TagStream& s) { int32_t v; return s.ReadInt32(&v, 0, true); },
       "read 'Int32' type mismatch, tag"},
      {"Short from Int64", Written(w64), [](TagStream& s) { int16_t v; return s.ReadShort(&v, 0, true); },
       "read 'Short' type mismatch, tag"},
      {"Char from Int16", Written(w16), [](TagStream& s) { int8_t v; return s.ReadChar(&v, 0); },
       "read 'Char' type mismatch, tag:"},
      {"Int64 from string", Written(wstr), [](TagStream& s) { int64_t v; return s.ReadInt64(&v, 0); },
       "read 'Int64' type mismatch, tag"},
      {"string from map", Written(wmap), [](TagStream& s) { TagBuffer v; return s.ReadString(&v, 0, true); },
       "read 'string' type mismatch, ta"},
      {"map from string", Written(wstr), [](TagStream& s) { TagMap v; return s.ReadMap(&v, 0, true); },
       "read 'map' type mismatch, tag: "},
      {"list from map", Written(wmap), [](TagStream& s) { TagArray v; return s.ReadList(&v, 0); },
       "read 'vector' type mismatch, ta"},
      {"byte list from string", Written(wstr), [](TagStream& s) { TagBuffer v; return s.ReadByteList(&v, 0); },
       "type mismatch, tag: 0, type: 6"},
      {"struct from Int16", Written(w16), [](TagStream& s) { Pair v; return s.ReadStruct(&v); },
       "read 'struct' type mismatch, ta"},
      {"list at a higher tag", Written(wlist), [](TagStream& s) { TagArray v; return s.ReadList(&v, 3); },
       "require field not exist, tag: 3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = Reader(c.input);
    EXPECT_EQ(c.read(r), kTagDecodeError);
    EXPECT_STREQ(r.error(), c.error);
  }
}

TEST(TagStream, SkipsLowerTagsWithNestedContainersToReachAField) {
  Pair p;
  p.number = 3;
  TagMap map;
  ASSERT_EQ(map.Push("a", "b"), kTagOk);
  TagStream nested;  // a structure holding a map and a structure
  ASSERT_EQ(nested.WriteMap(map, 0), kTagOk);
  ASSERT_EQ(nested.WriteStruct(p), kTagOk);

  TagStream w;
  ASSERT_EQ(w.WriteHead(TagType::StructStart, 0), kTagOk);
  ASSERT_EQ(w.AppendBytes(nested.buffer().view()), kTagOk);
  ASSERT_EQ(w.WriteHead(TagType::StructEnd, 0), kTagOk);
  ASSERT_EQ(w.WriteMap(map, 1), kTagOk);
  ASSERT_EQ(w.WriteHead(TagType::List, 2), kTagOk);
  ASSERT_EQ(w.WriteInt32(2, 0), kTagOk);
  ASSERT_EQ(w.WriteStruct(p), kTagOk);
  ASSERT_EQ(w.WriteMap(map, 0), kTagOk);
  ASSERT_EQ(w.WriteByteList("xyz", 3, 3), kTagOk);
  ASSERT_EQ(w.WriteHead(TagType::Float32, 4), kTagOk);
  ASSERT_EQ(w.AppendBytes(Bytes("3F 80 00 00")), kTagOk);
  ASSERT_EQ(w.WriteHead(TagType::Float64, 5), kTagOk);
  ASSERT_EQ(w.AppendBytes(Bytes("3F F0 00 00 00 00 00 00")), kTagOk);
  ASSERT_EQ(w.WriteString(std::string(1000, 'L'), 6), kTagOk);
  ASSERT_EQ(w.WriteInt32(-2, 7), kTagOk);

  auto r = Reader(Written(w));
  int32_t v = 0;
  ASSERT_EQ(r.ReadInt32(&v, 7, true), kTagOk) << r.error();
  EXPECT_EQ(v, -2);
  EXPECT_EQ(r.remaining(), 0u);

  // SkipToStructEnd leaves the cursor just past the matching end.
  r = Reader(Written(w));
  ASSERT_EQ(r.CheckField(0, true), kTagOk);
  ASSERT_EQ(r.SkipToStructEnd(), kTagOk);
  TagMap m;
  ASSERT_EQ(r.ReadMap(&m, 1, true), kTagOk);
  EXPECT_EQ(m.count(), 1);
}

TEST(TagStream, InputEndingInsideAFieldIsAnOverflowError) {
  Pair p;
  p.number = 100000;
  ASSERT_EQ(p.text.Assign(std::string(300, 't')), kTagOk);
  TagStream w;
  ASSERT_EQ(w.WriteStruct(p), kTagOk);
  ASSERT_EQ(w.WriteByteList("abcdef", 6, 1), kTagOk);
  const std::string full = Written(w);

  for (size_t cut = 1; cut < full.size(); ++cut) {
    SCOPED_TRACE(::testing::Message() << "cut at " << cut);
    auto r = Reader(full.substr(0, cut));
    Pair back;
    TagBuffer bytes;
    int rc = r.ReadStruct(&back);
    if (rc == kTagOk) rc = r.ReadByteList(&bytes, 1);
    EXPECT_EQ(rc, kTagDecodeError);
    EXPECT_LE(r.cursor(), cut);
    EXPECT_NE(r.error()[0], '\0');
  }
  auto r = Reader(full.substr(0, 3));  // head, then the Int32 head and one of its bytes
  Pair back;
  EXPECT_EQ(r.ReadStruct(&back), kTagDecodeError);
  EXPECT_STREQ(r.error(), "buffer overflow when peekBuf, o");
}

TEST(TagStream, LongStringLengthIsBoundedAt100MiB) {
  // One above the limit is refused before anything is allocated.
  auto r = Reader(Bytes("07 06 40 00 01") + "abc");
  TagBuffer text;
  EXPECT_EQ(r.ReadString(&text, 0, true), kTagDecodeError);
  EXPECT_STREQ(r.error(), "invalid string size, tag: 0, si");

  // Exactly at the limit passes the size check and is then held against the
  // bytes really there (here: too few, so an overflow and no allocation).
  r = Reader(Bytes("07 06 40 00 00") + "abc");
  EXPECT_EQ(r.ReadString(&text, 0, true), kTagDecodeError);
  EXPECT_STREQ(r.error(), "buffer overflow when peekBuf, o");
  EXPECT_EQ(text.capacity(), 1u);

  // A long string that is all there is read.
  std::string whole = Bytes("07 00 01 00 00");
  whole.append(65536, 'z');
  r = Reader(whole);
  ASSERT_EQ(r.ReadString(&text, 0, true), kTagOk);
  EXPECT_EQ(text.view(), std::string(65536, 'z'));
}

// Lengths and counts come from the network: each must be checked against the
// bytes that are really there, and nesting must stay bounded.
TEST(TagStream, HostileLengthsCountsAndNestingFailFast) {
  std::string deep_structs(200000, '\x0A');  // StructStart heads without end
  std::string deep_lists;
  for (int i = 0; i < 200000; ++i) deep_lists += Bytes("09 00 01");  // a list holding a list ...
  struct Case {
    const char* name;
    std::string input;
    bool skipping_fails = true;
  } cases[] = {
      {"long string of 4 GiB - 1", Bytes("07 FF FF FF FF 41 42")},
      {"long string past the end", Bytes("07 00 00 10 00 41")},
      {"short string past the end", Bytes("06 05 41")},
      {"byte list count 2^31 - 1", Bytes("0D 00 02 7F FF FF FF 41")},
      // Skipping takes a negative count as "nothing to skip"; reading refuses it.
      {"byte list negative count", Bytes("0D 00 02 80 00 00 00"), false},
      {"byte list inner head not Int8", Bytes("0D 06 00")},
      {"map count 2^31 - 1 with two bytes", Bytes("08 02 7F FF FF FF 0C 1C")},
      {"list count 2^31 - 1 with one byte", Bytes("09 02 7F FF FF FF 0C")},
      {"map count without a count field", Bytes("08 16 00")},
      {"invalid type 14", Bytes("0E 00")},
      {"invalid type 15", Bytes("0F")},
      {"two-byte head cut", Bytes("F2")},
      {"unterminated structures", deep_structs},
      {"lists nested 200000 deep", deep_lists},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto started = std::chrono::steady_clock::now();
    // Reaching tag 15 means skipping the hostile field at tag 0 first.
    auto r = Reader(c.input);
    int32_t v = 0;
    EXPECT_EQ(r.ReadInt32(&v, 15, false), c.skipping_fails ? kTagDecodeError : kTagOk);
    EXPECT_LE(r.cursor(), c.input.size());
    // Reading it directly as what it claims to be fails too.
    auto direct = Reader(c.input);
    TagBuffer buf;
    TagMap map;
    TagArray list;
    Pair p;
    switch (static_cast<uint8_t>(c.input[0]) & 0x0F) {
      case 6:
      case 7: EXPECT_EQ(direct.ReadString(&buf, 0, true), kTagDecodeError); break;
      case 8: EXPECT_EQ(direct.ReadMap(&map, 0, true), kTagDecodeError); break;
      case 9: EXPECT_EQ(direct.ReadList(&list, 0), kTagDecodeError); break;
      case 10: EXPECT_EQ(direct.ReadStruct(&p), kTagDecodeError); break;
      case 13: EXPECT_EQ(direct.ReadByteList(&buf, 0), kTagDecodeError); break;
      default: break;
    }
    EXPECT_LE(buf.capacity(), c.input.size() + 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  }
}

TEST(TagBuffer, GrowsGeometricallyAndAlwaysEndsInNul) {
  TagBuffer b;
  EXPECT_EQ(b.length(), 0u);
  EXPECT_EQ(b.capacity(), 1u);
  EXPECT_EQ(b.data()[0], 0);
  ASSERT_EQ(b.Append("abc", 3), kTagOk);
  EXPECT_EQ(b.capacity(), 2u * 3 + 1);  // twice length + write, plus the NUL
  EXPECT_EQ(b.data()[3], 0);
  ASSERT_EQ(b.Append("defg", 4), kTagOk);
  EXPECT_EQ(b.capacity(), 2u * 7 + 1);
  EXPECT_EQ(b.view(), "abcdefg");
  ASSERT_EQ(b.Append(b.view().substr(0, 3)), kTagOk);  // its own bytes, across a grow
  EXPECT_EQ(b.view(), "abcdefgabc");
  ASSERT_EQ(b.Assign("xy", 2), kTagOk);
  EXPECT_EQ(b.view(), "xy");
  EXPECT_EQ(b.data()[2], 0);
  EXPECT_EQ(b.Append(nullptr, 1), kTagBadArgument);

  TagArray a("string");
  ASSERT_EQ(a.Push("one", 3), kTagOk);
  ASSERT_EQ(a.Push("", 0), kTagOk);
  ASSERT_EQ(a.Push("three", 5), kTagOk);
  EXPECT_EQ(a.count(), 3);
  EXPECT_EQ(a.element(0), "one");
  EXPECT_EQ(a.element(1), "");
  EXPECT_EQ(a.element(2), "three");
  EXPECT_EQ(a.element(3), "");
  EXPECT_STREQ(a.type_name(), "string");
}

}  // namespace
}  // namespace vireon
