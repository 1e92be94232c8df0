#include "vireon_sdk/src/report/tag_stream.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace vireon {
namespace {

constexpr uint8_t Type(TagType t) { return static_cast<uint8_t>(t); }

uint64_t LoadBigEndian(const uint8_t* p, int width) {
  uint64_t v = 0;
  for (int i = 0; i < width; ++i) v = (v << 8) | p[i];
  return v;
}

void StoreBigEndian(uint8_t* p, uint64_t v, int width) {
  for (int i = width - 1; i >= 0; --i) {
    p[i] = static_cast<uint8_t>(v);
    v >>= 8;
  }
}

int64_t SignExtend(uint64_t v, int width) {
  switch (width) {
    case 1: return static_cast<int8_t>(v);
    case 2: return static_cast<int16_t>(v);
    case 4: return static_cast<int32_t>(v);
    default: return static_cast<int64_t>(v);
  }
}

}  // namespace

int TagStream::SetContent(const void* bytes, uint32_t n) noexcept {
  cursor_ = 0;
  depth_ = 0;
  error_[0] = '\0';
  return buffer_.Assign(bytes, n);
}

int TagStream::SetContent(std::string_view bytes) noexcept {
  cursor_ = 0;
  depth_ = 0;
  error_[0] = '\0';
  return buffer_.Assign(bytes);
}

int TagStream::Fail(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  std::vsnprintf(error_, sizeof(error_), format, args);  // cuts to 31 characters
  va_end(args);
  return kTagDecodeError;
}

int TagStream::Overflow() noexcept { return Fail("buffer overflow when peekBuf, over %u.", buffer_.length()); }

int TagStream::Need(uint32_t n) noexcept { return remaining() >= n ? kTagOk : Overflow(); }

// --- writing ---------------------------------------------------------------

int TagStream::WriteHead(TagType type, uint8_t tag) noexcept {
  if (tag < 15) {
    const uint8_t b = static_cast<uint8_t>((tag << 4) | Type(type));
    return buffer_.Append(&b, 1);
  }
  const uint8_t b[2] = {static_cast<uint8_t>(0xF0 | Type(type)), tag};
  return buffer_.Append(b, 2);
}

int TagStream::WriteChar(int8_t value, uint8_t tag) noexcept {
  if (value == 0) return WriteHead(TagType::Zero, tag);
  if (int rc = WriteHead(TagType::Int8, tag); rc != kTagOk) return rc;
  return buffer_.Append(&value, 1);
}

int TagStream::WriteShort(int16_t value, uint8_t tag) noexcept {
  if (value >= -128 && value <= 127) return WriteChar(static_cast<int8_t>(value), tag);
  if (int rc = WriteHead(TagType::Int16, tag); rc != kTagOk) return rc;
  uint8_t b[2];
  StoreBigEndian(b, static_cast<uint16_t>(value), 2);
  return buffer_.Append(b, 2);
}

int TagStream::WriteInt32(int32_t value, uint8_t tag) noexcept {
  if (value >= -32768 && value <= 32767) return WriteShort(static_cast<int16_t>(value), tag);
  if (int rc = WriteHead(TagType::Int32, tag); rc != kTagOk) return rc;
  uint8_t b[4];
  StoreBigEndian(b, static_cast<uint32_t>(value), 4);
  return buffer_.Append(b, 4);
}

int TagStream::WriteInt64(int64_t value, uint8_t tag) noexcept {
  if (value >= INT32_MIN && value <= INT32_MAX) return WriteInt32(static_cast<int32_t>(value), tag);
  if (int rc = WriteHead(TagType::Int64, tag); rc != kTagOk) return rc;
  uint8_t b[8];
  StoreBigEndian(b, static_cast<uint64_t>(value), 8);
  return buffer_.Append(b, 8);
}

