#include "src/zephris_install/src/impl/install_interface/install_notify.h"

#include <memory>

#include "base/product_log.h"
#include "ipc/ipc_manager.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace {

bool HandleAppInstallStateMessage(IInstallNotify* notify, const std::shared_ptr<ipc::IpcPacket>& packet) {
  InstallerAppInstallState state;
  try {
    InstallerAppInstallStateFromJson(packet->data, state);
  } catch (const nlohmann::json::exception& e) {
    PRODUCT_LOG("Json parse error, please check InstallerAppInstallState, {}", e.what());
    return false;
  }
  notify->OnAppInstallState(state);
  return true;
}

bool HandleInstallCtrlMessage(IInstallNotify* notify, const std::shared_ptr<ipc::IpcPacket>& packet) {
  InstallCtrl ctrl;
  try {
    InstallCtrlFromJson(packet->data, ctrl);
  } catch (const nlohmann::json::exception& e) {
    PRODUCT_LOG("Json parse error, please check InstallCtrl, {}", e.what());
    return false;
  }
  notify->OnUserInstallCtrl(ctrl);
  return true;
}

nlohmann::json HandleStopDownloadQuery(IInstallNotify* notify, const nlohmann::json& request) {
  QueryStopDownload query;
  try {
    QueryStopDownloadFromJson(request, query);
  } catch (const nlohmann::json::exception& e) {
    // A channel id that is not a number names no channel: nothing stops.
    PRODUCT_LOG("Json parse error, please check QueryStopDownload, {}", e.what());
    return nullptr;
  }
  const GlobalConfig& config = GlobalConfig::Instance();
  if (query.channel_id == config.channel_id) {
    notify->OnUserInstallCtrl({.code = kCtrlStop, .app_id = config.app_id.value_or(""), .source = config.sdk_product});
  }
  return nullptr;
}

}  // namespace

IInstallNotify::IInstallNotify() { InitIpc(); }

void IInstallNotify::InitIpc() {
  ipc::IpcManager& manager = ipc::IpcManager::Instance();
  manager.msg_handler()->Register(kMsgAppInstallState, [this](std::shared_ptr<ipc::IpcPacket> packet) {
    return HandleAppInstallStateMessage(this, packet);
  });
  manager.msg_handler()->Register(kMsgInstallCtrl, [this](std::shared_ptr<ipc::IpcPacket> packet) {
    return HandleInstallCtrlMessage(this, packet);
  });
  if (GlobalConfig::Instance().install_action == 1) {
    manager.query_responser()->Register(
        kQueryStopDownload, [this](const nlohmann::json& request) { return HandleStopDownloadQuery(this, request); });
  }
}
