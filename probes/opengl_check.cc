#include "probes/opengl_check.h"

int32_t GetOpenglDemoResult() { return kOpenglDemoResultNone; }
int32_t RunOpenglChecker() { return 0; }
