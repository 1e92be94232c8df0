#include "vireon_sdk/src/report/package_records.h"

#include <new>

#include "vireon_sdk/src/utils/guarded.h"

namespace vireon {
namespace {

// Runs the steps in order and stops at the first result that is not 0.
template <typename... Steps>
int Chain(Steps&&... steps) noexcept {
  int rc = kTagOk;
  ((rc == kTagOk ? (rc = steps(), 0) : 0), ...);
  return rc;
}

template <typename Record>
std::unique_ptr<Record> CreateRecord() noexcept {
  return std::unique_ptr<Record>(new (std::nothrow) Record());
}

}  // namespace

// --- EventRecord -------------------------------------------------------------

std::unique_ptr<EventRecord> EventRecord::Create() noexcept { return CreateRecord<EventRecord>(); }

int EventRecord::Write(TagStream& out) const noexcept {
  return Chain([&] { return out.WriteString(field0, 0); },
               [&] { return out.WriteString(field1, 1); },
               [&] { return out.WriteString(field2, 2); },
               [&] { return out.WriteString(event_code, 3); },
               [&] { return out.WriteInt32(field4, 4); },
               [&] { return out.WriteMap(params, 5); },
               [&] { return out.WriteByteList(field6, 6); },
               [&] { return out.WriteInt64(event_time, 7); },
               [&] { return out.WriteBool(field8, 8); },
               [&] { return out.WriteShort(field9, 9); },
               [&] { return out.WriteString(field10, 10); });
}

int EventRecord::Read(TagStream& in) noexcept {
  return Chain([&] { return in.ReadString(&field0, 0, false); },
               [&] { return in.ReadString(&field1, 1, false); },
               [&] { return in.ReadString(&field2, 2, false); },
               [&] { return in.ReadString(&event_code, 3, true); },
               [&] { return in.ReadInt32(&field4, 4, false); },
               [&] { return in.ReadMap(&params, 5, false); },
               // field 6 is passed over by the search for field 7
               [&] { return in.ReadInt64(&event_time, 7); },
               [&] { return in.ReadBool(&field8, 8); },
               [&] { return in.ReadShort(&field9, 9, false); },
               [&] { return in.ReadString(&field10, 10, false); });
}

// --- RequestPackage ----------------------------------------------------------

std::unique_ptr<RequestPackage> RequestPackage::Create() noexcept { return CreateRecord<RequestPackage>(); }

int RequestPackage::Write(TagStream& out) const noexcept {
  return Chain([&] { return out.WriteInt32(version, 0); },
               [&] { return out.WriteString(app_key, 1); },
               [&] { return out.WriteString(field2, 2); },
               [&] { return out.WriteString(sdk_version, 3); },
               [&] { return out.WriteHead(TagType::List, 4); },
               [&] { return out.WriteInt32(events.count(), 0); },
               [&] {
                 for (int32_t i = 0; i < events.count(); ++i) {
                   if (int rc = out.AppendBytes(events.element(i)); rc != kTagOk) return rc;
                 }
                 return kTagOk;
               },
               [&] { return out.WriteString(field5, 5); },
               [&] { return out.WriteMap(field6, 6); },
               [&] { return out.WriteString(field7, 7); },
               [&] { return out.WriteString(field8, 8); },
               [&] { return out.WriteString(field9, 9); },
               [&] { return out.WriteString(platform, 10); });
}

int RequestPackage::Read(TagStream& in) noexcept {
  return Chain([&] { return in.ReadInt32(&version, 0, true); },
               [&] { return in.ReadString(&app_key, 1, true); },
               [&] { return in.ReadString(&field2, 2, true); },
               [&] { return in.ReadString(&sdk_version, 3, true); },
               [&] { return in.ReadList(&events, 4); },
               [&] { return in.ReadString(&field5, 5, false); },
               [&] { return in.ReadMap(&field6, 6, false); },
               [&] { return in.ReadString(&field7, 7, false); },
               [&] { return in.ReadString(&field8, 8, false); },
               [&] { return in.ReadString(&field9, 9, false); },
               [&] { return in.ReadString(&platform, 10, false); });
}

// --- SocketRequestPackage ----------------------------------------------------

std::unique_ptr<SocketRequestPackage> SocketRequestPackage::Create() noexcept {
  return CreateRecord<SocketRequestPackage>();
}

int SocketRequestPackage::Write(TagStream& out) const noexcept {
  return Chain([&] { return out.WriteMap(headers, 0); }, [&] { return out.WriteByteList(body, 1); });
}

int SocketRequestPackage::Read(TagStream& in) noexcept {
  return Chain([&] { return in.ReadMap(&headers, 0, true); }, [&] { return in.ReadByteList(&body, 1); });
}

// --- SocketResponsePackage ---------------------------------------------------

std::unique_ptr<SocketResponsePackage> SocketResponsePackage::Create() noexcept {
  return CreateRecord<SocketResponsePackage>();
}

int SocketResponsePackage::Write(TagStream& out) const noexcept {
  return Chain([&] { return out.WriteInt32(field0, 0); },
               [&] { return out.WriteMap(field1, 1); },
               [&] { return out.WriteByteList(body, 2); },
               [&] { return field3.empty() ? kTagOk : out.WriteString(field3, 3); });
}

int SocketResponsePackage::Read(TagStream& in) noexcept {
  return Chain([&] { return in.ReadInt32(&field0, 0, true); },
               [&] { return in.ReadMap(&field1, 1, true); },
               [&] { return in.ReadByteList(&body, 2); },
               [&] { return in.ReadString(&field3, 3, false); });
}

// --- ResponsePackage ---------------------------------------------------------

std::unique_ptr<ResponsePackage> ResponsePackage::Create() noexcept { return CreateRecord<ResponsePackage>(); }

int ResponsePackage::Write(TagStream& out) const noexcept {
  return Chain([&] { return out.WriteChar(static_cast<int8_t>(result), 0); },
               [&] { return out.WriteString(message, 1); },
               [&] { return out.WriteInt64(field2, 2); },
               [&] { return out.WriteString(field3, 3); });
}

int ResponsePackage::Read(TagStream& in) noexcept {
  return Chain([&] { return in.ReadInt32(&result, 0, true); },
               [&] { return in.ReadString(&message, 1, true); },
               [&] { return in.ReadInt64(&field2, 2); },
               [&] { return in.ReadString(&field3, 3, true); });
}

// --- helpers -------------------------------------------------------------------

int DecodeStringMap(const TagMap& raw, std::vector<std::pair<std::string, std::string>>* out) noexcept {
  if (out == nullptr) return kTagBadArgument;
  return utils::Guarded(kTagBadArgument, [&] {
    TagStream field;
    TagBuffer key, value;
    for (int32_t i = 0; i < raw.count(); ++i) {
      if (int rc = field.SetContent(raw.key(i)); rc != kTagOk) return rc;
      if (int rc = field.ReadString(&key, 0, true); rc != kTagOk) return rc;
      if (int rc = field.SetContent(raw.value(i)); rc != kTagOk) return rc;
      if (int rc = field.ReadString(&value, 1, true); rc != kTagOk) return rc;
      out->emplace_back(std::string(key.view()), std::string(value.view()));
    }
    return kTagOk;
  });
}

}  // namespace vireon
