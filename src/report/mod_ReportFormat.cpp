#include "report/mod_ReportFormat.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

namespace {

using Json = nlohmann::ordered_json;

// ---------------------------------------------------------------------------------------------
// Text

// The summary's rows, in the order shown: a label and its count or time.
std::vector<std::pair<std::string, std::string>> SummaryRows(const ReportSummary& s) {
    std::vector<std::pair<std::string, std::string>> rows = {
        {"Files analysed", std::to_string(s.analysed)},
        {"Files not opened", std::to_string(s.notOpened)},
        {"With ID3v1", std::to_string(s.withId3v1)},
        {"With ID3v2.2", std::to_string(s.withId3v2[0])},
        {"With ID3v2.3", std::to_string(s.withId3v2[1])},
        {"With ID3v2.4", std::to_string(s.withId3v2[2])},
        {"With ID3v2 of another version", std::to_string(s.withId3v2[3])},
        {"With Lyrics3 v1", std::to_string(s.withLyrics3[0])},
        {"With Lyrics3 v2", std::to_string(s.withLyrics3[1])},
        {"With a picture row", std::to_string(s.withPicture)},
        {"With a Xing marker", std::to_string(s.withXing)},
    };
    for (const auto& [title, count] : s.messages) {
        rows.emplace_back("Messages " + title, std::to_string(count));
    }
    rows.emplace_back("Playing time", FormatDuration(s.seconds));
    if (s.inspect.inspected > 0) {
        const auto more = InspectSummaryRows(s.inspect);
        rows.insert(rows.end(), more.begin(), more.end());
    }
    return rows;
}

class TextReport final : public ReportFormat {
  public:
    explicit TextReport(bool withPicture) : withPicture_(withPicture) {}

    void Begin(std::ostream&) const override {}

    std::string_view Before(bool) const override { return {}; }

    void File(const FileReport& file, std::ostream& out, std::ostream& err) override {
        for (const auto& m : file.messages) {
            err << VisibleText(Cp1252ToUtf8(m.title)) << ": " << VisibleText(Cp1252ToUtf8(m.text))
                << '\n';
        }
        out << "== " << VisibleText(file.path) << '\n';
        out << "[MPEG]\n";
        Pane(out, file.mpeg, 2);
        out << "[ID3v2]\n";
        Pane(out, file.id3v2, 3);
        out << "[ID3v1]\n";
        Pane(out, file.id3v1, 2);
        // The lyrics pane's lines, each indented so that no line of a tag can pass for a
        // section of the report.
        out << "[Lyrics]\n";
        const std::string lyrics = ShownUtf8(file.lyrics.Text());
        for (std::size_t at = 0;;) {
            const auto end = lyrics.find("\r\n", at);
            out << "  " << VisibleText(std::string_view(lyrics).substr(at, end - at)) << '\n';
            if (end == std::string::npos) {
                break;
            }
            at = end + 2;
        }
        if (withPicture_) {
            out << "[Picture]\n";
            if (file.picture) {
                out << file.picture->result << '\t' << VisibleText(file.picture->file) << '\n';
            }
        }
        if (file.inspection != nullptr && *file.inspection) {
            InspectText(out, **file.inspection);
        }
    }

    void End(const ReportSummary* summary, std::ostream& out) const override {
        if (summary != nullptr) {
            out << "[Summary]\n";
            for (const auto& [label, value] : SummaryRows(*summary)) {
                out << VisibleText(Cp1252ToUtf8(label)) << '\t' << value << '\n';
            }
        }
    }

  private:
    static void Pane(std::ostream& out, const MemoryListPane& pane, int columns) {
        for (const auto& row : pane.Rows()) {
            for (int c = 0; c < columns; ++c) {
                out << (c == 0 ? "" : "\t")
                    << VisibleText(ShownUtf8(row.cells[static_cast<std::size_t>(c)]));
            }
            out << '\n';
        }
    }
    bool withPicture_;
};

// ---------------------------------------------------------------------------------------------
// JSON

const char* IconName(MessageIcon icon) {
    return icon == MessageIcon::Critical      ? "critical"
           : icon == MessageIcon::Information ? "information"
                                              : "none";
}

// A string member of the document, its text replaced in place: after the first files the
// document's strings have room enough, and filling it allocates next to nothing.
std::string& Text(Json& value) {
    if (!value.is_string()) {
        value = std::string();
    }
    auto& text = value.get_ref<std::string&>();
    text.clear();
    return text;
}

void Cell(Json& value, std::string_view cell) {
    AppendCp1252AsUtf8(Text(value), BeforeNul(cell));
}

// The rows of a pane as objects whose keys name the columns, with the blue flag of the third
// column's colour where asked.
void Rows(Json& rows, const MemoryListPane& pane, std::initializer_list<const char*> keys,
          bool blue) {
    auto& array = rows.get_ref<Json::array_t&>();
    array.resize(pane.Rows().size());
    for (std::size_t r = 0; r < array.size(); ++r) {
        const auto& row = pane.Rows()[r];
        std::size_t column = 0;
        for (const char* key : keys) {
            Cell(array[r][key], row.cells[column++]);
        }
        if (blue) {
            array[r]["blue"] = row.colors[2] == kPureBlue;
        }
    }
}

// One file's object, kept from file to file and filled anew: its keys stay in place.
class FileJson {
  public:
    const Json& Fill(const FileReport& file) {
        Text(json_["path"]) = file.path;
        Rows(json_["mpeg"], file.mpeg, {"item", "value"}, false);
        Rows(json_["id3v2"], file.id3v2, {"tag", "text", "value"}, true);
        Rows(json_["id3v1"], file.id3v1, {"item", "value"}, false);
        Cell(json_["lyrics"], file.lyrics.Text());
        Json& messages = json_["messages"] = Json::array();
        for (const auto& m : file.messages) {
            Json& message = messages.emplace_back(Json::object());
            message["title"] = Cp1252ToUtf8(m.title);
            message["text"] = Cp1252ToUtf8(m.text);
            message["icon"] = IconName(m.icon);
        }
        const TagPresence& p = file.state.Presence;
        Json& presence = json_["presence"];
        presence["HasID3v1"] = p.HasID3v1;
        presence["HasID3v2"] = p.HasID3v2;
        presence["ID3v2Version"] = p.ID3v2Version;
        presence["ID3v2Footer"] = p.ID3v2Footer;
        presence["HasLyrics3"] = p.HasLyrics3;
        presence["Lyrics3EndFound"] = p.Lyrics3EndFound;
        presence["Lyrics3Version"] = p.Lyrics3Version;
        Json& picture = json_["picture"] = nullptr;
        if (file.picture) {
            picture["result"] = file.picture->result;
            picture["file"] = file.picture->file;
        }
        return json_;
    }

