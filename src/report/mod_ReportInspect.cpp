#include "report/mod_ReportInspect.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "report/mod_ReportFormat.h"

namespace veltrane {

namespace {

using Json = nlohmann::ordered_json;
namespace is = inspect;

std::string Version(const is::Id3v2Tag& tag) {
    return "2." + std::to_string(tag.major) + "." + std::to_string(tag.revision);
}

std::string Joined(const std::vector<std::string>& parts, std::string_view between) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        out += (i == 0 ? "" : std::string(between)) + parts[i];
    }
    return out;
}

Json FrameJson(const is::Id3v2Frame& f) {
    Json j = {{"offset", f.offset}, {"id", f.id}, {"size", f.size}, {"flags", f.flags}};
    if (f.encoding) {
        j["encoding"] = *f.encoding;
    }
    if (f.language) {
        j["language"] = *f.language;
    }
    if (f.description) {
        j["description"] = *f.description;
    }
    if (f.text) {
        j["text"] = *f.text;
    }
    if (f.url) {
        j["url"] = *f.url;
    }
    if (f.owner) {
        j["owner"] = *f.owner;
    }
    if (f.picture) {
        const is::Picture& p = *f.picture;
        j["picture"] = {{"mime", p.mime},         {"type", p.type},
                        {"typeName", p.typeName}, {"description", p.description},
                        {"size", p.size},         {"format", p.format}};
    }
    if (f.email) {
        j["email"] = *f.email;
    }
    if (f.rating) {
        j["rating"] = *f.rating;
    }
    if (f.counter) {
        j["counter"] = *f.counter;
    }
    if (f.data) {
        j["data"] = *f.data;
    }
    return j;
}

std::string ApeVersion(int version) {
    return std::to_string(version / 1000) + "." + std::to_string(version % 1000 / 100);
}

// One line's summary of what a frame holds.
std::string FrameSummary(const is::Id3v2Frame& f) {
    std::vector<std::string> parts;
    if (f.encoding) {
        parts.push_back(*f.encoding);
    }
    if (f.language) {
        parts.push_back("[" + *f.language + "]");
    }
    if (f.description) {
        parts.push_back("\"" + *f.description + "\":");
    }
    if (f.text) {
        parts.push_back(Joined(*f.text, " | "));
    }
    if (f.url) {
        parts.push_back(*f.url);
    }
    if (f.owner) {
        parts.push_back("owner \"" + *f.owner + "\"");
    }
    if (f.picture) {
        const is::Picture& p = *f.picture;
        parts.push_back(p.mime + ", type " + std::to_string(p.type) + " (" + p.typeName + "), \"" +
                        p.description + "\", " + std::to_string(p.size) + " bytes, " + p.format);
    }
    if (f.email) {
        parts.push_back("email \"" + *f.email + "\"");
    }
    if (f.rating) {
        parts.push_back("rating " + std::to_string(*f.rating));
    }
    if (f.counter) {
        parts.push_back("counter " + *f.counter);
    }
    if (f.data) {
        parts.push_back("data " + *f.data);
    }
    return Joined(parts, " ");
}

}  // namespace

