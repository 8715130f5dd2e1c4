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

// Any bytes as a JSON string; those that are not UTF-8 become U+FFFD, as the JSON library
// writes them.
void AppendJsonBytes(std::string& out, std::string_view bytes) {
    if (IsUtf8(bytes)) {
        AppendJsonString(out, bytes);
    } else {
        out += Json(std::string(bytes)).dump(-1, ' ', false, Json::error_handler_t::replace);
    }
}

// A cell as the pane shows it: cut at its first NUL, from Windows-1252.
void AppendCell(std::string& out, std::string& scratch, std::string_view cell) {
    scratch.clear();
    AppendCp1252AsUtf8(scratch, BeforeNul(cell));
    AppendJsonString(out, scratch);
}

// The rows of a pane as objects whose keys name the columns, with the blue flag of the third
// column's colour where asked.
void AppendRows(std::string& out, std::string& scratch, const MemoryListPane& pane,
                std::initializer_list<const char*> keys, bool blue) {
    out += '[';
    bool firstRow = true;
    for (const auto& row : pane.Rows()) {
        out += firstRow ? "{" : ",{";
        firstRow = false;
        std::size_t column = 0;
        for (const char* key : keys) {
            out += column == 0 ? "\"" : ",\"";
            out += key;
            out += "\":";
            AppendCell(out, scratch, row.cells[column++]);
        }
        if (blue) {
            out += row.colors[2] == kPureBlue ? ",\"blue\":true" : ",\"blue\":false";
        }
        out += '}';
    }
    out += ']';
}

const char* Bool(bool value) {
    return value ? "true" : "false";
}

// One file's line. Written straight into the output, member by member, in the order the
// document has always had.
void AppendFileJson(std::string& out, const FileReport& file) {
    std::string scratch;
    out += "{\"path\":";
    AppendJsonBytes(out, file.path);
    if (!IsUtf8(file.path)) {
        out += ",\"rawPath\":";
        AppendJsonString(out, RawBytesText(file.path));
    }
    if (file.openProblem) {
        out += ",\"error\":";
        AppendJsonBytes(out, "cannot open: " + *file.openProblem);
    }
    out += ",\"mpeg\":";
    AppendRows(out, scratch, file.mpeg, {"item", "value"}, false);
    out += ",\"id3v2\":";
    AppendRows(out, scratch, file.id3v2, {"tag", "text", "value"}, true);
    out += ",\"id3v1\":";
    AppendRows(out, scratch, file.id3v1, {"item", "value"}, false);
    out += ",\"lyrics\":";
    AppendCell(out, scratch, file.lyrics.Text());
    out += ",\"messages\":[";
    bool firstMessage = true;
    for (const auto& m : file.messages) {
        out += firstMessage ? "{\"title\":" : ",{\"title\":";
        firstMessage = false;
        AppendJsonString(out, Cp1252ToUtf8(m.title));
        out += ",\"text\":";
        AppendJsonString(out, Cp1252ToUtf8(m.text));
        out += ",\"icon\":\"";
        out += IconName(m.icon);
        out += "\"}";
    }
    const TagPresence& p = file.state.Presence;
    out += "],\"presence\":{\"HasID3v1\":";
    out += Bool(p.HasID3v1);
    out += ",\"HasID3v2\":";
    out += Bool(p.HasID3v2);
    out += ",\"ID3v2Version\":" + std::to_string(p.ID3v2Version);
    out += ",\"ID3v2Footer\":";
    out += Bool(p.ID3v2Footer);
    out += ",\"HasLyrics3\":";
    out += Bool(p.HasLyrics3);
    out += ",\"Lyrics3EndFound\":";
    out += Bool(p.Lyrics3EndFound);
    out += ",\"Lyrics3Version\":" + std::to_string(p.Lyrics3Version);
    out += "},\"picture\":";
    if (file.picture) {
        out += "{\"result\":" + std::to_string(file.picture->result) + ",\"file\":";
        AppendJsonBytes(out, file.picture->file);
        out += '}';
    } else {
        out += "null";
    }
    out += '}';
}

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

// The document is written as it goes: its frame here, each file's line, and the summary
// dumped by the JSON library.
class JsonReport final : public ReportFormat {
  public:
    void Begin(std::ostream& out) const override { out << "{\"files\": ["; }

    std::string_view Before(bool first) const override { return first ? "\n" : ",\n"; }

    void File(const FileReport& file, std::ostream& out, std::ostream&) override {
        // The room of a huge line is not kept for the files after it.
        if (line_.capacity() > kKeptRoom) {
            std::string().swap(line_);
        }
        line_.clear();
        AppendFileJson(line_, file);
        if (file.inspection != nullptr) {
            // The last member, after "picture": the object's closing brace moves behind it.
            line_.pop_back();
            line_ += ",\"inspect\":";
            if (*file.inspection) {
                AppendInspectJson(line_, **file.inspection);
            } else {
                line_ += "null";
            }
            line_ += '}';
        }
        out << line_;
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
    static constexpr std::size_t kKeptRoom = 1024 * 1024;
    std::string line_;  // kept from file to file: its room is reused
};

}  // namespace

namespace {

// The length of the valid UTF-8 sequence at text[i] and its code point; 0 when none starts there.
std::size_t Utf8At(std::string_view text, std::size_t i, char32_t& code) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = b(0);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    code = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        if ((b(k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (b(k) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

void AppendHexEscape(std::string& out, const char* prefix, unsigned value, int digits) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    out += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kHex[(value >> shift) & 0xF];
    }
}

}  // namespace

bool IsUtf8(std::string_view text) {
    char32_t code = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8At(text, i, code);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string RawBytesText(std::string_view bytes) {
    std::string out;
    char32_t code = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8At(bytes, i, code);
        if (length == 0) {
            AppendHexEscape(out, "\\x", static_cast<unsigned char>(bytes[i++]), 2);
        } else {
            out += code == '\\' ? std::string_view("\\\\") : bytes.substr(i, length);
            i += length;
        }
    }
    return out;
}

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    const auto plain = [](char c) {
        return c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20;
    };
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        // Runs that need no escape are copied whole.
        const auto run =
            std::find_if_not(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(), plain);
        const auto end = static_cast<std::size_t>(run - text.begin());
        out.append(text.substr(at, end - at));
        if (end == text.size()) {
            break;
        }
        const char c = text[end];
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
        }
        at = end + 1;
    }
    out += '"';
}

std::string VisibleText(std::string_view text) {
    std::string out;
    char32_t code = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8At(text, i, code);
        if (length == 0) {
            AppendHexEscape(out, "\\x", static_cast<unsigned char>(text[i++]), 2);
            continue;
        }
        if (code == '\\') {
            out += "\\\\";
        } else if (code == '\t') {
            out += "\\t";
        } else if (code == '\n') {
            out += "\\n";
        } else if (code == '\r') {
            out += "\\r";
        } else if (code < 0x20 || code == 0x7F) {
            AppendHexEscape(out, "\\x", code, 2);
        } else if ((code >= 0x80 && code <= 0x9F) || (code >= 0x202A && code <= 0x202E) ||
                   (code >= 0x2066 && code <= 0x2069)) {
            AppendHexEscape(out, "\\u", code, 4);
        } else {
            out += text.substr(i, length);
        }
        i += length;
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
