// Which OEM channels have installed the product on this machine: one bit per
// channel, accumulated in the HKLM QWORD "OemCounter" under the product key.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace oem {

class OemCounter {
 public:
  static OemCounter& GetInstance();

  // The product uses the one process-wide counter; a fresh one records anew.
  OemCounter();

  // Records the channel's bit. Acts at most once per process: the first call
  // uses up the chance, whatever channel it names (also an unknown one).
  void Record(std::string_view channel);

 private:
  std::map<std::string, uint64_t, std::less<>> channel_bits_;
  bool recorded_ = false;
};

}  // namespace oem
