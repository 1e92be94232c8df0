// The product's own device identifier: a second generator of the same design
// as the telemetry one, with its own ".TUGuid" section and its own profile,
// so the two are cached and reused independently.
#pragma once

#include <string>

#include "device_id/device_id_section.h"
#include "device_id/section_id_generator.h"

namespace base {

// 32 lower-case hex digits. Every call runs the claim protocol on the section
// (no text is kept): the first call of a section lifetime generates, later
// ones copy.
std::string GetTuvoDeviceId();

namespace tuvo_guid {

// Profile: <app data>\Orvalis\Pellgrave\GlobalMgr.db.
inline constexpr char kProfileFolder[] = "Pellgrave";

// This image's ".TUGuid" section.
device_id::DeviceIdSection& DeviceIdSection();

using CSeqIDGenerator = device_id::SectionIdGenerator<DeviceIdSection, kProfileFolder>;

}  // namespace tuvo_guid
}  // namespace base
