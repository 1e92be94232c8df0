// What the downloader's tests need of the HTTP test rig: the servers' URLs,
// the test files with their MD5, the fault server's request log, and temp
// folders that clean up after themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace courier_test {

std::string NginxUrl(const std::string& path);  // path like "/files/tiny.bin"
std::string FaultUrl(const std::string& path);

struct RigFile {
  std::string name;
  int64_t size = -1;
  std::string md5;
  std::string path;  // the server's copy, as a Windows path
};
RigFile GetRigFile(const std::string& name);

// One GET of the fault server's log for a key.
struct Fetch {
  std::string method;
  std::string range;  // "bytes=0-99", or "-" without Range
  int status = 0;
  int64_t bytes = 0;
};
std::vector<Fetch> FaultLog(const std::string& key);
std::vector<Fetch> Gets(const std::vector<Fetch>& log);

// A key no other test (or earlier run) uses.
std::string UniqueKey(const std::string& hint);

// GET into memory; empty on failure.
std::string HttpGet(const std::string& url);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

bool FileExists(const std::string& path);
int64_t FileSize(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string Md5Of(const std::string& path);

}  // namespace courier_test
