#pragma once

#include <string>

#include "common/version.h"

namespace velgrin {

// Caption of the main window as designed; start-up appends the version and the edition.
inline constexpr const char* kFrmMainDesignCaption = "Velgrin";
inline constexpr const char* kCaptionVersion = " V" VELGRIN_SHORT_VERSION;
inline constexpr const char* kCaptionEdition = " FOR MANAGER";

// The maker's web pages behind the links, and the support address. Placeholders under
// example.org until the maker's own pages exist.
namespace links {
inline constexpr const char* kMakerSite = "https://corvane.example.org/";
inline constexpr const char* kProductSite = "https://sensors.corvane.example.org/";
inline constexpr const char* kProductSiteText = "sensors.corvane.example.org";
inline constexpr const char* kOtherSite = "https://kip.example.org/";
inline constexpr const char* kOtherSiteText = "kip.example.org";
inline constexpr const char* kSupportMail = "support@corvane.example.org";
}  // namespace links

// The F1 message: three fixed lines and the support address.
std::string HelpMessageText();
// The status line's tooltip when the adapter cannot be used: the reason, then where to look.
std::string AdapterFailureTooltip(const std::string& reason);
// The user agreement on the "Инфо" tab.
std::string UserAgreementText();

}  // namespace velgrin
