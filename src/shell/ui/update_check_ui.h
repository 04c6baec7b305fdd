#pragma once
// The update check at start-up: fetch the version document, offer the download page.
#include <QString>
#include <QUrl>
#include <functional>
#include <string>

#include "shell/update_check.h"

class QWidget;

namespace lumar::ui {

class Dialogs;

struct UpdateCheckHooks {
    Dialogs* dialogs = nullptr;                        // nullptr: modal message boxes
    std::function<void(const QString& url)> openPage;  // empty: the desktop's web browser
    int timeoutMs = kUpdateTimeoutMs;
    std::string languageFile;  // where the question's text is looked up
};

// The body of the answer at `url` when it is a version document (see VersionDocumentText),
// else "". Fetched fresh (no cache) as "Rambleton"; window events are processed while it
// waits, and it gives up after `timeoutMs`.
std::string FetchVersionDocument(const QUrl& url, int timeoutMs = kUpdateTimeoutMs);

enum class UpdateCheckOutcome {
    kContinue,    // no offer, offer declined, check off or failed: start-up goes on
    kEndProgram,  // the user accepted; the download page was opened
};

// Start-up step: fetches the document at Update/VersionUrl of the settings file (an empty
// address switches the check off), asks the user when another version is published and, on
// Yes, opens Update/DownloadUrl. Failures are silent.
UpdateCheckOutcome RunUpdateCheck(QWidget* owner, const std::string& settingsFile,
                                  const UpdateCheckHooks& hooks = {});

}  // namespace lumar::ui
