// One stream record for writing and reading the tagged binary format, and the
// head every package record shares. Writes append to the buffer; reads start
// at the cursor and only move it forward. Every operation returns a result
// code (tag_types.h); a failed read leaves a diagnostic text of at most 31
// characters in error().
//
// Reading is safe on hostile bytes: every length and count is checked against
// the bytes that remain before anything is skipped, copied or allocated, and
// nesting is bounded.
#pragma once

#include <cstdint>
#include <string_view>

#include "vireon_sdk/src/report/tag_buffer.h"
#include "vireon_sdk/src/report/tag_types.h"

namespace vireon {

class TagStream;

// The head of every package record: its class name and its own write and read
// operations over the record's bare fields (no structure heads).
class TagStruct {
 public:
  virtual ~TagStruct() = default;
  virtual const char* class_name() const noexcept = 0;
  virtual int Write(TagStream& out) const noexcept = 0;
  virtual int Read(TagStream& in) noexcept = 0;
};

struct TagHead {
  uint8_t type = 0;  // a TagType value, or 14/15 for invalid input
  uint8_t tag = 0;
  uint8_t length = 0;  // 1 or 2 bytes
};

class TagStream {
 public:
  TagStream() noexcept { error_[0] = '\0'; }

  const TagBuffer& buffer() const noexcept { return buffer_; }
  TagBuffer& buffer() noexcept { return buffer_; }
  uint32_t cursor() const noexcept { return cursor_; }
  uint32_t remaining() const noexcept { return buffer_.length() - cursor_; }
  const char* error() const noexcept { return error_; }

  // Replaces the content and rewinds the cursor.
  int SetContent(const void* bytes, uint32_t n) noexcept;
  int SetContent(std::string_view bytes) noexcept;

  // --- writing ---------------------------------------------------------
  int WriteHead(TagType type, uint8_t tag) noexcept;
  int WriteChar(int8_t value, uint8_t tag) noexcept;
  int WriteBool(bool value, uint8_t tag) noexcept { return WriteChar(value ? 1 : 0, tag); }
  int WriteShort(int16_t value, uint8_t tag) noexcept;
  int WriteInt32(int32_t value, uint8_t tag) noexcept;
  int WriteInt64(int64_t value, uint8_t tag) noexcept;
  int WriteString(const void* bytes, uint32_t length, uint8_t tag) noexcept;
  int WriteString(std::string_view bytes, uint8_t tag) noexcept;
  int WriteString(const TagBuffer& bytes, uint8_t tag) noexcept { return WriteString(bytes.view(), tag); }
  // A map of plain texts: each key and value goes out as a string field.
  int WriteMap(const TagMap& map, uint8_t tag) noexcept;
  int WriteByteList(const void* bytes, uint32_t length, uint8_t tag) noexcept;
  int WriteByteList(const TagBuffer& bytes, uint8_t tag) noexcept {
    return WriteByteList(bytes.data(), bytes.length(), tag);
  }
  // The record's fields between a StructStart and a StructEnd head, tag 0.
  int WriteStruct(const TagStruct& record) noexcept;
  // Raw bytes without a head (the already-encoded elements of a list).
  int AppendBytes(const void* bytes, uint32_t length) noexcept;
  int AppendBytes(std::string_view bytes) noexcept;

  // --- reading ---------------------------------------------------------
  // An absent optional field returns 0 and leaves the target as it was.
  int ReadChar(int8_t* value, uint8_t tag) noexcept;  // always optional
  int ReadBool(bool* value, uint8_t tag) noexcept;    // any non-zero byte is true
  int ReadShort(int16_t* value, uint8_t tag, bool required) noexcept;
  int ReadInt32(int32_t* value, uint8_t tag, bool required) noexcept;
  int ReadInt64(int64_t* value, uint8_t tag) noexcept;  // always required
  int ReadString(TagBuffer* value, uint8_t tag, bool required) noexcept;
  // Appends each key and value as its raw encoded field, head included.
  int ReadMap(TagMap* map, uint8_t tag, bool required) noexcept;
  int ReadByteList(TagBuffer* value, uint8_t tag) noexcept;  // always required
  // Appends each element as its raw encoded field, head included.
  int ReadList(TagArray* elements, uint8_t tag) noexcept;  // always required
  // Reads a structure at tag 0 into the record (always required).
  int ReadStruct(TagStruct* record) noexcept;

  // --- navigation ------------------------------------------------------
  int PeekHead(TagHead* head) noexcept;
  int SkipToTag(uint8_t tag) noexcept;
  // 0 with the cursor past the wanted field's head (kept in head()); -6 when
  // an optional field is absent; -3 when a required one is, or the input is
  // broken.
  int CheckField(uint8_t tag, bool required) noexcept;
  int SkipField(uint8_t type) noexcept;
  int SkipToStructEnd() noexcept;
  const TagHead& head() const noexcept { return head_; }

 private:
  int Fail(const char* format, ...) noexcept;
  int Overflow() noexcept;
  int Need(uint32_t n) noexcept;  // n more bytes must be there
  int ReadCount(int32_t* count) noexcept;
  int ReadInteger(int64_t* value, uint8_t tag, bool required, int widest, const char* what) noexcept;
  int TakeFieldBytes(TagArray* into) noexcept;

  TagBuffer buffer_;
  uint32_t cursor_ = 0;
  char error_[32];
  TagHead head_;
  int depth_ = 0;              // nesting of the field being skipped
  bool search_failed_hard_ = false;  // SkipToTag met broken input, not a higher tag
};

}  // namespace vireon
