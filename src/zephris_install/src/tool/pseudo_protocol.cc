#include "src/zephris_install/src/tool/pseudo_protocol.h"

std::string GetExtraInfo() { return {}; }
std::string GetReportInfo() { return {}; }
std::string GetApkChannel() { return {}; }
bool LaunchInstallAndNoticeDownloader(std::string*) { return false; }
bool LaunchCallAppAutoAdaptiveEnv(std::string*) { return false; }
bool LaunchWindowActive(std::string*) { return false; }
bool LaunchMarketEx(const std::string&) { return false; }
