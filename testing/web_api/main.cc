// web_api_service: the product web API stand-in of the test rig and of
// `make run`.
//   web_api_service --port P --cert C --key K --components DIR --url-base URL
//                   --state DIR [--version V] [--installer-url URL] [--slow-ms N]
//                   [--extra PORT:CERT:KEY ...]
// Each --extra listener serves the same endpoints with another certificate
// (the rig's wrong-host and unknown-issuer servers).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "testing/web_api/component_catalog.h"
#include "testing/web_api/web_api_service.h"

namespace {

std::vector<web_api::WebApiService*> g_services;

void OnSignal(int) {
  for (auto* s : g_services) s->Stop();
}

int Usage() {
  std::fprintf(stderr,
               "usage: web_api_service --port P --cert C --key K --components DIR --url-base URL --state DIR\n"
               "       [--version V] [--installer-url URL] [--slow-ms N] [--extra PORT:CERT:KEY ...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  web_api::ServiceOptions options;
  int port = -1;
  std::vector<std::string> extras;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    if (arg == "--port") port = std::atoi(value.c_str());
    else if (arg == "--cert") options.cert_file = value;
    else if (arg == "--key") options.key_file = value;
    else if (arg == "--components") options.components = value;
    else if (arg == "--url-base") options.component_url_base = value;
    else if (arg == "--state") options.state = value;
    else if (arg == "--version") options.version = value;
    else if (arg == "--installer-url") options.installer_url = value;
    else if (arg == "--slow-ms") options.slow_ms = std::atoi(value.c_str());
    else if (arg == "--extra") extras.push_back(value);
    else return Usage();
  }
  if (port <= 0 || options.cert_file.empty() || options.key_file.empty() || options.state.empty()) return Usage();
  // The archives' digests are learnt before the service answers, as a real
  // service has them at hand: otherwise the first client-update request of a
  // run waits while hundreds of megabytes are hashed.
  if (!options.components.empty()) web_api::ReadCatalog(options.components, options.component_url_base, options.version);

  std::vector<std::unique_ptr<web_api::WebApiService>> services;
  std::vector<int> ports;
  services.push_back(std::make_unique<web_api::WebApiService>(options));
  ports.push_back(port);
  for (const auto& extra : extras) {
    const auto first = extra.find(':'), second = extra.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) return Usage();
    auto other = options;
    other.cert_file = extra.substr(first + 1, second - first - 1);
    other.key_file = extra.substr(second + 1);
    services.push_back(std::make_unique<web_api::WebApiService>(other));
    ports.push_back(std::atoi(extra.substr(0, first).c_str()));
  }
  for (size_t i = 0; i < services.size(); ++i) {
    if (!services[i]->Valid()) {
      std::fprintf(stderr, "web_api: certificate or key of listener %zu cannot be loaded\n", i);
      return 1;
    }
    if (services[i]->Bind(ports[i]) < 0) {
      std::fprintf(stderr, "web_api: cannot listen on 127.0.0.1:%d\n", ports[i]);
      return 1;
    }
    g_services.push_back(services[i].get());
  }
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  std::fprintf(stderr, "web_api: listening on %d (+%zu)\n", port, extras.size());

  std::vector<std::thread> threads;
  for (auto& s : services) threads.emplace_back([&s] { s->Serve(); });
  for (auto& t : threads) t.join();
  return 0;
}
