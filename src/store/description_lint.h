// Checks a host object-model description the way code completion and the constants prelude
// read it, for host integrators who write "TellurTlb.xml": each finding names its place in the
// tree and says what the readers will do wrong with it. Our readers never reject a description;
// they silently skip, shadow or mis-declare, which is what this makes visible.
#pragma once

#include <string>
#include <vector>

#include "xml/xml.h"

namespace zeph::store {

struct LintProblem {
    // Where: `entry 3 "IMap"`, optionally followed by `, property 2 "Style"` (1-based positions
    // among the child nodes, so that comments count as the readers count them).
    std::string place;
    std::string message;
};

struct LintReport {
    std::vector<LintProblem> problems;
    int entries = 0;
    int members = 0;  // "property", "method" and "const" elements
    int constants = 0;
};

// All texts are code page 1251, like the document's.
LintReport LintDescription(xml::IXmlDocument& doc);

}  // namespace zeph::store
