// Any hosters.ini text: the built-in rows always stay, every row taken is usable, and a
// refused standard key leaves the row as it was.
#include "fuzz_check.h"
#include "hosters/hoster_standard_keys.h"
#include "hosters/hoster_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const lumar::HosterTable table = lumar::LoadHostersFromText(Text(data, size));
    Check(table.Count() >= lumar::kBuiltInHosterCount);
    Check(table.Row(0) == lumar::HosterDef{});
    for (int row = 1; row <= table.Count(); ++row) {
        const lumar::HosterDef& taken = table.Row(row);
        Check(lumar::StandardRowProblems(taken).empty());
        Check(lumar::ConnectionsFor(taken) >= 1 && lumar::ConnectionsFor(taken) <= 99);
        Check(lumar::RetriesFor(taken) >= 0 && lumar::RetriesFor(taken) <= 99);
        if (row <= lumar::kBuiltInHosterCount) continue;
        Check(!taken.Name.empty() && !taken.UploadUrl.empty());
        Check(taken.Request == lumar::RequestKind::kStandard || !taken.ConnectHost.empty());
    }
    // The standard keys one by one on an empty row: refused or taken, never in between.
    for (const std::string& line : Fields(Text(data, size), '\n')) {
        const auto [key, value] = Cut(line, '=');
        for (std::string_view known : lumar::kStandardKeys) {
            if (key != known) continue;
            lumar::HosterDef row;
            if (!lumar::ApplyStandardKey(row, key, value).empty()) Check(row == lumar::HosterDef{});
        }
    }
    (void)lumar::ParseByteSize(Text(data, size));
    return 0;
}
