#pragma once
// A command's answer: one report and one table of its fields, shown as text or as JSON from
// that table, so that a field is added in one place.

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <span>
#include <string>

using Json = nlohmann::ordered_json;

template <typename Report> struct ReportField {
    const char* key;   // the JSON key
    const char* label; // the text line's label ("" for none); nullptr: JSON only
    Json (*json)(const Report&);
    // The text after the label, nullopt for no line; without it, JSON's value as text. A text
    // that starts with a line break is a block below the label.
    std::optional<std::string> (*text)(const Report&) = nullptr;
};

// A JSON value as a text line: a string as it is, null "none", true and false "yes" and "no",
// a list comma-separated ("none" when empty).
std::string JsonText(const Json& value);

template <typename Report>
Json ReportJson(const Report& report, std::span<const ReportField<Report>> fields) {
    Json answer = Json::object();
    for (const auto& field : fields) {
        answer[field.key] = field.json(report);
    }
    return answer;
}

template <typename Report>
std::string ReportText(const Report& report, std::span<const ReportField<Report>> fields) {
    std::string lines;
    for (const auto& field : fields) {
        if (field.label == nullptr) {
            continue;
        }
        const auto text = field.text ? field.text(report) : JsonText(field.json(report));
        if (!text) {
            continue;
        }
        const std::string label = field.label;
        lines += label + (label.empty() || text->starts_with('\n') ? ":" : ": ");
        lines.erase(label.empty() ? lines.size() - 1 : lines.size());
        lines += *text + "\n";
    }
    return lines;
}

template <typename Report>
void Render(const Report& report, std::span<const ReportField<Report>> fields, bool json,
            std::ostream& out) {
    if (json) {
        out << ReportJson(report, fields).dump(2) << '\n';
    } else {
        out << ReportText(report, fields);
    }
}
