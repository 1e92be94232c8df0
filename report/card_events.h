// What the installer windows show and what the user clicks, as "dt_imp"
// (an element shown), "dt_imp_end" (hidden again) and "dt_clck" events, each
// with the page, card and element ids and the install context. The windows
// call these on their own thread; nothing here keeps state or fails outward.
#pragma once

#include <string>

#include "report/reporter.h"

// The card a window shows, as the windows keep it.
struct CurrentCard {
  std::string card_id;
  bool legacy = false;
};

// Generic builders: `params` (a fresh map, possibly with extra keys) is
// filled and reported.
void ReportCardExposure(bool shown, const std::string& card_id, const std::string& element_id,
                        zephris_report::ReportParams& params);
void ReportOptionExposure(bool shown, const std::string& card_id, const std::string& element_id, bool legacy,
                          zephris_report::ReportParams& params);
void ReportCardClick(const std::string& card_id, const std::string& element_id, zephris_report::ReportParams& params);
void ReportCardClickWithLegacy(const std::string& card_id, const std::string& element_id, bool legacy,
                               zephris_report::ReportParams& params);

// One exposure event per element of the card, in the card's order.
void ReportTitleBarExposure(bool shown, const std::string& card_id, bool legacy);
void ReportInstallStartCardExposure(bool shown, bool legacy);
void ReportCustomInstallCardExposure(bool shown);
void ReportInstallingCardExposure(bool shown);
void ReportInstallCompleteCardExposure(bool shown, bool legacy);
void ReportSdkStartCardExposure(bool shown, bool legacy);
void ReportSdkInstallingCardExposure(bool shown);

// The hiding events of the card the window shows when it finishes; a card
// the window does not have sends nothing.
void ReportCardsExposureEnd(const CurrentCard& current);

// Dialogs: the feedback tip box ("install_feedback_tip_card") and the
// confirmation-style boxes, opened from `source_card_id`.
void ReportDialogExposure(bool shown, const std::string& dialog_card_id, const std::string& source_card_id);
void ReportDialogClick(const std::string& dialog_card_id, const std::string& source_card_id,
                       const std::string& element_id, zephris_report::ReportParams& params);
