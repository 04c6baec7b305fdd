#include "history/history_store.h"

// The store itself is filled in by the history's own change; until then the history is never
// open and every call answers "nothing".
namespace lumar {

struct HistoryStore::Db {};

HistoryStore::HistoryStore() = default;
HistoryStore::~HistoryStore() = default;

HistoryOpening HistoryStore::Open(const std::string&) {
    error_ = "no history in this build";
    return HistoryOpening::Failed;
}
bool HistoryStore::IsOpen() const {
    return false;
}
const std::string& HistoryStore::SetAsidePath() const {
    return setAside_;
}
const std::string& HistoryStore::LastError() const {
    return error_;
}
bool HistoryStore::Record(HistoryEntry&) {
    return false;
}
std::optional<HistoryEntry> HistoryStore::FindReusable(const std::string&, const std::string&,
                                                       const std::string&) {
    return std::nullopt;
}
std::vector<HistoryEntry> HistoryStore::List(const HistoryQuery&) {
    return {};
}
std::vector<HistoryEntry> HistoryStore::ByIds(const std::vector<std::int64_t>&) {
    return {};
}
bool HistoryStore::Forget(const std::vector<std::int64_t>&) {
    return false;
}
bool HistoryStore::MarkDeletedOnHost(std::int64_t) {
    return false;
}
std::string HistoryFile(const std::string& settingsFolder) {
    return settingsFolder.empty() || settingsFolder.back() == '/'
               ? settingsFolder + "history.sqlite"
               : settingsFolder + "/history.sqlite";
}
std::string Sha256Hex(const std::string&) {
    return "";
}

}  // namespace lumar
