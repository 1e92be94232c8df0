// The telemetry client's device identifier: the generator, and the ".ZUGuid"
// section of the executable that caches the identifier for every process of
// the same image.
#pragma once

#include "device_id/device_id_section.h"
#include "device_id/section_id_generator.h"

namespace ZUMacID {

// Profile: <app data>\Orvalis\vireon\GlobalMgr.db.
inline constexpr char kProfileFolder[] = "vireon";

// This image's ".ZUGuid" section.
device_id::DeviceIdSection& DeviceIdSection();

using CSeqIDGenerator = device_id::SectionIdGenerator<DeviceIdSection, kProfileFolder>;

// The 16 identifier bytes: from the section when another process of this
// image made them, otherwise generated (and published there).
device_id::DeviceIdBytes ComputeVireonDeviceId();

}  // namespace ZUMacID