  private:
    Json json_ = {{"path", ""},
                  {"mpeg", Json::array()},
                  {"id3v2", Json::array()},
                  {"id3v1", Json::array()},
                  {"lyrics", ""},
                  {"messages", Json::array()},
                  {"presence", Json::object()},
                  {"picture", nullptr}};
};

Json SummaryJson(const ReportSummary& s) {
    Json messages = Json::object();
    for (const auto& [title, count] : s.messages) {
        messages[Cp1252ToUtf8(title)] = count;
    }
    Json summary = {{"analysed", s.analysed},
                    {"notOpened", s.notOpened},
                    {"withID3v1", s.withId3v1},
                    {"withID3v2",
                     {{"2", s.withId3v2[0]},
                      {"3", s.withId3v2[1]},
                      {"4", s.withId3v2[2]},
                      {"other", s.withId3v2[3]}}},
                    {"withLyrics3", {{"1", s.withLyrics3[0]}, {"2", s.withLyrics3[1]}}},
                    {"withPicture", s.withPicture},
                    {"withXing", s.withXing},
                    {"messages", std::move(messages)},
                    {"playingTime", FormatDuration(s.seconds)}};
    if (s.inspect.inspected > 0) {
        InspectSummaryJson(summary["inspect"], s.inspect);
    }
    return summary;
}

// The document is written as it goes: its frame here, each file's object and the summary
// dumped by the JSON library. Names that are not UTF-8 get U+FFFD in place of their bad bytes.
class JsonReport final : public ReportFormat {
  public:
    void Begin(std::ostream& out) const override { out << "{\"files\": ["; }

    std::string_view Before(bool first) const override { return first ? "\n" : ",\n"; }

    void File(const FileReport& file, std::ostream& out, std::ostream&) override {
        std::string text = Dump(file_.Fill(file));
        if (file.inspection != nullptr) {
            // The last member, after "picture": the object's closing brace moves behind it.
            text.pop_back();
            text += ",\"inspect\":";
            if (*file.inspection) {
                AppendInspectJson(text, **file.inspection);
            } else {
                text += "null";
            }
            text += '}';
        }
        out << text;
    }

    void End(const ReportSummary* summary, std::ostream& out) const override {
        out << "\n]";
        if (summary != nullptr) {
            out << ",\n\"summary\": " << Dump(SummaryJson(*summary));
        }
        out << "}\n";
    }

  private:
    static std::string Dump(const Json& json) {
        return json.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    FileJson file_;
};

}  // namespace

std::string VisibleText(std::string_view text) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    std::string out;
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

void ReportSummary::Add(const FileReport& file, bool opened) {
    const AnalysisState& state = file.state;
    ++analysed;
    notOpened += opened ? 0 : 1;
    withId3v1 += state.Id3v1.Present ? 1 : 0;
    if (state.Presence.HasID3v2) {
        const auto version = state.Presence.ID3v2Version;
        ++withId3v2[version >= 2 && version <= 4 ? version - 2U : 3U];
    }
    if (state.Lyrics.Present && (state.Lyrics.Version == 1 || state.Lyrics.Version == 2)) {
        ++withLyrics3[state.Lyrics.Version - 1U];
    }
    const auto& rows = file.id3v2.Rows();
    withPicture += std::any_of(rows.begin(), rows.end(),
                               [](const auto& row) { return row.cells[0] == "APIC"; })
                       ? 1
                       : 0;
    withXing += state.Mpeg.IsVbr ? 1 : 0;
    for (const auto& m : file.messages) {
        ++messages[m.title];
    }
    seconds += state.Mpeg.Duration;
    if (file.inspection != nullptr && *file.inspection) {
        inspect.Add(**file.inspection);
    }
}

void ReportSummary::Add(const ReportSummary& other) {
    analysed += other.analysed;
    notOpened += other.notOpened;
    withId3v1 += other.withId3v1;
    for (std::size_t i = 0; i < withId3v2.size(); ++i) {
        withId3v2[i] += other.withId3v2[i];
    }
    for (std::size_t i = 0; i < withLyrics3.size(); ++i) {
        withLyrics3[i] += other.withLyrics3[i];
    }
    withPicture += other.withPicture;
    withXing += other.withXing;
    for (const auto& [title, count] : other.messages) {
        messages[title] += count;
    }
    seconds += other.seconds;
    inspect.Add(other.inspect);
}

std::unique_ptr<ReportFormat> TextFormat(bool withPicture) {
    return std::make_unique<TextReport>(withPicture);
}

std::unique_ptr<ReportFormat> JsonFormat() {
    return std::make_unique<JsonReport>();
}

}  // namespace veltrane
