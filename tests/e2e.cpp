// Runs the cases of a table file against the real binary. Each case runs in a fresh
// directory holding its files; the Destfile, standard output, standard error and the
// exit status are compared byte for byte, and the Sourcefile must come out unchanged.
//
// A case is a block of "key: value" lines, ended by a blank line:
//   case:        its name
//   args:        the arguments, split at spaces, names relative to the case directory
//   source:      the bytes of the file "src"
//   dest-before: the bytes of the file "dst" before the run
//   stdin:       bytes fed to the tool through a pipe (otherwise /dev/null)
//   link:        NAME TARGET, a symbolic link;  hardlink: NAME TARGET, a hard link
//   stdout-file: a file that standard output goes to, instead of being compared
//   dest:        the bytes of "dst" after the run; without it, "dst" must not exist
//   stdout, stderr, status: what the tool must write there and end with
//   unix-only:   why the case cannot hold for the Windows build (it is skipped there)
// A key given again appends to its value. Values take the escapes \r \n \t \b \0 \\ and
// \xHH, and \(N) repeats the next character, escape or [bracketed group] N times.
#include <gtest/gtest.h>

#include "tool.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

struct Case {
    std::string Name;
    int Line;
    std::map<std::string, std::string> Fields;
};

static size_t ParseValue(const std::string &Text, size_t At, std::string &Into, bool InGroup);

static size_t ParseUnit(const std::string &Text, size_t At, std::string &Into) {
    if (Text[At] != '\\') {
        Into += Text[At];
        return At + 1;
    }
    char Kind = Text.at(At + 1);
    switch (Kind) {
    case 'r':
        Into += '\r';
        return At + 2;
    case 'n':
        Into += '\n';
        return At + 2;
    case 't':
        Into += '\t';
        return At + 2;
    case 'b':
        Into += '\b';
        return At + 2;
    case '0':
        Into += '\0';
        return At + 2;
    case 'x':
        Into += static_cast<char>(std::stoi(Text.substr(At + 2, 2), nullptr, 16));
        return At + 4;
    case '(': {
        size_t Close = Text.find(')', At);
        long Count = std::stol(Text.substr(At + 2, Close - At - 2));
        std::string Once;
        size_t Next = Text.at(Close + 1) == '[' ? ParseValue(Text, Close + 2, Once, true)
                                                : ParseUnit(Text, Close + 1, Once);
        for (long Time = 0; Time < Count; Time++)
            Into += Once;
        return Next;
    }
    default:
        Into += Kind;
        return At + 2;
    }
}

// Reads units up to the end of the text, or up to the "]" that closes a group.
static size_t ParseValue(const std::string &Text, size_t At, std::string &Into, bool InGroup) {
    while (At < Text.size()) {
        if (InGroup && Text[At] == ']')
            return At + 1;
        At = ParseUnit(Text, At, Into);
    }
    return At;
}

static std::string Unescape(const std::string &Text) {
    std::string Bytes;
    ParseValue(Text, 0, Bytes, false);
    return Bytes;
}

static std::string Escape(const std::string &Bytes) {
    std::string Text;
    for (unsigned char Byte : Bytes) {
        if (Byte == '\r')
            Text += "\\r";
        else if (Byte == '\n')
            Text += "\\n\n";
        else if (Byte == '\\')
            Text += "\\\\";
        else if (Byte < 0x20 || Byte >= 0x7f) {
            char Hex[8];
            snprintf(Hex, sizeof Hex, "\\x%02x", Byte);
            Text += Hex;
        } else
            Text += static_cast<char>(Byte);
    }
    return Text;
}

static std::vector<Case> ReadCases(const char *Path) {
    std::vector<Case> Cases;
    std::ifstream File(Path);
    std::string Line;
    Case Current{"", 0, {}};
    for (int Number = 1; std::getline(File, Line); Number++) {
        if (Line.empty()) {
            if (!Current.Name.empty())
                Cases.push_back(Current);
            Current = Case{"", 0, {}};
            continue;
        }
        if (Line[0] == '#')
            continue;
        size_t Colon = Line.find(':');
        std::string Key = Line.substr(0, Colon);
        std::string Value = Colon + 1 < Line.size() ? Line.substr(Colon + 2) : "";
        if (Key == "case") {
            Current.Name = Value;
            Current.Line = Number;
        }
        Current.Fields[Key] += Value;
    }
    if (!Current.Name.empty())
        Cases.push_back(Current);
    return Cases;
}

