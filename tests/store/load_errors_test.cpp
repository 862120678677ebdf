// Load errors of the store and of the description: the parser's own text first, then the file
// and the place in it.
#include <gmock/gmock.h>

#include "store/description.h"
#include "store_test_util.h"

namespace zeph::store::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

// Cut short anywhere, the store's and the description's errors say where.
TEST(LoadErrorTest, EveryCutNamesTheFileAndThePlace) {
    TempFolder folder;
    ScriptStore store(folder.Host());
    store.CreateDefaultStore();
    store.StoreScript("A", "VBScript", "MsgBox \"a\"\r\nMsgBox 'b'");
    const std::string line = std::string(u8", строка "_cp);
    for (const char* name : {"zpconfig.cfg", "TellurTlb.xml"}) {
        const fs::path path = folder.File(name);
        const std::string whole = name[0] == 'z' ? ReadBytes(path) : DataFile(name);
        for (std::size_t cut = 1; cut < whole.size(); cut += whole.size() / 50) {
            WriteBytes(path, whole.substr(0, cut));
            FakeWindow window;
            const std::string error = ErrorOf([&] {
                if (name[0] == 'z')
                    store.ApplyStore(window);
                else
                    LoadDescription(folder.Host());
            });
            EXPECT_THAT(error, HasSubstr("\"" + path.string() + "\"")) << cut;
            // A declaration alone is well-formed: the store then has no root element.
            if (error.find(u8"корневого"_cp) == std::string::npos) {
                EXPECT_THAT(error, HasSubstr(line)) << cut;
            }
        }
    }
    // The binary form has no lines: the place is the offset from the file's start.
    WriteBytes(folder.File("TellurTlb.xml"), std::string("< binary-xml >\x01\x00\x00\x00\x05", 19));
    const std::string error = ErrorOf([&] { LoadDescription(folder.Host()); });
    EXPECT_THAT(error, StartsWith(std::string(u8"Ошибка чтения данных. (файл"_cp)));
    EXPECT_THAT(error, HasSubstr(std::string(u8", смещение 19)"_cp)));
}

}  // namespace
}  // namespace zeph::store::testing
