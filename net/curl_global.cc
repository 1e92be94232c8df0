// libcurl's process-wide initialisation, before the entry point: libcurl
// asks for it once, before any thread makes a handle.
#include <cstdlib>

#include <curl/curl.h>

namespace net {
namespace {

struct InitCurlGlobal {
  InitCurlGlobal() {
    curl_global_init(CURL_GLOBAL_ALL);
    std::atexit([] { curl_global_cleanup(); });
  }
};

[[maybe_unused]] const InitCurlGlobal g_init_curl_global;

}  // namespace

// Referenced by the request functions so that the linker keeps this object
// (and its initialiser) in every program that makes a request.
void EnsureCurlGlobal() {}

}  // namespace net
