#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool NoLeadBytes(unsigned char) { return false; }

// Shift-JIS style lead bytes, so that tests can put a lead byte before a
// quote, backslash or blank.
bool ShiftJisLeadBytes(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

struct SplitCase {
    const char* name;
    std::string commandLine;
    std::vector<std::string> expected;  // the whole vector, element 0 included
};

void ExpectSplits(const std::vector<SplitCase>& cases, LeadBytePredicate isLeadByte) {
    for (const SplitCase& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.commandLine, isLeadByte), c.expected) << c.name;
    }
}

TEST(SplitCommandLine, SeparatorsEndArgumentsAndBelongToNone) {
    ExpectSplits({
        {"one word", "Zenolt ZOM+", {"Zenolt", "ZOM+"}},
        {"three words", "Zenolt GOXY X:100 Y:200", {"Zenolt", "GOXY", "X:100", "Y:200"}},
        {"runs of blanks and tabs", "Zenolt \t GOXY\t\tX:100   ", {"Zenolt", "GOXY", "X:100"}},
        {"nothing after the program", "Zenolt", {"Zenolt"}},
        {"only separators after the program", "Zenolt  \t ", {"Zenolt"}},
        {"empty line", "", {""}},
    }, NoLeadBytes);
}

TEST(SplitCommandLine, QuotesGroupAndAreDropped) {
    ExpectSplits({
        {"one empty argument", "Zenolt \"\"", {"Zenolt", ""}},
        {"empty argument between two", "Zenolt ZOM+ \"\" X", {"Zenolt", "ZOM+", "", "X"}},
        {"leading and trailing blanks kept", "Zenolt \"  lead\" \"trail \t\"",
         {"Zenolt", "  lead", "trail \t"}},
        {"quotes inside a word", "Zenolt ab\"c d\"e", {"Zenolt", "abc de"}},
        {"unterminated quote runs to the end", "Zenolt \"abc def", {"Zenolt", "abc def"}},
        {"two quotes in quoted mode: literal quote, quoting ends", "Zenolt \"a\"\"b c\"",
         {"Zenolt", "a\"b", "c"}},
        {"three quotes", "Zenolt \"\"\"", {"Zenolt", "\""}},
        {"four quotes", "Zenolt \"\"\"\"", {"Zenolt", "\""}},
        {"two quotes outside quoted mode open and close", "Zenolt a\"\"b", {"Zenolt", "ab"}},
        {"the MOVE line typed as the usage list shows it",
         "Zenolt MOVE RA: 00h00m00.00s DEC:-00\xF8" "00'00.0\" FOV:+00\xF8" "00'00\"",
         {"Zenolt", "MOVE", "RA:", "00h00m00.00s",
          "DEC:-00\xF8" "00'00.0 FOV:+00\xF8" "00'00"}},
    }, NoLeadBytes);
}

TEST(SplitCommandLine, BackslashesCountOnlyBeforeQuotes) {
    ExpectSplits({
        {"backslashes elsewhere copied", "Zenolt a\\\\b\\ c\\", {"Zenolt", "a\\\\b\\", "c\\"}},
        {"one backslash: literal quote", "Zenolt a\\\"b", {"Zenolt", "a\"b"}},
        {"two backslashes: one, and the quote opens", "Zenolt a\\\\\"b c\"",
         {"Zenolt", "a\\b c"}},
        {"three backslashes: one and a literal quote", "Zenolt a\\\\\\\"b",
         {"Zenolt", "a\\\"b"}},
        {"four backslashes: two, and the quote opens", "Zenolt a\\\\\\\\\"b\"",
         {"Zenolt", "a\\\\b"}},
        {"escaped quote inside quotes", "Zenolt \"a \\\" b\"", {"Zenolt", "a \" b"}},
        {"backslashes at the very end", "Zenolt abc\\\\", {"Zenolt", "abc\\\\"}},
    }, NoLeadBytes);
}

TEST(SplitCommandLine, FirstTokenFollowsTheSimplerRule) {
    ExpectSplits({
        {"quoted path with blanks", "\"C:\\Program Files\\Zenolt.exe\" ZOM+",
         {"C:\\Program Files\\Zenolt.exe", "ZOM+"}},
        {"plain path", "C:\\bin\\Zenolt.exe\tZOM+", {"C:\\bin\\Zenolt.exe", "ZOM+"}},
        {"argument right after the closing quote", "\"C:\\a b\\Z.exe\"X ZOM+",
         {"C:\\a b\\Z.exe", "X", "ZOM+"}},
        {"backslash before the closing quote means nothing", "\"C:\\dir\\\"x y",
         {"C:\\dir\\", "x", "y"}},
        {"a quote inside an unquoted first token is kept", "Zen\"olt ZOM+",
         {"Zen\"olt", "ZOM+"}},
        {"unterminated quoted first token", "\"C:\\a b", {"C:\\a b"}},
        {"empty quoted first token", "\"\" ZOM+", {"", "ZOM+"}},
    }, NoLeadBytes);
}

TEST(SplitCommandLine, LeadBytesKeepTheirTrailByte) {
    ExpectSplits({
        {"trail byte looks like a backslash", "Zenolt \x81\\\"x y\"", {"Zenolt", "\x81\\x y"}},
        {"trail byte looks like a quote", "Zenolt \x81\" x", {"Zenolt", "\x81\"", "x"}},
        {"trail byte looks like a blank", "Zenolt \x81 x", {"Zenolt", "\x81 x"}},
        {"lead byte last on the line", "Zenolt ab\x81", {"Zenolt", "ab\x81"}},
        {"lead byte alone at the end", "Zenolt \xE0", {"Zenolt", "\xE0"}},
        {"in the quoted first token", "\"ab\x81\" c\" ZOM+", {"ab\x81\" c", "ZOM+"}},
        {"in the plain first token", "Zen\x81 x ZOM+", {"Zen\x81 x", "ZOM+"}},
        {"lead byte last in the first token", "Zen\x81", {"Zen\x81"}},
        {"bytes that are not lead bytes pass alone", "Zenolt \xA0\" x\"", {"Zenolt", "\xA0 x"}},
    }, ShiftJisLeadBytes);
}

TEST(SplitCommandLine, WithoutLeadBytesHighBytesAreOrdinary) {
    ExpectSplits({
        {"0x81 before a backslash and quote", "Zenolt \x81\\\"x y\"",
         {"Zenolt", "\x81\"x", "y"}},
        {"high bytes pass through", "Zenolt \xE9t\xE9 \xFF\xA0", {"Zenolt", "\xE9t\xE9", "\xFF\xA0"}},
    }, NoLeadBytes);
}

}  // namespace
