#include "forms/help_key.h"

namespace zeph::forms {

namespace {

const HelpComponent* FormAbove(const HelpComponent& component) {
    for (const HelpComponent* c = &component; c; c = c->parent)
        if (c->isForm) return c;
    return nullptr;
}

std::string Key(const HelpComponent& c) {
    if (c.isForm) return "Form";
    if (!c.name.empty()) return c.name;
    std::string key;
    // An unnamed control inside a panel or group is told apart by the path from the form.
    if (c.isControl && c.parent && !c.parent->isForm) key = Key(*c.parent) + ".";
    key += ShortClassName(c.className);
    key += std::to_string(c.index);
    return key;
}

}  // namespace

std::string ShortClassName(std::string_view className) {
    if (className.size() >= 2 && className[0] == 'T' && className[1] >= 'A' && className[1] <= 'Z')
        className.remove_prefix(1);
    return std::string(className);
}

HelpKey HelpKeyOf(const HelpComponent& component, int hitTest, std::string_view mainFormClass) {
    HelpKey result;
    const HelpComponent* form = FormAbove(component);
    result.section = form ? form->className : std::string(mainFormClass);
    result.key = Key(component);
    if (hitTest != kHitClient) {
        result.key += "(" + std::to_string(hitTest) + ")";
        if (hitTest != kHitHorizontalScroll && hitTest != kHitVerticalScroll)
            result.section = "Forms";
    }
    return result;
}

HelpRequest ParseHelpText(std::string_view helpFile, std::string_view text) {
    HelpRequest request;
    request.file = std::string(helpFile);
    if (text.empty() || text[0] != '#') {
        if (!text.empty()) request.file += "::/" + std::string(text);
        return request;
    }
    request.kind = HelpRequest::Kind::Popup;
    std::size_t i = 1;
    std::uint64_t id = 0;
    bool usable = true;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        id = id * 10 + static_cast<unsigned>(text[i] - '0');
        // A number too long for an identifier names no string; the popup then shows none.
        if (id > 0xFFFFFFFFu) usable = false, id = 0xFFFFFFFFu;
    }
    request.stringId = usable ? static_cast<std::uint32_t>(id) : 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size()) request.file += "::/" + std::string(text.substr(i));
    return request;
}

}  // namespace zeph::forms