int TagStream::WriteString(const void* bytes, uint32_t length, uint8_t tag) noexcept {
  if (bytes == nullptr && length != 0) return kTagBadArgument;
  if (length < 256) {
    if (int rc = WriteHead(TagType::ShortString, tag); rc != kTagOk) return rc;
    const uint8_t b = static_cast<uint8_t>(length);
    if (int rc = buffer_.Append(&b, 1); rc != kTagOk) return rc;
  } else {
    if (int rc = WriteHead(TagType::LongString, tag); rc != kTagOk) return rc;
    uint8_t b[4];
    StoreBigEndian(b, length, 4);
    if (int rc = buffer_.Append(b, 4); rc != kTagOk) return rc;
  }
  return buffer_.Append(bytes, length);
}

int TagStream::WriteString(std::string_view bytes, uint8_t tag) noexcept {
  if (bytes.size() > UINT32_MAX) return kTagBadArgument;
  return WriteString(bytes.data(), static_cast<uint32_t>(bytes.size()), tag);
}

int TagStream::WriteMap(const TagMap& map, uint8_t tag) noexcept {
  if (int rc = WriteHead(TagType::Map, tag); rc != kTagOk) return rc;
  if (int rc = WriteInt32(map.count(), 0); rc != kTagOk) return rc;
  for (int32_t i = 0; i < map.count(); ++i) {
    if (int rc = WriteString(map.key(i), 0); rc != kTagOk) return rc;
    if (int rc = WriteString(map.value(i), 1); rc != kTagOk) return rc;
  }
  return kTagOk;
}

int TagStream::WriteByteList(const void* bytes, uint32_t length, uint8_t tag) noexcept {
  if ((bytes == nullptr && length != 0) || length > INT32_MAX) return kTagBadArgument;
  if (int rc = WriteHead(TagType::ByteList, tag); rc != kTagOk) return rc;
  if (int rc = WriteHead(TagType::Int8, 0); rc != kTagOk) return rc;
  if (int rc = WriteInt32(static_cast<int32_t>(length), 0); rc != kTagOk) return rc;
  return buffer_.Append(bytes, length);
}

int TagStream::WriteStruct(const TagStruct& record) noexcept {
  TagStream fields;
  if (int rc = record.Write(fields); rc != kTagOk) return rc;
  if (int rc = WriteHead(TagType::StructStart, 0); rc != kTagOk) return rc;
  if (int rc = buffer_.Append(fields.buffer().data(), fields.buffer().length()); rc != kTagOk) return rc;
  return WriteHead(TagType::StructEnd, 0);
}

int TagStream::AppendBytes(const void* bytes, uint32_t length) noexcept {
  return buffer_.Append(bytes, length);
}

int TagStream::AppendBytes(std::string_view bytes) noexcept { return buffer_.Append(bytes); }

// --- navigation ------------------------------------------------------------

int TagStream::PeekHead(TagHead* head) noexcept {
  if (remaining() < 1) return Overflow();
  const uint8_t* p = buffer_.data() + cursor_;
  head->type = p[0] & 0x0F;
  head->tag = p[0] >> 4;
  head->length = 1;
  if (head->tag == 15) {
    if (remaining() < 2) return Overflow();
    head->tag = p[1];
    head->length = 2;
  }
  return kTagOk;
}

int TagStream::SkipToTag(uint8_t tag) noexcept {
  search_failed_hard_ = false;
  for (;;) {
    if (remaining() == 0) return Overflow();  // a clean end: the field is absent
    TagHead h;
    if (int rc = PeekHead(&h); rc != kTagOk) {
      search_failed_hard_ = true;
      return rc;
    }
    if (h.tag == tag) return kTagOk;
    if (h.tag > tag || h.type == Type(TagType::StructEnd)) return Fail("tag %d not found", h.tag);
    cursor_ += h.length;
    if (int rc = SkipField(h.type); rc != kTagOk) {
      search_failed_hard_ = true;
      return rc;
    }
  }
}

int TagStream::CheckField(uint8_t tag, bool required) noexcept {
  if (SkipToTag(tag) != kTagOk) {
    // Broken input met on the way is an error even for an optional field:
    // the cursor sits inside a field and nothing after it can be trusted.
    if (search_failed_hard_) return kTagDecodeError;
    if (required) return Fail("require field not exist, tag: %d", tag);
    return kTagFieldAbsent;
  }
  PeekHead(&head_);
  cursor_ += head_.length;
  return kTagOk;
}

