// The installer's telemetry front: the reporter every event goes through, the
// event builders of the install stages, the environment record sent with web
// requests. None of these fails towards its caller.
#pragma once

#include "report/card_events.h"
#include "report/init_report.h"
#include "report/reporter.h"
#include "report/stage_events.h"
#include "src/zephris_install/src/tool/env_info.h"
