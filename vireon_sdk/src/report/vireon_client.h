// The public face of the telemetry client: static operations over
// process-wide state. The host configures it once, gives it the parameters
// that go with every event and the getters asked on every event, and reports
// events; Report hands each one to the transport and never waits for the
// network or the store.
#pragma once

#include <cstdint>
#include <string>

#include "vireon_sdk/src/report/report_params.h"
#include "vireon_sdk/src/report/vireon_config.h"

class VireonClient {
 public:
  // Stores the configuration (the debug app key in debug mode; the SDK log
  // off for good otherwise), fixes the ini paths and starts the transport,
  // returning once the request store is open (or known not to open).
  static void InitSDK(const vireon::VireonConfig& config);
  // Stops the transport.
  static void UninitSDK();

  // Merges the values (made well-formed UTF-8) into the common parameters;
  // "A3" is the device identifier unless given.
  static void set_common_params(const vireon::ReportParams& params);
  static const vireon::ReportParams& common_params();

  // The getters become a copy of `getters`.
  static void set_common_param_getters(const vireon::VolatileParamGetters& getters);
  static const vireon::VolatileParamGetters& common_param_getters();

  static const vireon::VireonConfig& config();

  // Completes, packs and hands over one event; an event that cannot be packed
  // is dropped with a log line. Getters run on the calling thread; one that
  // throws drops the event with a log line.
  static void Report(const std::string& event_code, const vireon::ReportParams& params,
                     Vireon::RequestPriority priority);

  // 32 lower-case hex digits, the same for the whole process and never empty.
  static const std::string& VireonDeviceId();

 protected:
  // The event's full parameters: the caller's (made well-formed), the common
  // ones, the client's own keys, then the getters' values, later ones winning.
  static vireon::ReportParams PrepareParams(const std::string& event_code, const vireon::ReportParams& params,
                                            int64_t event_time);
};
