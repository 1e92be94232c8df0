#include "probes/opengl_check.h"

namespace probes {


int32_t GetOpenglDemoResult() { return kOpenglDemoResultNone; }
int32_t RunOpenglChecker() { return 0; }

}  // namespace probes
