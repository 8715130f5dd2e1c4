// A small JSON writer that appends straight to a string.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "inspect/mod_InspectId3v2.h"
#include "report/mod_ReportFormat.h"

namespace veltrane {

// The inspection's JSON is written straight into the file's line: it is as large as the rest of
// the file's object, and building it as a document first would cost more than reading the file.
class JsonWriter {
  public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    JsonWriter& Open(char bracket) {
        Comma();
        out_ += bracket;
        first_ = true;
        return *this;
    }
    JsonWriter& Close(char bracket) {
        out_ += bracket;
        first_ = false;
        return *this;
    }
    JsonWriter& Key(std::string_view key) {
        Comma();
        String(key);
        out_ += ':';
        first_ = true;
        return *this;
    }
    JsonWriter& Value(std::string_view text) {
        Comma();
        String(text);
        return *this;
    }
    JsonWriter& Value(std::int64_t number) {
        Comma();
        out_ += std::to_string(number);
        return *this;
    }
    // The shortest digits that read back as the same number, always with a fraction or an
    // exponent ("6.0", not "6"), so that a reader takes it for a number with a fraction.
    JsonWriter& Value(double number) {
        Comma();
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
        const std::string_view digits(buffer, static_cast<std::size_t>(result.ptr - buffer));
        out_ += digits;
        if (digits.find_first_of(".e") == std::string_view::npos) {
            out_ += ".0";
        }
        return *this;
    }
    JsonWriter& Value(bool value) {
        Comma();
        out_ += value ? "true" : "false";
        return *this;
    }
    // A value written already as JSON.
    JsonWriter& Raw(std::string_view json) {
        Comma();
        out_ += json;
        return *this;
    }
    JsonWriter& Null() {
        Comma();
        out_ += "null";
        return *this;
    }
    JsonWriter& Strings(const std::vector<std::string>& values) {
        Open('[');
        for (const auto& v : values) {
            Value(std::string_view(v));
        }
        return Close(']');
    }
    template <typename T>
    JsonWriter& Member(std::string_view key, const T& value) {
        Key(key);
        if constexpr (std::is_same_v<T, std::string>) {
            return Value(std::string_view(value));
        } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
            return Strings(value);
        } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, double>) {
            return Value(value);
        } else {
            return Value(static_cast<std::int64_t>(value));
        }
    }
    template <typename T>
    JsonWriter& Optional(std::string_view key, const std::optional<T>& value) {
        return value ? Member(key, *value) : *this;
    }

  private:
    void Comma() {
        if (!first_) {
            out_ += ',';
        }
        first_ = false;
    }
    // The texts are UTF-8 already (every decoder makes them so); only what JSON reserves is
    // escaped. Anything else that is not valid UTF-8 becomes U+FFFD.
    void String(std::string_view text) {
        const bool ascii = std::all_of(text.begin(), text.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!ascii) {
            bool valid = true;
            AppendJsonString(out_, inspect::CleanUtf8(text, valid));
        } else {
            AppendJsonString(out_, text);
        }
    }
    std::string& out_;
    bool first_ = true;
};

}  // namespace veltrane