void InspectJson(Json& json, const is::Inspection& file) {
    json = Json::object();
    json["size"] = file.size;
    Json& regions = json["regions"] = Json::array();
    for (const auto& r : file.regions) {
        regions.push_back({{"offset", r.offset}, {"length", r.length}, {"kind", r.kind}});
    }
    Json& id3v2 = json["id3v2"] = Json::array();
    for (const auto& tag : file.id3v2) {
        Json frames = Json::array();
        for (const auto& f : tag.frames) {
            frames.push_back(FrameJson(f));
        }
        id3v2.push_back({{"offset", tag.offset},
                         {"version", Version(tag)},
                         {"flags", tag.flags},
                         {"size", tag.size},
                         {"padding", tag.padding},
                         {"extendedHeader", tag.extendedHeader},
                         {"plainSizes", tag.plainSizes},
                         {"frames", std::move(frames)}});
    }
    Json& apev2 = json["apev2"] = Json::array();
    for (const auto& tag : file.apev2) {
        Json items = Json::array();
        for (const auto& item : tag.items) {
            Json i = {{"key", item.key}, {"type", item.type}};
            if (item.type == "text" || item.type == "link") {
                i["values"] = item.values;
            } else {
                i["size"] = item.size;
            }
            items.push_back(std::move(i));
        }
        apev2.push_back({{"offset", tag.offset},
                         {"size", tag.size},
                         {"version", ApeVersion(tag.version)},
                         {"header", tag.header},
                         {"items", std::move(items)}});
    }
    Json& lyrics3 = json["lyrics3"] = Json::array();
    for (const auto& tag : file.lyrics3) {
        Json fields = Json::array();
        for (const auto& field : tag.fields) {
            fields.push_back({{"id", field.id}, {"text", field.text}});
        }
        lyrics3.push_back({{"offset", tag.offset},
                           {"size", tag.size},
                           {"version", std::to_string(tag.version)},
                           {"fields", std::move(fields)}});
    }
    Json& id3v1 = json["id3v1"] = nullptr;
    if (file.id3v1) {
        const is::Id3v1Tag& t = *file.id3v1;
        id3v1 = {{"offset", t.offset},  {"version", t.version}, {"title", t.title},
                 {"artist", t.artist},  {"album", t.album},     {"year", t.year},
                 {"comment", t.comment}};
        id3v1["track"] = t.track ? Json(*t.track) : Json(nullptr);
        id3v1["genre"] = t.genre;
        id3v1["genreName"] = t.genreName.empty() ? Json(nullptr) : Json(t.genreName);
        Json& enhanced = id3v1["enhanced"] = nullptr;
        if (t.enhanced) {
            const is::Id3v1Enhanced& e = *t.enhanced;
            enhanced = {{"offset", e.offset}, {"title", e.title}, {"artist", e.artist},
                        {"album", e.album},   {"speed", e.speed}, {"genre", e.genre},
                        {"start", e.start},   {"end", e.end}};
        }
    }
    Json& notes = json["notes"] = Json::array();
    for (const auto& n : file.notes) {
        notes.push_back({{"severity", std::string(is::SeverityName(n.severity))},
                         {"offset", n.offset},
                         {"text", n.text}});
    }
}

void InspectText(std::ostream& out, const is::Inspection& file) {
    out << "[Inspect]\n";
    out << "size\t" << file.size << '\n';
    out << "map\n";
    for (const auto& r : file.regions) {
        out << "  " << r.offset << '\t' << r.length << '\t' << r.kind << '\n';
    }
    for (const auto& tag : file.id3v2) {
        out << "ID3v2 " << Version(tag) << " at " << tag.offset << ", " << tag.size
            << " bytes, padding " << tag.padding;
        if (!tag.flags.empty()) {
            out << ", flags " << Joined(tag.flags, " ");
        }
        out << '\n';
        for (const auto& f : tag.frames) {
            out << "  " << f.offset << '\t' << VisibleText(f.id) << '\t' << f.size << '\t'
                << (f.flags.empty() ? "-" : Joined(f.flags, ",")) << '\t'
                << VisibleText(FrameSummary(f)) << '\n';
        }
    }
    for (const auto& tag : file.apev2) {
        out << "APE " << ApeVersion(tag.version) << " at " << tag.offset << ", " << tag.size
            << " bytes" << (tag.header ? ", with header" : "") << '\n';
        for (const auto& item : tag.items) {
            out << "  " << VisibleText(item.key) << '\t' << item.type << '\t'
                << (item.type == "text" || item.type == "link"
                        ? VisibleText(Joined(item.values, " | "))
                        : std::to_string(item.size) + " bytes")
                << '\n';
        }
    }
    for (const auto& tag : file.lyrics3) {
        out << "Lyrics3 v" << tag.version << " at " << tag.offset << ", " << tag.size << " bytes\n";
        for (const auto& field : tag.fields) {
            out << "  " << VisibleText(field.id) << '\t' << VisibleText(field.text) << '\n';
        }
    }
    if (file.id3v1) {
        const is::Id3v1Tag& t = *file.id3v1;
        out << "ID3v" << t.version << " at " << t.offset << '\n';
        const std::pair<const char*, const std::string*> fields[] = {{"title", &t.title},
                                                                     {"artist", &t.artist},
                                                                     {"album", &t.album},
                                                                     {"year", &t.year},
                                                                     {"comment", &t.comment}};
        for (const auto& [name, value] : fields) {
            out << "  " << name << '\t' << VisibleText(*value) << '\n';
        }
        if (t.track) {
            out << "  track\t" << *t.track << '\n';
        }
        out << "  genre\t" << t.genre << (t.genreName.empty() ? "" : " (" + t.genreName + ")")
            << '\n';
        if (t.enhanced) {
            const is::Id3v1Enhanced& e = *t.enhanced;
            out << "TAG+ at " << e.offset << '\n';
            const std::pair<const char*, const std::string*> more[] = {
                {"title", &e.title}, {"artist", &e.artist}, {"album", &e.album},
                {"genre", &e.genre}, {"start", &e.start},   {"end", &e.end}};
            for (const auto& [name, value] : more) {
                out << "  " << name << '\t' << VisibleText(*value) << '\n';
            }
            out << "  speed\t" << e.speed << '\n';
        }
    }
    out << "notes\n";
    for (const auto& n : file.notes) {
        out << "  " << is::SeverityName(n.severity) << '\t' << n.offset << '\t'
            << VisibleText(n.text) << '\n';
    }
}

