// What's-this help without the windows: the (section, key) pair under which the help reference
// of a component is stored, and what a stored help text asks the help viewer for.
//
// Texts are code page 1251, as everywhere in the core.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zeph::forms {

// Hit-test codes that the naming treats specially.
inline constexpr int kHitClient = 1;
inline constexpr int kHitHorizontalScroll = 6;
inline constexpr int kHitVerticalScroll = 7;

// A component as the what's-this controller sees it. Controls hang from their parent control
// (the form at the top); other components (menu items) from their owner.
struct HelpComponent {
    std::string name;       // empty for an unnamed component
    std::string className;  // "TButton", "TTestForm"
    bool isForm = false;
    bool isControl = true;
    int index = 0;  // among the parent's controls, or among the owner's components
    const HelpComponent* parent = nullptr;
};

struct HelpKey {
    std::string section;
    std::string key;
    bool operator==(const HelpKey&) const = default;
};

// "TButton" -> "Button". Only a "T" that starts a class-like name goes ("ToolbarWindow32" and
// "Edit" stay as they are), so that native classes keep their names.
std::string ShortClassName(std::string_view className);

// The pair for `component` clicked with `hitTest`. The section is the class name of the form
// that holds the component; `mainFormClass` stands in for a component without any form above it.
// Any code but the client area's is appended to the key in parentheses, and moves the pair to
// the section "Forms" unless it is a scroll bar's.
HelpKey HelpKeyOf(const HelpComponent& component, int hitTest, std::string_view mainFormClass = "");

// `path` with its extension (after the last "." of the file name) replaced by `extension`, or
// with `extension` appended when the name has none. `extension` includes its dot. For code page
// 1251 text and for the platform's UTF-16 paths alike.
template <typename Char>
std::basic_string<Char> ChangeExtension(std::basic_string_view<Char> path,
                                        std::basic_string_view<Char> extension) {
    std::size_t name = std::basic_string_view<Char>::npos;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (path[i] == Char('\\') || path[i] == Char('/') || path[i] == Char(':')) name = i;
    const std::size_t dot = path.rfind(Char('.'));
    if (dot != path.npos && (name == path.npos || dot > name)) path = path.substr(0, dot);
    std::basic_string<Char> result(path);
    result += extension;
    return result;
}
inline std::string ChangeExtension(std::string_view path, std::string_view extension) {
    return ChangeExtension<char>(path, extension);
}

// What a stored help text asks for. A text that begins with "#" is a text popup: the number
// after "#" is the string identifier and a name after it (blanks skipped) is a text file inside
// the help file. Any other text is a topic of the help file; the empty text its default topic.
struct HelpRequest {
    enum class Kind { Topic, Popup };
    Kind kind = Kind::Topic;
    std::string file;            // the help file, with "::/" and the topic or text file if any
    std::uint32_t stringId = 0;  // popups only; 0 when the text has no usable number
    bool operator==(const HelpRequest&) const = default;
};

HelpRequest ParseHelpText(std::string_view helpFile, std::string_view text);

}  // namespace zeph::forms
