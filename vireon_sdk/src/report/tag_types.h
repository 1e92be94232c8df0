// Type codes, result codes and limits of the telemetry client's tagged binary
// format. Every field starts with a head of one byte (tag below 15: tag in the
// high nibble, type in the low one) or two (0xF0 | type, then the tag);
// integers are big-endian in the narrowest width that holds the value.
#pragma once

#include <cstdint>

namespace vireon {

enum class TagType : uint8_t {
  Int8 = 0,
  Int16 = 1,
  Int32 = 2,
  Int64 = 3,
  Float32 = 4,  // skipped only
  Float64 = 5,  // skipped only
  ShortString = 6,
  LongString = 7,
  Map = 8,
  List = 9,
  StructStart = 10,
  StructEnd = 11,
  Zero = 12,
  ByteList = 13,
  // 14 and 15 are invalid
};

// Result codes of every codec operation.
inline constexpr int kTagOk = 0;
inline constexpr int kTagDecodeError = -3;   // undecodable input or a read past the end
inline constexpr int kTagBadArgument = -5;   // missing record, bad length or allocation failure
inline constexpr int kTagFieldAbsent = -6;   // optional field absent; never leaves the codec

// A long string above this is refused when read.
inline constexpr uint32_t kMaxLongStringBytes = 104857600;  // 100 MiB

// How deep maps, lists and structures may nest inside a field that is being
// skipped. Hostile input could otherwise recurse until the stack runs out.
inline constexpr int kMaxTagNesting = 64;

}  // namespace vireon
