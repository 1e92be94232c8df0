// The installer's one process-wide configuration and state record. Static
// initialisation builds it from defaults and the process command line;
// `GlobalConfig::Init` completes it at start-up from the install record
// stamped at the end of the installer's own file (or the `from-source` text),
// the install folders, the command-line overrides and the client
// pseudo-protocol. Afterwards the window writes the user's choices and the
// engine its run state and result code (the process exit code).
//
// There is no lock: the main thread writes during start-up, the window before
// the install task starts, the engine while it runs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/cmdline_parser.h"

// The fields that the stamped install record fills. `InitConfigDefaults`
// gives every one of them a value except `report_info`.
struct InstallRecord {
  std::optional<uint64_t> channel_id;
  std::optional<uint64_t> build_id;
  std::optional<std::string> source_trace;
  std::optional<std::string> version;
  std::optional<int32_t> client_type;
  std::optional<std::string> zephris_main_version;
  std::optional<int32_t> app_type;
  std::optional<std::string> app_id;
  std::optional<std::string> display_name;
  std::optional<int> auto_start_market;
  std::optional<int> create_desktop_link;
  std::optional<int> create_start_menu_link;
  std::optional<int> show_tray_icon;
  std::optional<int> auto_authorize;  // from the command line only
  std::optional<std::string> client_pseudo_protocol;
  std::optional<std::vector<std::string>> carousel_image_url;
  std::optional<int32_t> install_mode;  // 2: the silent front end
  std::optional<int32_t> pullup_type;   // 0: the silent front end does not start the client
  std::optional<int32_t> app_pullup_type;
  std::optional<int32_t> install_priority;
  std::optional<nlohmann::json> report_info;
};

struct CarouselImage {
  std::string url;          // UTF-8
  std::wstring local_path;  // filled by the window once downloaded
};

struct GlobalConfig : InstallRecord {
  // The process-wide instance, built before the entry point.
  static GlobalConfig& Instance();

  // Defaults, the options declared, and `arguments` (the program path first)
  // parsed. The process-wide instance parses the process command line.
  explicit GlobalConfig(const std::vector<std::wstring>& arguments);
  GlobalConfig(const GlobalConfig&) = delete;
  GlobalConfig& operator=(const GlobalConfig&) = delete;

  // Start-up completion: install record, install folders, command-line
  // overrides, pseudo-protocol query, and on a fresh machine the channel and
  // the install source in the registry.
  void Init();

  // The declared options, their parse errors (which nothing reads) and the
  // arguments that were not options.
  cmdline::parser cmd;

  bool full_install = false;
  bool disable_self_update = false;
  bool show_install_tips = false;
  int32_t install_result_code = 0;  // the process exit code
  int32_t detail_code_0 = 0;
  int32_t detail_code_1 = 0;
  int32_t detail_code_2 = 0;
  int32_t detail_code_3 = 0;
  std::string error_message;
  std::string error_message_1;
  std::string error_message_2;
  std::string current_component;
  wchar_t install_drive = 0;  // the solid-state volume chosen for the install folder, 0 for none
  std::vector<wchar_t> candidate_install_drives;
  std::filesystem::path component_dir;  // downloaded component archives
  std::wstring install_dir;
  std::wstring data_dir;
  bool agreement_accepted = false;
  std::vector<CarouselImage> carousel_images;
  bool desktop_link_option_changed = false;
  std::string sdk_product;
  int32_t install_ui = 0;      // 1: the engine-SDK window
  int32_t engine_type = 0;
  int32_t install_action = 0;  // 0 download and install, 1 download only, 2 install only
  std::string install_json;    // the install record's text as read
  std::string report_json;     // the same, without the pseudo-protocol URL
  std::string rid;             // "rid" of the client pseudo-protocol's query
  int64_t duration_time = 0;
  int64_t install_start_time = 0;
};

// The defaults of the install-record fields.
void InitConfigDefaults(InstallRecord& record);

// Reads the stamped record at the end of `installer` into `install_json` and
// `report_json`; both stay as they were when the file holds no intact record.
void ReadInstallConfig(GlobalConfig& config, const std::filesystem::path& installer);
// The same for the running installer's own file.
void ReadInstallConfig(GlobalConfig& config);

// Chooses the record's text (`from-source`, else the stamped record), parses
// it and takes its fields. A text that does not parse, or holds a key of a
// type it does not accept, leaves every default in place.
void InitInstallConfig(GlobalConfig& config);

// Fills `record` from the keys of an install record. Throws the JSON
// library's type error for a key of a type it does not accept; a value that is
// not an object sets nothing.
void ParseInstallJson(const nlohmann::json& json, InstallRecord& record);

// `rid` from the query of `client_pseudo_protocol`, when there is one.
void ParsePseudoProtocol(GlobalConfig& config);
