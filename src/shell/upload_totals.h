#pragma once
// The upload totals of the status bar (Stat/Files and Stat/Size in Lumar.ini).
#include <string>

namespace lumar {

struct UploadTotals {
    double files = 0;  // images uploaded since Lumar.ini was created
    double bytes = 0;  // their bytes
};

struct TotalsUpdate {
    UploadTotals totals;  // what the status bar shows now
    std::string problem;  // why the file was not written; "" when it was
};

// `shown` with one more file of `addedBytes`.
inline UploadTotals OneMoreUpload(const UploadTotals& shown, double addedBytes) {
    return {shown.files + 1, shown.bytes + addedBytes};
}

// One more uploaded file of `addedBytes`: the totals are read from the settings file, grown
// and written back (Files, then Size) as one step under the file's lock, so the window and
// lumar-cli uploading at the same time lose no count, and the result is what was written. The
// file goes through its spare (Lumar.ini.spare, see locked_file.h): it is written this often.
// When the file cannot be written, `shown` (the totals on display) grows instead, so the
// status bar still counts every image of this program.
TotalsUpdate AddUploadToTotals(const std::string& settingsFile, const UploadTotals& shown,
                               double addedBytes);

}  // namespace lumar
