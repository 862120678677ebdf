// The guide cannot fall behind the product again: its index names every key the workbench
// answers, and its page on messages quotes only texts the product shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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
            if (WorkbenchPresenter::IsRunSelectionKey(key) ||
                WorkbenchPresenter::IsOutputKey(key) || WorkbenchPresenter::IsScriptKey(key))
                expect_indexed(key);
        }
    for (KeyStroke key : {Ctrl('G'), Ctrl(vk::kSlash)})
        if (WorkbenchPresenter::IsScriptKey(key)) expect_indexed(key);
    // And the file and version commands, on letters.
    for (std::uint16_t letter = 'A'; letter <= 'Z'; ++letter)
        for (std::uint8_t m : {std::uint8_t{kCtrl}, static_cast<std::uint8_t>(kCtrl | kShift)})
            if (WorkbenchPresenter::FileCommandForKey({letter, m})) expect_indexed({letter, m});
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Every string literal of the product's code, as one text, with escaped quotes unescaped.
std::string ProductTexts() {
    std::string all;
    const std::filesystem::path root = std::string(ZEPH_TEST_DATA) + "/../..";
    for (const char* folder : {"src", "win32"})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder))
            if (entry.path().extension() == ".cpp") all += ReadFile(entry.path());
    return std::regex_replace(all, std::regex(R"(\\")"), "\"");
}

TEST(HelpPages, TheMessagesPageQuotesOnlyTextsTheProductShows) {
    const std::string page = ReadFile(std::string(ZEPH_TEST_DATA) + "/../../docs/help/errors.html");
    const std::string product = ProductTexts();
    const std::regex quoted(R"re(<span class="msg">([^<]*)</span>)re");
    int count = 0;
    for (std::sregex_iterator it(page.begin(), page.end(), quoted), end; it != end; ++it) {
        std::string text = std::regex_replace((*it)[1].str(), std::regex(R"(\s+)"), " ");
        text = std::regex_replace(text, std::regex("&quot;"), "\"");
        ++count;
        EXPECT_NE(product.find(text), std::string::npos) << "the product never shows: " << text;
    }
    EXPECT_GE(count, 10) << "the page's quoted messages were not found";
}

}  // namespace
}  // namespace zeph::workbench
