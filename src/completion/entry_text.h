// Texts of the completion pop-up's entries: the item text (kind, tab, name, tab, signature, in
// the pop-up's pretty-text form) and the text inserted when the entry is accepted.
#pragma once

#include <string>
#include <string_view>

namespace zeph::completion {

struct EntryText {
    std::string item;
    std::string insert;
};

// The characters of `text` from 1-based column `start` on, at most `count` of them. A start below
// 1 counts as 1; the result is shorter at the end of the text and empty past it.
std::string_view Slice(std::string_view text, int start, int count);

// `params` is the member's parameter text; `has_params` whether the member has any parameter
// node at all.
std::string PlainPropertyItem(std::string_view name, std::string_view type);
std::string IndexedPropertyItem(std::string_view name, std::string_view type,
                                std::string_view params);
std::string PlainProcedureItem(std::string_view name);
std::string FunctionItem(std::string_view name, std::string_view params, std::string_view ret);
std::string ProcedureItem(std::string_view name, std::string_view params);
std::string ConstantItem(std::string_view name);

// The entry a member is shown as.
EntryText PropertyEntry(std::string_view name, std::string_view type, std::string_view params,
                        bool has_params);
EntryText MethodEntry(std::string_view name, std::string_view ret, std::string_view params,
                      bool has_params);
EntryText ConstantEntry(std::string_view name);
// A name the script or the language brings: `kind` + tab + name + tab + `signature`, inserting
// the name followed by `after` ("()" for a function that takes parameters).
EntryText NamedEntry(std::string_view kind, std::string_view name, std::string_view signature,
                     std::string_view after = {});

}  // namespace zeph::completion
