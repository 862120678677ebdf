// A generated host description of about 2 MB: 200 interfaces of 45 members with help texts and
// parameters, and 20 enumerations of 50 constants. The completion and run-start benchmarks
// measure against the same file.
#pragma once

#include <random>
#include <string>

namespace zeph::bench {

constexpr int kInterfaces = 200;
constexpr int kMembersPerInterface = 45;
constexpr int kEnums = 20;
constexpr int kConstantsPerEnum = 50;

inline std::string InterfaceName(int i) {
    if (i == 0) return "ITellurApplication";
    if (i == 1) return "IMap";
    if (i == 2) return "ILayer";
    return "ITellurObject" + std::to_string(i);
}

// Interfaces in runs of five, each extending the next; members typed by other interfaces, by
// enumerations or by scalar types; parameters on some properties and most methods.
inline std::string GenerateDescription() {
    std::mt19937 rng(12345);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* scalars[] = {"Long", "String", "Double", "Boolean", "Variant", "Date"};
    const char* common[] = {"Name", "Caption", "Visible", "Count", "Item", "Parent", "Tag"};
    auto help = [&](const std::string& what) {
        return " helpstring=\"" + what +
               " of the object; see the host's reference for the details of its use and its valid "
               "values\"";
    };
    auto params = [&](std::string& out, int n) {
        for (int k = 0; k < n; ++k) {
            out += "\t\t\t<Param name=\"Argument" + std::to_string(k + 1) + "\" type=\"" +
                   scalars[pick(6)] + "\"/>\r\n";
        }
    };
    std::string out = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<TellurTlb>\r\n";
    for (int i = 0; i < kInterfaces; ++i) {
        out += "\t<Interface name=\"" + InterfaceName(i) + "\"";
        if (i % 5 != 4 && i + 1 < kInterfaces) out += " base=\"" + InterfaceName(i + 1) + "\"";
        out += ">\r\n";
        out += "\t\t<property name=\"Application\" type=\"ITellurApplication\"" +
               help("The application") + "/>\r\n";
        if (i == 0) out += "\t\t<property name=\"ActiveMap\" type=\"IMap\"/>\r\n";
        if (i == 1) {
            out += "\t\t<property name=\"Layer\" type=\"ILayer\">\r\n";
            params(out, 1);
            out += "\t\t</property>\r\n";
        }
        const int own = kMembersPerInterface - 1 - (i < 2 ? 1 : 0);
        for (int m = 0; m < own; ++m) {
            std::string name = m < 7 && pick(3) == 0
                                   ? std::string(common[m])
                                   : "Member" + std::to_string(i) + "_" + std::to_string(m);
            if (m % 2 == 0) {
                std::string type = pick(3) == 0   ? InterfaceName(pick(kInterfaces))
                                   : pick(4) == 0 ? "TEnum" + std::to_string(pick(kEnums))
                                                  : scalars[pick(6)];
                const int n = pick(4) == 0 ? 1 + pick(2) : 0;
                out += "\t\t<property name=\"" + name + "\" type=\"" + type + "\"" +
                       help("The property " + name);
                if (n == 0) {
                    out += "/>\r\n";
                } else {
                    out += ">\r\n";
                    params(out, n);
                    out += "\t\t</property>\r\n";
                }
            } else {
                const int n = pick(4);
                out += "\t\t<method name=\"" + name + "\"";
                if (pick(2)) out += std::string(" return=\"") + scalars[pick(6)] + "\"";
                out += help("The method " + name);
                if (n == 0) {
                    out += "/>\r\n";
                } else {
                    out += ">\r\n";
                    params(out, n);
                    out += "\t\t</method>\r\n";
                }
            }
        }
        out += "\t</Interface>\r\n";
    }
    for (int e = 0; e < kEnums; ++e) {
        out += "\t<Enum name=\"TEnum" + std::to_string(e) + "\">\r\n";
        for (int c = 0; c < kConstantsPerEnum; ++c) {
            out += "\t\t<const name=\"te" + std::to_string(e) + "Value" + std::to_string(c) +
                   "\" value=\"" + std::to_string(c) + "\"/>\r\n";
        }
        out += "\t</Enum>\r\n";
    }
    out += "</TellurTlb>";
    return out;
}

}  // namespace zeph::bench
