// What both fuzzers do with a loaded document: read it through the interfaces and write it, so
// that the writer and the freeing of whatever the readers built are exercised as well.
#pragma once

#include <string>

#include "xml/node.h"
#include "xml/xml.h"

namespace zeph::xml::fuzz {

inline void Exercise(std::string_view bytes) {
    {
        auto doc = CreateXmlDocument();
        try {
            doc->LoadFromBytes(bytes);
        } catch (const XmlError&) {
            // A failed load keeps what was read so far; it must still be writable and freeable.
        }
        try {
            std::string text = doc->GetXml();
            // What the writer produced must load again.
            auto again = CreateXmlDocument();
            again->LoadFromBytes(text);
        } catch (const XmlError&) {
        }
        if (auto root = doc->DocumentElement()) {
            for (int i = 0; i < root->AttrCount(); ++i) {
                std::string name = root->AttrName(i);
                try {
                    root->GetIntAttr(name, 0);
                } catch (const XmlError&) {
                }
                try {
                    root->GetBoolAttr(name, false);
                } catch (const XmlError&) {
                }
                root->GetAttr(name, "");
            }
            root->ElementsByName(root->NodeName());
        }
    }
    // Every document is gone: so must be every name they brought.
    if (LiveNameCount() != 0) __builtin_trap();
}

}  // namespace zeph::xml::fuzz