int TagStream::ReadCount(int32_t* count) noexcept {
  *count = 0;
  return ReadInt32(count, 0, true);
}

int TagStream::SkipField(uint8_t type) noexcept {
  switch (static_cast<TagType>(type)) {
    case TagType::Int8:
      if (Need(1) != kTagOk) return kTagDecodeError;
      cursor_ += 1;
      return kTagOk;
    case TagType::Int16:
      if (Need(2) != kTagOk) return kTagDecodeError;
      cursor_ += 2;
      return kTagOk;
    case TagType::Int32:
    case TagType::Float32:
      if (Need(4) != kTagOk) return kTagDecodeError;
      cursor_ += 4;
      return kTagOk;
    case TagType::Int64:
    case TagType::Float64:
      if (Need(8) != kTagOk) return kTagDecodeError;
      cursor_ += 8;
      return kTagOk;
    case TagType::ShortString: {
      if (Need(1) != kTagOk) return kTagDecodeError;
      const uint32_t n = buffer_.data()[cursor_];
      cursor_ += 1;
      if (Need(n) != kTagOk) return kTagDecodeError;
      cursor_ += n;
      return kTagOk;
    }
    case TagType::LongString: {
      if (Need(4) != kTagOk) return kTagDecodeError;
      const auto n = static_cast<uint32_t>(LoadBigEndian(buffer_.data() + cursor_, 4));
      cursor_ += 4;
      if (Need(n) != kTagOk) return kTagDecodeError;
      cursor_ += n;
      return kTagOk;
    }
    case TagType::Map:
    case TagType::List:
    case TagType::StructStart: {
      if (depth_ >= kMaxTagNesting) return Fail("nesting too deep, depth: %d", depth_);
      ++depth_;
      int rc = kTagOk;
      if (static_cast<TagType>(type) == TagType::StructStart) {
        rc = SkipToStructEnd();
      } else {
        int32_t count = 0;
        rc = ReadCount(&count);
        const int64_t fields = static_cast<TagType>(type) == TagType::Map ? 2 * int64_t{count} : count;
        for (int64_t i = 0; rc == kTagOk && i < fields; ++i) {
          TagHead h;
          rc = PeekHead(&h);
          if (rc != kTagOk) break;
          cursor_ += h.length;
          rc = SkipField(h.type);
        }
      }
      --depth_;
      return rc;
    }
    case TagType::StructEnd:
    case TagType::Zero:
      return kTagOk;
    case TagType::ByteList: {
      TagHead inner;
      if (PeekHead(&inner) != kTagOk) return kTagDecodeError;
      if (inner.type != Type(TagType::Int8))
        return Fail("skipField with invalid type, type value: %d, %d.", Type(TagType::ByteList), inner.type);
      cursor_ += inner.length;
      int32_t count = 0;
      if (int rc = ReadCount(&count); rc != kTagOk) return rc;
      if (count > 0) {
        if (Need(static_cast<uint32_t>(count)) != kTagOk) return kTagDecodeError;
        cursor_ += static_cast<uint32_t>(count);
      }
      return kTagOk;
    }
  }
  return Fail("skipField with invalid type, type value:%d.", type);
}

int TagStream::SkipToStructEnd() noexcept {
  int level = 1;
  for (;;) {
    TagHead h;
    if (int rc = PeekHead(&h); rc != kTagOk) return rc;
    cursor_ += h.length;
    if (h.type == Type(TagType::StructStart)) {
      ++level;
    } else if (h.type == Type(TagType::StructEnd)) {
      if (--level == 0) {
        head_ = h;
        return kTagOk;
      }
    } else if (int rc = SkipField(h.type); rc != kTagOk) {
      return rc;
    }
  }
}

// --- reading ---------------------------------------------------------------

