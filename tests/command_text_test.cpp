#include "command_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TextCase {
    const char* name;
    std::vector<std::string> arguments;  // after the program's path
    std::string expected;
};

TEST(BuildCommandText, JoinsArgumentsWithOneBlankAndTrimsTheEnd) {
    const std::vector<TextCase> cases = {
        {"one word", {"ZOM+"}, "ZOM+"},
        {"three words", {"GOXY", "X:100", "Y:200"}, "GOXY X:100 Y:200"},
        {"one empty argument gives an empty text", {""}, ""},
        {"empty argument between two", {"ZOM+", "", "X"}, "ZOM+  X"},
        {"leading blanks of the first argument stay", {"  ZOM+"}, "  ZOM+"},
        {"blanks inside an argument stay", {"a  b"}, "a  b"},
        {"trailing blanks and tabs go with the appended blank", {"X:1 \t"}, "X:1"},
        {"trailing empty and blank arguments go", {"x", "", "  "}, "x"},
        {"all six white-space characters", {"a\t\n\v\f\r "}, "a"},
        {"white space inside stays", {"a\tb\nc"}, "a\tb\nc"},
        {"only white space", {" \t ", " "}, ""},
        {"no-break space is not white space", {"a\xA0"}, "a\xA0"},
        {"0x85 is not white space", {"a\x85", " "}, "a\x85"},
        {"high bytes before white space", {"\xE9t\xE9\t"}, "\xE9t\xE9"},
    };
    for (const TextCase& c : cases) {
        std::vector<std::string> arguments = {"Zenolt"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(BuildCommandText(arguments), c.expected) << c.name;
    }
}

TEST(BuildCommandText, IgnoresTheProgramPath) {
    EXPECT_EQ(BuildCommandText({"C:\\Program Files\\Zenolt.exe"}), "");
    EXPECT_EQ(BuildCommandText({"ZOM-", "ZOM+"}), "ZOM+");
}

}  // namespace
