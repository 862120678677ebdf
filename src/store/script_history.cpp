#include "store/script_history.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "store/store_files.h"
#include "text/cp1251.h"

namespace zeph::store {

namespace {

using text::operator""_cp;
namespace fs = std::filesystem;

constexpr std::string_view kRoot = "History";
constexpr std::string_view kVersion = "Version";

std::size_t Weight(const ScriptVersion& v) {
    return v.name.size() + v.text.size();
}

std::int64_t ParseTime(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // A time that does not read sorts as the oldest; the text is what matters.
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

// Year, month and day of a count of days since 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

int LineCount(std::string_view text) {
    if (text.empty()) return 0;
    int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    if (text.back() != '\n') ++lines;
    return lines;
}

}  // namespace

std::vector<ScriptVersion> ReadHistory(xml::IFileSystem& files, const fs::path& path) {
    std::vector<ScriptVersion> history;
    std::string bytes;
    try {
        bytes = xml::ReadAll(files, path);
    } catch (const xml::XmlError&) {
        std::error_code ec;
        if (fs::status(path, ec).type() == fs::file_type::not_found) return history;
        throw;
    }
    auto doc = xml::CreateXmlDocument();
    try {
        doc->LoadFromBytes(bytes);
    } catch (const xml::XmlError& e) {
        throw HistoryDamaged(xml::LoadErrorText(e, path, bytes));
    }
    auto root = doc->DocumentElement();
    if (!root || root->NodeName() != kRoot)
        throw HistoryDamaged(std::string(u8"Файл \""_cp) + files::PathText(path) +
                             std::string(u8"\" не является историей версий скриптов"_cp));
    auto children = root->ChildNodes();
    for (int i = 0, count = children->Count(); i < count; ++i) {
        auto node = children->Item(i);
        if (node->NodeType() != xml::kElementNode || node->NodeName() != kVersion) continue;
        history.push_back({node->GetAttr("Name", ""), node->GetAttr("Language", "VBScript"),
                           ParseTime(node->GetAttr("Time", "0")), node->GetAttr("Text", "")});
    }
    return history;
}

std::string HistoryBytes(const std::vector<ScriptVersion>& versions) {
    auto doc = xml::CreateXmlDocument(kRoot, "1.0", "");
    auto root = doc->DocumentElement();
    for (const ScriptVersion& v : versions) {
        auto node = root->AppendElement(kVersion);
        node->SetAttr("Name", v.name);
        node->SetAttr("Language", v.language);
        node->SetAttr("Time", std::to_string(v.time));
        node->SetAttr("Text", v.text);
    }
    std::string bytes;
    xml::StringSink sink(&bytes);
    doc->SaveToStream(sink);
    return bytes;
}

bool AddVersion(std::vector<ScriptVersion>& history, ScriptVersion version,
                const HistoryLimits& limits) {
    if (version.text.empty()) return true;
    if (Weight(version) > limits.total_bytes || limits.per_script == 0) return false;
    const auto newest = std::find_if(history.rbegin(), history.rend(), [&](const ScriptVersion& v) {
        return v.name == version.name;
    });
    if (newest != history.rend() && newest->text == version.text &&
        newest->language == version.language)
        return true;
    history.push_back(std::move(version));
    const ScriptVersion& added = history.back();

    // Per name: the oldest of that name beyond the count go.
    std::size_t same = 0;
    for (const ScriptVersion& v : history) same += v.name == added.name;
    for (auto it = history.begin(); same > limits.per_script;) {
        if (it->name == added.name) {
            it = history.erase(it);
            --same;
        } else {
            ++it;
        }
    }
    // Altogether: the oldest of any name go, never the one just added (it is the last).
    std::size_t total = 0;
    for (const ScriptVersion& v : history) total += Weight(v);
    std::size_t drop = 0;
    while (total > limits.total_bytes && drop + 1 < history.size())
        total -= Weight(history[drop++]);
    history.erase(history.begin(), history.begin() + static_cast<std::ptrdiff_t>(drop));
    return true;
}

std::vector<ScriptVersion> VersionsOf(const std::vector<ScriptVersion>& history,
                                      std::string_view name) {
    std::vector<ScriptVersion> out;
    for (auto it = history.rbegin(); it != history.rend(); ++it)
        if (it->name == name) out.push_back(*it);
    return out;
}

std::string VersionRowText(const ScriptVersion& version, std::int64_t utc_offset) {
    const std::int64_t local = version.time + utc_offset;
    std::int64_t days = local / 86400, seconds = local % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    int year = 0, month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char when[40];
    std::snprintf(when, sizeof when, "%02d.%02d.%04d %02d:%02d:%02d", day, month, year,
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return std::string(when) + std::string(u8" — "_cp) + std::to_string(version.text.size()) +
           std::string(u8" байт, строк: "_cp) + std::to_string(LineCount(version.text));
}

}  // namespace zeph::store