int TagStream::ReadInteger(int64_t* value, uint8_t tag, bool required, int widest, const char* what) noexcept {
  if (int rc = CheckField(tag, required); rc != kTagOk) return rc;
  int width = 0;
  switch (static_cast<TagType>(head_.type)) {
    case TagType::Zero: *value = 0; return kTagOk;
    case TagType::Int8: width = 1; break;
    case TagType::Int16: width = 2; break;
    case TagType::Int32: width = 4; break;
    case TagType::Int64: width = 8; break;
    default: break;
  }
  if (width == 0 || width > widest)
    return Fail("read '%s' type mismatch, tag: %d, get type: %d.", what, tag, head_.type);
  if (Need(static_cast<uint32_t>(width)) != kTagOk) return kTagDecodeError;
  *value = SignExtend(LoadBigEndian(buffer_.data() + cursor_, width), width);
  cursor_ += static_cast<uint32_t>(width);
  return kTagOk;
}

int TagStream::ReadChar(int8_t* value, uint8_t tag) noexcept {
  if (value == nullptr) return kTagBadArgument;
  int64_t v = 0;
  const int rc = ReadInteger(&v, tag, false, 1, "Char");
  if (rc == kTagFieldAbsent) return kTagOk;
  if (rc == kTagOk) *value = static_cast<int8_t>(v);
  return rc;
}

int TagStream::ReadBool(bool* value, uint8_t tag) noexcept {
  if (value == nullptr) return kTagBadArgument;
  int8_t v = *value ? 1 : 0;
  const int rc = ReadChar(&v, tag);
  if (rc == kTagOk) *value = v != 0;
  return rc;
}

int TagStream::ReadShort(int16_t* value, uint8_t tag, bool required) noexcept {
  if (value == nullptr) return kTagBadArgument;
  int64_t v = 0;
  const int rc = ReadInteger(&v, tag, required, 2, "Short");
  if (rc == kTagFieldAbsent) return kTagOk;
  if (rc == kTagOk) *value = static_cast<int16_t>(v);
  return rc;
}

int TagStream::ReadInt32(int32_t* value, uint8_t tag, bool required) noexcept {
  if (value == nullptr) return kTagBadArgument;
  int64_t v = 0;
  const int rc = ReadInteger(&v, tag, required, 4, "Int32");
  if (rc == kTagFieldAbsent) return kTagOk;
  if (rc == kTagOk) *value = static_cast<int32_t>(v);
  return rc;
}

int TagStream::ReadInt64(int64_t* value, uint8_t tag) noexcept {
  if (value == nullptr) return kTagBadArgument;
  int64_t v = 0;
  const int rc = ReadInteger(&v, tag, true, 8, "Int64");
  if (rc == kTagOk) *value = v;
  return rc;
}

int TagStream::ReadString(TagBuffer* value, uint8_t tag, bool required) noexcept {
  if (value == nullptr) return kTagBadArgument;
  if (int rc = CheckField(tag, required); rc != kTagOk) return rc == kTagFieldAbsent ? kTagOk : rc;
  uint32_t n = 0;
  if (head_.type == Type(TagType::ShortString)) {
    if (Need(1) != kTagOk) return kTagDecodeError;
    n = buffer_.data()[cursor_];
    cursor_ += 1;
  } else if (head_.type == Type(TagType::LongString)) {
    if (Need(4) != kTagOk) return kTagDecodeError;
    n = static_cast<uint32_t>(LoadBigEndian(buffer_.data() + cursor_, 4));
    cursor_ += 4;
    if (n > kMaxLongStringBytes) return Fail("invalid string size, tag: %d, size: %d", tag, static_cast<int32_t>(n));
  } else {
    return Fail("read 'string' type mismatch, tag: %d, get type: %d.", tag, head_.type);
  }
  // The length is checked against the input before anything is allocated.
  if (Need(n) != kTagOk) return kTagDecodeError;
  if (int rc = value->Assign(buffer_.data() + cursor_, n); rc != kTagOk) return rc;
  cursor_ += n;
  return kTagOk;
}

int TagStream::TakeFieldBytes(TagArray* into) noexcept {
  const uint32_t start = cursor_;
  TagHead h;
  if (int rc = PeekHead(&h); rc != kTagOk) return rc;
  cursor_ += h.length;
  if (int rc = SkipField(h.type); rc != kTagOk) return rc;
  return into->Push(buffer_.data() + start, cursor_ - start);
}

