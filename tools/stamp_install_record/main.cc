// stamp_install_record <installer.exe> <record.json> <output.exe>
//
// Writes a copy of the installer that carries the install record, as the
// distribution process does for each channel.
#include <cstdio>

#include "tools/stamp_install_record/install_record_stamp.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: stamp_install_record <installer.exe> <record.json> <output.exe>\n");
    return 2;
  }
  const std::string error = stamp::StampFile(argv[1], argv[2], argv[3]);
  if (!error.empty()) {
    std::fprintf(stderr, "stamp_install_record: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
