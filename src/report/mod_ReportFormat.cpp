#include "report/mod_ReportFormat.h"

#include <nlohmann/json.hpp>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

namespace {

using Json = nlohmann::ordered_json;

// ---------------------------------------------------------------------------------------------
// Text

class TextReport final : public ReportFormat {
  public:
    TextReport(std::ostream& out, std::ostream& err, bool withPicture)
        : out_(out), err_(err), withPicture_(withPicture) {}

    void File(const FileReport& file) override {
        for (const auto& m : file.messages) {
            err_ << VisibleText(Cp1252ToUtf8(m.title)) << ": " << VisibleText(Cp1252ToUtf8(m.text))
                 << '\n';
        }
        out_ << "== " << VisibleText(file.path) << '\n';
        out_ << "[MPEG]\n";
        Pane(file.mpeg, 2);
        out_ << "[ID3v2]\n";
        Pane(file.id3v2, 3);
        out_ << "[ID3v1]\n";
        Pane(file.id3v1, 2);
        // The lyrics pane's lines, each indented so that no line of a tag can pass for a
        // section of the report.
        out_ << "[Lyrics]\n";
        const std::string lyrics = ShownUtf8(file.lyrics.Text());
        for (std::size_t at = 0;;) {
            const auto end = lyrics.find("\r\n", at);
            out_ << "  " << VisibleText(std::string_view(lyrics).substr(at, end - at)) << '\n';
            if (end == std::string::npos) {
                break;
            }
            at = end + 2;
        }
        if (withPicture_) {
            out_ << "[Picture]\n";
            if (file.picture) {
                out_ << file.picture->result << '\t' << VisibleText(file.picture->file) << '\n';
            }
        }
    }
    void End() override {}

  private:
    void Pane(const MemoryListPane& pane, int columns) {
        for (const auto& row : pane.Rows()) {
            for (int c = 0; c < columns; ++c) {
                out_ << (c == 0 ? "" : "\t")
                     << VisibleText(ShownUtf8(row.cells[static_cast<std::size_t>(c)]));
            }
            out_ << '\n';
        }
    }
    std::ostream& out_;
    std::ostream& err_;
    bool withPicture_;
};

// ---------------------------------------------------------------------------------------------
// JSON

const char* IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return "critical";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::None:
            break;
    }
    return "none";
}

Json PairRows(const MemoryListPane& pane) {
    Json rows = Json::array();
    for (const auto& row : pane.Rows()) {
        rows.push_back({{"item", ShownUtf8(row.cells[0])}, {"value", ShownUtf8(row.cells[1])}});
    }
    return rows;
}

Json Id3v2Rows(const MemoryListPane& pane) {
    Json rows = Json::array();
    for (const auto& row : pane.Rows()) {
        rows.push_back({{"tag", ShownUtf8(row.cells[0])},
                        {"text", ShownUtf8(row.cells[1])},
                        {"value", ShownUtf8(row.cells[2])},
                        {"blue", row.colors[2] == kPureBlue}});
    }
    return rows;
}

Json FileJson(const FileReport& file) {
    Json messages = Json::array();
    for (const auto& m : file.messages) {
        messages.push_back({{"title", Cp1252ToUtf8(m.title)},
                            {"text", Cp1252ToUtf8(m.text)},
                            {"icon", IconName(m.icon)}});
    }
    const TagPresence& p = file.presence;
    Json json = {{"path", file.path},
                 {"mpeg", PairRows(file.mpeg)},
                 {"id3v2", Id3v2Rows(file.id3v2)},
                 {"id3v1", PairRows(file.id3v1)},
                 {"lyrics", ShownUtf8(file.lyrics.Text())},
                 {"messages", std::move(messages)},
                 {"presence",
                  {{"HasID3v1", p.HasID3v1},
                   {"HasID3v2", p.HasID3v2},
                   {"ID3v2Version", p.ID3v2Version},
                   {"ID3v2Footer", p.ID3v2Footer},
                   {"HasLyrics3", p.HasLyrics3},
                   {"Lyrics3EndFound", p.Lyrics3EndFound},
                   {"Lyrics3Version", p.Lyrics3Version}}},
                 {"picture", nullptr}};
    if (file.picture) {
        json["picture"] = {{"result", file.picture->result}, {"file", file.picture->file}};
    }
    return json;
}

class JsonReport final : public ReportFormat {
  public:
    explicit JsonReport(std::ostream& out) : out_(out) { out_ << "{\"files\": ["; }

    void File(const FileReport& file) override {
        // Names that are not UTF-8 are written with U+FFFD in place of their bad bytes.
        out_ << (first_ ? "\n" : ",\n")
             << FileJson(file).dump(-1, ' ', false, Json::error_handler_t::replace);
        first_ = false;
    }
    void End() override { out_ << "\n]}\n"; }

  private:
    std::ostream& out_;
    bool first_ = true;
};

}  // namespace

std::string VisibleText(std::string_view text) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c1) {
            const auto code = static_cast<unsigned char>(text[++i]);
            out += "\\u00";
            out += kHex[code >> 4];
            out += kHex[code & 0xF];
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::unique_ptr<ReportFormat> TextFormat(std::ostream& out, std::ostream& err, bool withPicture) {
    return std::make_unique<TextReport>(out, err, withPicture);
}

std::unique_ptr<ReportFormat> JsonFormat(std::ostream& out) {
    return std::make_unique<JsonReport>(out);
}

}  // namespace veltrane
