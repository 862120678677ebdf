// The guide's index names every key the workbench answers, so that it cannot fall behind the
// key tables again.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "workbench/actions.h"
#include "workbench/keys.h"
#include "workbench/presenter.h"

namespace zeph::workbench {
namespace {

std::vector<KeyStroke> IndexedKeys() {
    std::ifstream file(std::string(ZEPH_TEST_DATA) + "/../../docs/help/index.hhk",
                       std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    std::vector<KeyStroke> keys;
    const std::regex name(R"re(<param name="Name" value="([^"]*)">)re");
    for (std::sregex_iterator it(text.begin(), text.end(), name), end; it != end; ++it)
        if (std::optional<KeyStroke> key = ParseKeyStroke((*it)[1].str())) keys.push_back(*key);
    return keys;
}

TEST(HelpIndex, NamesEveryKeyOfTheActionsAndTheWindow) {
    const std::vector<KeyStroke> indexed = IndexedKeys();
    ASSERT_FALSE(indexed.empty()) << "the index was not read";
    auto expect_indexed = [&](KeyStroke key) {
        EXPECT_NE(std::find(indexed.begin(), indexed.end(), key), indexed.end())
            << KeyStrokeText(key) << " is not in the guide's index";
    };
    for (const ActionInfo& action : ActionTable()) {
        if (action.key) expect_indexed(*action.key);
        if (std::optional<KeyStroke> second = ParseKeyStroke(action.second_key))
            expect_indexed(*second);
    }
    // The keys the window answers besides its actions: running the selection and the output
    // pane's, found by asking the presenter about every function key.
    for (int n = 1; n <= 12; ++n)
        for (std::uint8_t m : {kNoModifier, kShift, kCtrl}) {
            const KeyStroke key{F(n).key, m};
            if (WorkbenchPresenter::IsRunSelectionKey(key) || WorkbenchPresenter::IsOutputKey(key))
                expect_indexed(key);
        }
    // And the file and version commands, on letters.
    for (std::uint16_t letter = 'A'; letter <= 'Z'; ++letter)
        for (std::uint8_t m : {std::uint8_t{kCtrl}, static_cast<std::uint8_t>(kCtrl | kShift)})
            if (WorkbenchPresenter::FileCommandForKey({letter, m})) expect_indexed({letter, m});
}

}  // namespace
}  // namespace zeph::workbench
