#include "src/zephris_install/src/tool/self_update.h"

void SelfUpdatePolicyFromJson(const nlohmann::json&, SelfUpdatePolicy&) {}
std::string BuildSelfUpdateRequest() { return {}; }
bool IsNeedSelfUpdate() { return false; }
bool Update() { return false; }
bool StartNewInstaller() { return false; }
