// vireon_collector: receives the telemetry client's events on loopback and
// keeps them in SQLite; see kUsage for the command line.
#include <cstdio>
#include <iostream>

#include "vireon_sdk/collector/collector_options.h"
#include "vireon_sdk/collector/collector_server.h"
#include "vireon_sdk/collector/event_store.h"

int main(int argc, char** argv) {
  using namespace vireon::collector;
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "vireon_collector: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (options.dump) {
    if (EventStore::Dump(options.db_path, std::cout, &error)) return 0;
    std::fprintf(stderr, "vireon_collector: cannot read %s: %s\n", options.db_path.c_str(), error.c_str());
    return 1;
  }
  auto store = EventStore::Open(options.db_path, &error);
  if (!store) {
    std::fprintf(stderr, "vireon_collector: cannot open %s: %s\n", options.db_path.c_str(), error.c_str());
    return 1;
  }
  CollectorServer server(options, store.get());
  return server.Run();
}