int TagStream::ReadMap(TagMap* map, uint8_t tag, bool required) noexcept {
  if (map == nullptr) return kTagBadArgument;
  if (int rc = CheckField(tag, required); rc != kTagOk) return rc == kTagFieldAbsent ? kTagOk : rc;
  if (head_.type != Type(TagType::Map))
    return Fail("read 'map' type mismatch, tag: %d, get type: %d.", tag, head_.type);
  int32_t count = 0;
  if (int rc = ReadCount(&count); rc != kTagOk) return rc;
  if (count < 0) return Fail("invalid map, tag: %d, size: %d", tag, count);
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t key_start = cursor_;
    TagHead h;
    if (int rc = PeekHead(&h); rc != kTagOk) return rc;
    cursor_ += h.length;
    if (int rc = SkipField(h.type); rc != kTagOk) return rc;
    const uint32_t value_start = cursor_;
    if (int rc = PeekHead(&h); rc != kTagOk) return rc;
    cursor_ += h.length;
    if (int rc = SkipField(h.type); rc != kTagOk) return rc;
    const auto* base = reinterpret_cast<const char*>(buffer_.data());
    if (int rc = map->Push({base + key_start, value_start - key_start}, {base + value_start, cursor_ - value_start});
        rc != kTagOk)
      return rc;
  }
  return kTagOk;
}

int TagStream::ReadByteList(TagBuffer* value, uint8_t tag) noexcept {
  if (value == nullptr) return kTagBadArgument;
  if (int rc = CheckField(tag, true); rc != kTagOk) return rc;
  if (head_.type != Type(TagType::ByteList)) return Fail("type mismatch, tag: %d, type: %d", tag, head_.type);
  TagHead inner;
  if (PeekHead(&inner) != kTagOk) return kTagDecodeError;
  if (inner.type != Type(TagType::Int8))
    return Fail("type mismatch, tag: %d, type: %d, %d", tag, Type(TagType::ByteList), inner.type);
  cursor_ += inner.length;
  int32_t count = 0;
  if (int rc = ReadCount(&count); rc != kTagOk) return rc;
  if (count < 0)
    return Fail("invalid size, tag: %d, type: %d, %d, size: %d", tag, Type(TagType::ByteList), inner.type, count);
  const auto n = static_cast<uint32_t>(count);
  if (Need(n) != kTagOk) return kTagDecodeError;
  if (int rc = value->Assign(buffer_.data() + cursor_, n); rc != kTagOk) return rc;
  cursor_ += n;
  return kTagOk;
}

int TagStream::ReadList(TagArray* elements, uint8_t tag) noexcept {
  if (elements == nullptr) return kTagBadArgument;
  if (int rc = CheckField(tag, true); rc != kTagOk) return rc;
  if (head_.type != Type(TagType::List))
    return Fail("read 'vector' type mismatch, tag: %d, get type: %d.", tag, head_.type);
  int32_t count = 0;
  if (int rc = ReadCount(&count); rc != kTagOk) return rc;
  if (count < 0) return Fail("invalid size, tag: %d, type: %d, size: %d", tag, Type(TagType::List), count);
  for (int32_t i = 0; i < count; ++i) {
    if (int rc = TakeFieldBytes(elements); rc != kTagOk) return rc;
  }
  return kTagOk;
}

int TagStream::ReadStruct(TagStruct* record) noexcept {
  if (record == nullptr) return kTagBadArgument;
  if (int rc = CheckField(0, true); rc != kTagOk) return rc;
  if (head_.type != Type(TagType::StructStart))
    return Fail("read 'struct' type mismatch, tag: %d, get type: %d.", 0, head_.type);
  const uint32_t start = cursor_;
  if (int rc = SkipToStructEnd(); rc != kTagOk) return rc;
  const uint32_t end = cursor_ - head_.length;  // before the closing head
  if (end < start) return kTagBadArgument;
  TagStream fields;
  if (int rc = fields.SetContent(buffer_.data() + start, end - start); rc != kTagOk) return rc;
  const int rc = record->Read(fields);
  if (rc != kTagOk) std::memcpy(error_, fields.error_, sizeof(error_));
  return rc;
}

}  // namespace vireon
