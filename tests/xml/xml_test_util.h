// Helpers shared by the XML tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "text/cp1251.h"
#include "xml/xml.h"

namespace zeph::xml::testing {

using text::operator""_cp;

inline XmlRef<IXmlDocument> Parse(std::string_view bytes) {
    auto doc = CreateXmlDocument();
    doc->LoadFromBytes(bytes);
    return doc;
}

// The message of the error that loading `bytes` raises, or "" when it loads.
inline std::string LoadError(std::string_view bytes) {
    auto doc = CreateXmlDocument();
    try {
        MemorySource source(bytes);
        doc->LoadFromStream(source);
    } catch (const XmlError& e) {
        return e.what();
    }
    return {};
}

}  // namespace zeph::xml::testing
