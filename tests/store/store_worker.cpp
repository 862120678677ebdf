// A second process at the store, for the tests of two processes sharing one data folder: saves
// as the workbench's Enter does (the script, the window state, then opening the store again),
// round after round, each written once at its commit point. Exits 0 when every round went through;
// otherwise prints the error.
//
//   store_worker FOLDER ROUNDS PREFIX [--dropping-replace]
//
// FOLDER is given without its trailing separator.
//
// ROUNDS 0 saves until killed. --dropping-replace removes the store before each replace and
// pauses there, as a platform whose replace is two renames does.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "store_test_util.h"
#include "support/file_faults.h"

using namespace zeph;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const fs::path folder = fs::path(argv[1]) / "";
    const int rounds = std::atoi(argv[2]);
    const std::string prefix = argv[3];
    const bool dropping = argc > 4 && std::string(argv[4]) == "--dropping-replace";

    xml::FaultInjectingFileSystem faulty([](xml::FileStep step, const fs::path& path) {
        if (step == xml::FileStep::Replace && path.filename() == "zpconfig.cfg") {
            std::error_code ec;
            fs::remove(path, ec);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    store::ScriptStore store([&] { return folder; }, dropping ? faulty : xml::PlatformFileSystem());
    store::testing::FakeWindow window;
    try {
        for (int i = 0; rounds == 0 || i < rounds; ++i) {
            const std::string name = prefix + std::to_string(i);
            store::ScriptStore::Action action(store);
            store.StoreScript(name, "VBScript", "MsgBox \"" + name + "\"\r\n");
            window.box_text = name;
            store.SaveWorkbenchState(window);
            store.ApplyStore(window);
            action.Commit();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
