#pragma once
// The project's own web addresses, chosen when the program is built (the CMake cache
// variables LUMAR_HOME_URL, LUMAR_DONATION_URL, LUMAR_FORUM_URL, LUMAR_VERSION_URL and
// LUMAR_DOWNLOAD_URL). Each is empty unless set there; an empty address means its link is
// not shown, the update check is off, or the advertising line carries no link.
#include <string_view>

#include "project_addresses_config.h"

namespace lumar {

struct ProjectAddresses {
    std::string_view homePage;         // linked by the advertising line
    std::string_view donation;         // the window's donation link
    std::string_view forum;            // the logo's link: the community's site
    std::string_view versionDocument;  // default of Update/VersionUrl
    std::string_view downloadPage;     // default of Update/DownloadUrl
};

inline constexpr ProjectAddresses kBuiltInAddresses{
    LUMAR_HOME_URL, LUMAR_DONATION_URL, LUMAR_FORUM_URL, LUMAR_VERSION_URL, LUMAR_DOWNLOAD_URL};

}  // namespace lumar
