#include "script/line_comments.h"

#include <algorithm>

namespace zeph::script {

namespace {

std::size_t Indent(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    return i;
}

}  // namespace

std::string_view LineCommentMarker(Language language) {
    return language == Language::kVBScript ? "'" : "//";
}

std::vector<std::string> ToggleLineComments(Language language, std::vector<std::string> lines) {
    const std::string_view marker = LineCommentMarker(language);
    auto blank = [](const std::string& l) { return Indent(l) == l.size(); };
    auto commented = [&](const std::string& l) {
        return std::string_view(l).substr(Indent(l)).starts_with(marker);
    };
    const bool all = std::all_of(lines.begin(), lines.end(),
                                 [&](const std::string& l) { return blank(l) || commented(l); });
    const bool any = !std::all_of(lines.begin(), lines.end(), blank);
    if (!any) return lines;
    if (all) {
        for (std::string& l : lines)
            if (!blank(l)) l.erase(Indent(l), marker.size());
        return lines;
    }
    std::size_t indent = std::string::npos;
    for (const std::string& l : lines)
        if (!blank(l)) indent = std::min(indent, Indent(l));
    for (std::string& l : lines)
        if (!blank(l)) l.insert(indent, marker);
    return lines;
}

}  // namespace zeph::script
