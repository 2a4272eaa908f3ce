// One JSON document read in a single pass of the library's event parser. Values are built as the
// library builds them, except in the top-level object's members named beforehand: each of their
// members is built on its own and handed on as soon as it ends, so a document with a great many
// of them (a scenario's viewers and events) never exists whole, and reading it takes time in
// proportion to its size.
//
// An object that names one field twice stops the reading: the library would keep the last value
// silently, so {"mode": "free", "mode": "challenge"} would mean a challenge. A streamed object's
// members are handed on as they come, so there telling a repeated key is the sink's to do.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace hosting {

class JsonStream final : public nlohmann::json_sax<nlohmann::json> {
public:
    using json = nlohmann::json;
    // Takes one member of a streamed container: its key (an object's) or index (an array's) and
    // its value, which it may move from.
    using Sink = std::function<void(const std::string& key, std::size_t index, json& value)>;
    // Why Read() stopped.
    struct Fault {
        std::string what;      // malformed text: the library's message; else the field's name
        std::size_t byte = 0;  // malformed text: the byte it was noticed at, from 1 (0: none)
        bool repeated = false; // a field named twice in one object...
        std::string where;     // ...which is this one: "events[2]" or "top level"
    };

    // Hands each member of the top-level member `name` to `sink` when that member is a container
    // of `type` (an object or an array); of another type it is built like any other value.
    void Stream(std::string name, json::value_t type, Sink sink) {
        streams_.push_back({std::move(name), type, std::move(sink)});
    }
    // Reads `text`; false, with Failure() saying why, when it is not well-formed JSON or an object
    // names a field twice.
    bool Read(std::string_view text) {
        return json::sax_parse(text.begin(), text.end(), this) && !fault_;
    }
    // The document as read, an empty container standing for each member streamed.
    json& Document() { return top_; }
    const std::optional<Fault>& Failure() const { return fault_; }
    // True once the streamed member `name` was read to its end.
    bool Ended(std::string_view name) const {
        for (const Streamed& stream : streams_)
            if (stream.name == name) return stream.ended;
        return false;
    }

    // ---- The parser's events
    bool null() override { return Scalar(nullptr); }
    bool boolean(bool value) override { return Scalar(value); }
    bool number_integer(number_integer_t value) override { return Scalar(value); }
    bool number_unsigned(number_unsigned_t value) override { return Scalar(value); }
    bool number_float(number_float_t value, const string_t&) override { return Scalar(value); }
    bool string(string_t& value) override { return Scalar(std::move(value)); }
    bool binary(binary_t&) override { return false; } // JSON text has no binary values
    bool start_object(std::size_t) override { return Open(json::value_t::object); }
    bool start_array(std::size_t) override { return Open(json::value_t::array); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }

    bool key(string_t& name) override {
        Level& level = levels_.back();
        if (level.stream) {
            level.streamedKey = std::move(name);
            return true;
        }
        auto& members = level.value->get_ref<json::object_t&>();
        const auto [at, added] = members.emplace(std::move(name), nullptr);
        level.key = &at->first;
        level.member = &at->second;
        if (!added) fault_ = Fault{*level.key, 0, true, Where()};
        return added;
    }

    bool parse_error(std::size_t, const std::string&, const json::exception& error) override {
        const auto* parse = dynamic_cast<const json::parse_error*>(&error);
        fault_ = Fault{error.what(), parse ? parse->byte : 0, false, {}};
        return false;
    }

private:
    struct Streamed {
        std::string name;
        json::value_t type;
        Sink sink;
        bool ended = false;
    };
    struct Level {
        json* value = nullptr;            // the container being filled; null for a streamed one
        Streamed* stream = nullptr;       // set for a streamed container
        const std::string* key = nullptr; // an object's member being read: its name...
        json* member = nullptr;           // ...and its value (not for a streamed object)
        std::size_t index = 0;            // a streamed array's element being read
        std::string streamedKey = {};     // a streamed object's member being read
    };

    // Where the next value goes: the member being streamed, the document, or its container.
    json& Slot() {
        if (levels_.empty()) return top_;
        Level& level = levels_.back();
        if (level.stream) return member_;
        if (level.value->is_array()) {
            level.value->push_back(nullptr);
            return level.value->back();
        }
        return *level.member;
    }
    // After a value ends: a streamed container's member is handed on.
    bool ValueDone() {
        if (levels_.empty() || !levels_.back().stream) return true;
        Level& level = levels_.back();
        level.stream->sink(level.streamedKey, level.index++, member_);
        member_ = nullptr;
        return true;
    }
    template <typename T>
    bool Scalar(T&& value) {
        Slot() = json(std::forward<T>(value));
        return ValueDone();
    }
    bool Open(json::value_t type) {
        Streamed* stream = levels_.size() == 1 ? StreamAt(type) : nullptr;
        json& slot = Slot();
        slot = json(type);
        levels_.push_back({stream ? nullptr : &slot, stream});
        return true;
    }
    bool Close() {
        Streamed* stream = levels_.back().stream;
        levels_.pop_back();
        if (stream) {
            stream->ended = true;
            return true;
        }
        return ValueDone();
    }
    // The stream for the top-level member being opened, when it is one of `type`.
    Streamed* StreamAt(json::value_t type) {
        const Level& top = levels_.front();
        if (!top.value || !top.value->is_object()) return nullptr;
        for (Streamed& stream : streams_)
            if (stream.name == *top.key && stream.type == type) return &stream;
        return nullptr;
    }
    // "events[2]" for the object being read; "top level" at the root.
    std::string Where() const {
        std::string where;
        for (std::size_t i = 0; i + 1 < levels_.size(); ++i) {
            const Level& level = levels_[i];
            const bool array =
                level.stream ? level.stream->type == json::value_t::array : level.value->is_array();
            if (!array) {
                if (!where.empty()) where += '.';
                where += level.stream ? level.streamedKey : *level.key;
            } else {
                const std::size_t index = level.stream ? level.index : level.value->size() - 1;
                where += "[" + std::to_string(index) + "]";
            }
        }
        return where.empty() ? "top level" : where;
    }

    std::vector<Streamed> streams_;
    std::vector<Level> levels_;
    json top_;
    json member_; // the streamed member being built
    std::optional<Fault> fault_;
};

} // namespace hosting
