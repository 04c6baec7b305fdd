#include "shell/update_check.h"

namespace lumar {

bool IsVersionText(std::string_view text) {
    return !text.empty() && text.find('<') == std::string_view::npos;
}

bool ShouldOfferUpdate(std::string_view documentText, std::string_view current) {
    return IsVersionText(documentText) && documentText != current;
}

std::string_view VersionDocumentText(int httpStatus, std::string_view body) {
    // An error answer such as "404 Not Found" in plain text holds no "<" and would otherwise
    // be taken for a new version at every start.
    if (httpStatus < 200 || httpStatus > 299) return {};
    if (body.size() > kMaxVersionDocumentBytes) return {};
    return body;
}

}  // namespace lumar
