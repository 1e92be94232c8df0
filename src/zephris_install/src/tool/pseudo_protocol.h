// Handing control to the product's client after an install: a URL of the
// product's scheme that says what the client is to do next, delivered over
// IPC to a running client or on the command line of a new one.
#pragma once

#include <string>

// Values of the install record's JSON text; empty when absent.
std::string GetExtraInfo();
std::string GetReportInfo();
std::string GetApkChannel();

// Each builds its URL and delivers it; `url` receives the URL when given.
bool LaunchInstallAndNoticeDownloader(std::string* url = nullptr);
bool LaunchCallAppAutoAdaptiveEnv(std::string* url = nullptr);
bool LaunchWindowActive(std::string* url = nullptr);

// True when the URL reached a running client or the client was started with it.
bool LaunchMarketEx(const std::string& url);
