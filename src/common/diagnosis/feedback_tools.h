// What the installer runs when the user asks for help: the user group's join
// link or the support page in the default browser, optionally with a
// diagnosis upload whose remote path goes to the clipboard.
#pragma once

#include <string>

namespace diagnosis {

// The support service's page of this product, its product number and the
// logo it shows for the user.
inline constexpr char kSupportPageOrigin[] = "https://support.quillorane.test";
inline constexpr char kSupportProductNumber[] = "600317";
inline constexpr char kSupportStaticOrigin[] = "https://static.quillorane.test";

// Opens `url` (UTF-8) in the browser; with diagnosis also starts the upload
// and puts its remote path and the error codes on the clipboard.
void OpenUrlWithDiagnosis(const std::string& url, bool with_diagnosis);

// Opens the support page; with diagnosis as above, else the page names the
// error codes and the clipboard is left alone.
void OpenSupportPage(bool with_diagnosis);

// The support page's address with its seven query pairs, each value
// percent-encoded (the texts hold "|", quotes, spaces and non-ASCII names).
std::string BuildSupportPageUrl(const std::string& device_id, const std::string& product_tag,
                                const std::string& info, const std::string& extra, const std::string& version);

// "Diagnosis Path: <path>\nChannel Id: <channel>\n<error codes>" as CF_TEXT.
// Every clipboard failure is silent.
void CopyTextToClipboard(const std::string& diagnosis_path, const std::string& error_code_text);

}  // namespace diagnosis
