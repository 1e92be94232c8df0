#include "src/zephris_install/src/boot/installer_main.h"

#include <memory>
#include <string>
#include <thread>

#include "base/product_log.h"
#include "src/zephris_install/src/boot/device_id_registry.h"
#include "src/zephris_install/src/boot/env_status.h"
#include "src/zephris_install/src/boot/startup.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/impl/install/install.h"
#include "src/zephris_install/src/impl/install/reinstall.h"
#include "src/zephris_install/src/wrapper/install_ui/install_window.h"
#include "src/zephris_install/src/wrapper/install_ui/sdk_window.h"
#include "src/zephris_install/src/wrapper/install_wrapper/install_silent.h"
#include "ui_toolkit/core/paint_manager.h"
#include "vireon_sdk/src/report/vireon_client.h"

int RunInstaller(HINSTANCE instance) {
  if (!Initialize(instance)) {
    Shutdown();
    return 0;
  }
  WriteDeviceIdToRegistry(VireonClient::VireonDeviceId());
  std::thread(ReportEnvStatus, std::string("QuilloraneInstaller.exe")).detach();

  GlobalConfig& config = GlobalConfig::Instance();
  const bool reinstall = NeedReinstall();
  std::shared_ptr<InstallWrapper> front;
  if (config.install_mode.value_or(0) == 2 && !reinstall) {
    front = std::make_shared<InstallSilent>();
  } else {
    const char* window = config.install_ui == 1 ? "SdkWindow" : "InstallWindow";
    // Without its skin a window could only show the toolkit's error box and
    // end the process before shutdown; end clearly instead.
    if (!SkinUI::CPaintManagerUI::IsResourceZipCached()) {
      PRODUCT_LOG("front end {} has no skin: nothing installed, exit code {}", window, kExitWindowFrontEndMissing);
      Shutdown();
      return kExitWindowFrontEndMissing;
    }
    if (config.install_ui == 1) {
      front = InstallUI::Make<SdkWindow>();
    } else {
      front = InstallUI::Make<InstallWindow>();
    }
  }
  std::shared_ptr<InstallImpl> engine;
  if (reinstall) {
    engine = std::make_shared<Reinstall>(front);
  } else {
    engine = std::make_shared<Install>(front);
  }
  front->SetEngine(std::move(engine));
  front->Exec();
  Shutdown();
  const int exit_code = config.install_result_code;
  front.reset();
  return exit_code;
}