void InspectCounts::Add(const is::Inspection& file) {
    ++inspected;
    for (int major = 2; major <= 4; ++major) {
        withId3v2[static_cast<std::size_t>(major - 2)] +=
            std::any_of(file.id3v2.begin(), file.id3v2.end(),
                        [&](const is::Id3v2Tag& t) { return t.major == major; })
                ? 1
                : 0;
    }
    withApev2 += file.apev2.empty() ? 0 : 1;
    withJunk += std::any_of(file.regions.begin(), file.regions.end(),
                            [](const is::Region& r) { return r.kind == "junk"; })
                    ? 1
                    : 0;
    for (const is::Severity s : {is::Severity::Error, is::Severity::Warning, is::Severity::Info}) {
        withNotes[static_cast<std::size_t>(s)] +=
            std::any_of(file.notes.begin(), file.notes.end(),
                        [&](const is::Note& n) { return n.severity == s; })
                ? 1
                : 0;
    }
}

void InspectCounts::Add(const InspectCounts& other) {
    inspected += other.inspected;
    withApev2 += other.withApev2;
    withJunk += other.withJunk;
    for (std::size_t i = 0; i < 3; ++i) {
        withId3v2[i] += other.withId3v2[i];
        withNotes[i] += other.withNotes[i];
    }
}

std::vector<std::pair<std::string, std::string>> InspectSummaryRows(const InspectCounts& c) {
    return {
        {"Inspected", std::to_string(c.inspected)},
        {"Inspected with ID3v2.2", std::to_string(c.withId3v2[0])},
        {"Inspected with ID3v2.3", std::to_string(c.withId3v2[1])},
        {"Inspected with ID3v2.4", std::to_string(c.withId3v2[2])},
        {"Inspected with APEv2", std::to_string(c.withApev2)},
        {"Inspected with junk", std::to_string(c.withJunk)},
        {"Inspected with errors", std::to_string(c.withNotes[0])},
        {"Inspected with warnings", std::to_string(c.withNotes[1])},
        {"Inspected with infos", std::to_string(c.withNotes[2])},
    };
}

void InspectSummaryJson(Json& json, const InspectCounts& c) {
    json = {{"inspected", c.inspected},
            {"withID3v2", {{"2", c.withId3v2[0]}, {"3", c.withId3v2[1]}, {"4", c.withId3v2[2]}}},
            {"withAPEv2", c.withApev2},
            {"withJunk", c.withJunk},
            {"withNotes",
             {{"error", c.withNotes[0]}, {"warning", c.withNotes[1]}, {"info", c.withNotes[2]}}}};
}

}  // namespace veltrane
