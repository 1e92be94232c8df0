// Prints what the version probes answer in this process, on one line:
// "<version string> win7=<0|1> win10=<0|1> win11=<0|1>".
#include <cstdio>

#include "base/system_probe.h"

int main() {
  std::printf("%s win7=%d win10=%d win11=%d\n", base::GetOsVersionString().c_str(), base::IsWindows7() ? 1 : 0,
              base::IsWindows10OrLater() ? 1 : 0, base::IsWindows11OrLater() ? 1 : 0);
  return 0;
}
