#include "hosters/json_ordered.h"

#include <unordered_map>
#include <vector>

#include "hosters/json_depth.h"

namespace lumar {
namespace {

using Json = nlohmann::ordered_json;
using ObjectBase = std::vector<std::pair<const std::string, Json>>;

// Builds the document from the parser's events; each open object carries the index of its
// keys, so a key is placed in constant time.
class Builder : public nlohmann::json_sax<Json> {
  public:
    explicit Builder(std::size_t maxKeys) : maxKeys_(maxKeys) {}

    Json root;
    std::string failure;

    bool null() override { return Put(Json(nullptr)); }
    bool boolean(bool value) override { return Put(Json(value)); }
    bool number_integer(number_integer_t value) override { return Put(Json(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Put(Json(value)); }
    bool number_float(number_float_t value, const string_t&) override { return Put(Json(value)); }
    bool string(string_t& value) override { return Put(Json(std::move(value))); }
    bool binary(binary_t&) override { return Put(Json()); }
    bool start_object(std::size_t) override { return Open(Json::object()); }
    bool start_array(std::size_t) override { return Open(Json::array()); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& name) override {
        if (++keys_ > maxKeys_) {
            failure = "holds more than " + std::to_string(maxKeys_) + " keys";
            return false;
        }
        open_.back().key = std::move(name);
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        if (failure.empty()) failure = "not JSON";
        return false;
    }

  private:
    struct Frame {
        Json* value;
        std::string key;
        std::unordered_map<std::string, std::size_t> index;
    };

    // Where the next value goes: the root, the end of an array, or the pending key.
    Json* Place(Json value) {
        if (open_.empty()) {
            root = std::move(value);
            return &root;
        }
        Frame& parent = open_.back();
        if (parent.value->is_array()) {
            parent.value->push_back(std::move(value));
            return &parent.value->back();
        }
        auto& object = static_cast<ObjectBase&>(*parent.value->get_ptr<Json::object_t*>());
        const auto [at, inserted] = parent.index.try_emplace(parent.key, object.size());
        if (!inserted) {
            object[at->second].second = std::move(value);
            return &object[at->second].second;
        }
        object.emplace_back(std::move(parent.key), std::move(value));
        return &object.back().second;
    }

    bool Put(Json value) {
        Place(std::move(value));
        return true;
    }
    bool Open(Json container) {
        // A container's children are complete before its parent takes another value, so the
        // pointer stays valid while it is filled.
        open_.push_back({Place(std::move(container)), {}, {}});
        return true;
    }
    bool Close() {
        open_.pop_back();
        return true;
    }

    std::size_t maxKeys_;
    std::size_t keys_ = 0;
    std::vector<Frame> open_;
};

// Writes the document as the library's own two-blank indentation does, from the parser's
// events, so it needs no tree and no key lookup at all.
class Printer : public nlohmann::json_sax<nlohmann::json> {
  public:
    std::string out;

    bool null() override { return Scalar("null"); }
    bool boolean(bool value) override { return Scalar(value ? "true" : "false"); }
    bool number_integer(number_integer_t value) override { return Scalar(std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Scalar(std::to_string(value)); }
    bool number_float(number_float_t value, const string_t&) override {
        return Scalar(nlohmann::json(value).dump());
    }
    bool string(string_t& value) override { return Scalar(Quoted(value)); }
    bool binary(binary_t&) override { return Scalar("null"); }
    bool start_object(std::size_t) override { return Start('{'); }
    bool start_array(std::size_t) override { return Start('['); }
    bool end_object() override { return End('}'); }
    bool end_array() override { return End(']'); }
    bool key(string_t& name) override {
        Separate();
        out += Quoted(name) + ": ";
        afterKey_ = true;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

  private:
    static std::string Quoted(const std::string& text) {
        return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    void Separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (empty_.empty()) return;
        out += empty_.back() ? "\n" : ",\n";
        empty_.back() = false;
        out.append(2 * empty_.size(), ' ');
    }
    bool Scalar(const std::string& text) {
        Separate();
        out += text;
        return true;
    }
    bool Start(char open) {
        Separate();
        out += open;
        empty_.push_back(true);
        return true;
    }
    bool End(char close) {
        const bool wasEmpty = empty_.back();
        empty_.pop_back();
        if (!wasEmpty) {
            out += '\n';
            out.append(2 * empty_.size(), ' ');
        }
        out += close;
        return true;
    }

    std::vector<bool> empty_;  // per open container: nothing written into it yet
    bool afterKey_ = false;
};

}  // namespace

OrderedJsonRead ReadOrderedJson(std::string_view text, std::size_t maxKeys) {
    if (JsonNestingDepth(text) > kMaxJsonDepth) return {{}, "is nested too deeply"};
    Builder builder(maxKeys);
    if (!Json::sax_parse(text, &builder))
        return {{}, builder.failure.empty() ? "not JSON" : builder.failure};
    return {std::move(builder.root), {}};
}

std::optional<std::string> PrettyJsonInOrder(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos || (text[first] != '{' && text[first] != '[') ||
        JsonNestingDepth(text) > kMaxJsonDepth)
        return std::nullopt;
    Printer printer;
    if (!nlohmann::json::sax_parse(text, &printer)) return std::nullopt;
    return std::move(printer.out);
}

}  // namespace lumar