static std::vector<std::string> Words(const std::string &Text) {
    std::vector<std::string> Result;
    std::istringstream Stream(Text);
    for (std::string Word; Stream >> Word;)
        Result.push_back(Unescape(Word));
    return Result;
}

// With KESTRIN_WINDOWS set the tool is the Windows build, whose standard error is a
// text stream that turns each LF into CR LF.
static bool WindowsBuild() {
    return getenv("KESTRIN_WINDOWS") != nullptr;
}

static std::string AsTextStream(const std::string &Bytes) {
    std::string Text;
    for (char Byte : Bytes) {
        if (Byte == '\n')
            Text += '\r';
        Text += Byte;
    }
    return Text;
}

static void ExpectFile(const std::string &Path, const std::string &Expected, const char *What) {
    std::string Actual;
    ASSERT_TRUE(ReadFile(Path, Actual)) << What << " is missing";
    EXPECT_EQ(Escape(Actual), Escape(Expected)) << What << " differs";
}

// Names the case, not its bytes, in the report of a failed test.
static void PrintTo(const Case &Test, std::ostream *Stream) {
    *Stream << Test.Name;
}

class Table : public testing::TestWithParam<Case> {};

TEST_P(Table, Case) {
    const Case &Test = GetParam();
    SCOPED_TRACE(std::string(KESTRIN_CASES) + ":" + std::to_string(Test.Line) + ": " + Test.Name);
    if (WindowsBuild() && Test.Fields.count("unix-only"))
        GTEST_SKIP() << "unix-only: " << Test.Fields.at("unix-only");
    const std::string Directory = MakeDirectory();
    const std::map<std::string, std::string> &Fields = Test.Fields;
    if (Fields.count("source"))
        WriteFile(Directory + "/src", Unescape(Fields.at("source")));
    if (Fields.count("dest-before"))
        WriteFile(Directory + "/dst", Unescape(Fields.at("dest-before")));
    if (Fields.count("link")) {
        std::vector<std::string> Names = Words(Fields.at("link"));
        ASSERT_EQ(symlink(Names[1].c_str(), (Directory + "/" + Names[0]).c_str()), 0);
    }
    if (Fields.count("hardlink")) {
        std::vector<std::string> Names = Words(Fields.at("hardlink"));
        ASSERT_EQ(link((Directory + "/" + Names[1]).c_str(), (Directory + "/" + Names[0]).c_str()),
                  0);
    }

    std::string Stdin = Fields.count("stdin") ? Unescape(Fields.at("stdin")) : "";
    std::string StdoutPath =
        Fields.count("stdout-file") ? Fields.at("stdout-file") : Directory + "/.stdout";
    int Status =
        RunTool({Directory, Words(Fields.at("args")), Fields.count("stdin") ? &Stdin : nullptr,
                 StdoutPath, Directory + "/.stderr", -1});

    ASSERT_TRUE(WIFEXITED(Status)) << "the tool did not exit normally: wait status " << Status;
    EXPECT_EQ(WEXITSTATUS(Status), std::stoi(Fields.at("status")));
    if (Fields.count("source"))
        ExpectFile(Directory + "/src", Unescape(Fields.at("source")), "the Sourcefile");
    if (Fields.count("dest")) {
        ExpectFile(Directory + "/dst", Unescape(Fields.at("dest")), "the Destfile");
    } else {
        struct stat Ignored;
        EXPECT_NE(lstat((Directory + "/dst").c_str(), &Ignored), 0) << "a Destfile was created";
    }
    if (!Fields.count("stdout-file"))
        ExpectFile(Directory + "/.stdout",
                   Fields.count("stdout") ? Unescape(Fields.at("stdout")) : "", "standard output");
    std::string Messages = Unescape(Fields.at("stderr"));
    ExpectFile(Directory + "/.stderr", WindowsBuild() ? AsTextStream(Messages) : Messages,
               "standard error");
    if (!HasFailure())
        RemoveDirectory(Directory);
}

static std::string CaseName(const testing::TestParamInfo<Case> &Info) {
    std::string Name;
    for (char Letter : Info.param.Name)
        Name += isalnum(static_cast<unsigned char>(Letter)) ? Letter : '_';
    return std::to_string(Info.param.Line) + "_" + Name;
}

INSTANTIATE_TEST_SUITE_P(Kestrin, Table, testing::ValuesIn(ReadCases(KESTRIN_CASES)), CaseName);
