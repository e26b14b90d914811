// Random UNF files, sound and damaged, through the real binary in random modes. Whatever
// arrives, the run must end in status 0 with the Destfile and standard output accounting
// for every record, or in status 1 with one fatal message and no summary. A sound file
// must come out exactly as a plain model of the modes says. A failing seed is printed;
// replay it with KESTRIN_SEED=N (KESTRIN_RANDOM_CASES sets how many seeds run).
#include "tool.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr size_t Limit = 57000;

struct Random {
    uint64_t State;
};

uint64_t Next(Random &Source) {
    uint64_t Value = (Source.State += 0x9E3779B97F4A7C15u);
    Value = (Value ^ (Value >> 30)) * 0xBF58476D1CE4E5B9u;
    Value = (Value ^ (Value >> 27)) * 0x94D049BB133111EBu;
    return Value ^ (Value >> 31);
}

size_t Below(Random &Source, size_t Bound) {
    return static_cast<size_t>(Next(Source) % Bound);
}

std::string RandomData(Random &Source, size_t Length) {
    static const char Tricky[] = {'\r', '\n', ',', '\0', '\x1a', '0', '7', '-'};
    std::string Data(Length, '\0');
    for (char &Byte : Data)
        Byte = Below(Source, 4) == 0 ? Tricky[Below(Source, sizeof Tricky)]
                                     : static_cast<char>(Next(Source));
    return Data;
}

size_t RandomLength(Random &Source) {
    size_t Pick = Below(Source, 100);
    if (Pick == 0)
        return Limit - 2 + Below(Source, 5);
    if (Pick == 1)
        return Limit + 1 + Below(Source, 3000);
    return Below(Source, 300);
}

// A length field that reads as Length: plain, or with leading zeros, a plus sign or a
// leading space, in at most 7 characters.
std::string LengthField(Random &Source, size_t Length) {
    std::string Digits = std::to_string(Length);
    std::string Field = Digits;
    switch (Below(Source, 6)) {
    case 0:
        Field = std::string(1 + Below(Source, 2), '0') + Digits;
        break;
    case 1:
        Field = "+" + Digits;
        break;
    case 2:
        Field = " " + Digits;
        break;
    }
    return Field.size() <= 7 ? Field : Digits;
}

struct Input {
    std::string Bytes;
    std::vector<std::string> Records; // the data of each record, for a sound file
    bool Sound;
};

// What exports, hand edits and transfers do to a record line.
std::string Damaged(Random &Source, const std::string &Data) {
    std::string Digits = std::to_string(Data.size());
    switch (Below(Source, 6)) {
    case 0:
        return Digits + "," + Data + RandomData(Source, 1 + Below(Source, 6)) + "\r\n";
    case 1:
        return Digits + "," + Data;
    case 2:
        return std::string(8 - std::min<size_t>(Digits.size(), 7), '0') + Digits + "," + Data +
               "\r\n";
    case 3:
        return (Below(Source, 2) ? "x" : Digits + "x") + "," + Data + "\r\n";
    case 4:
        return "-" + Digits + "," + Data + "\r\n";
    default:
        return std::to_string(static_cast<long long>(Data.size()) + 1 -
                              2 * static_cast<long long>(Below(Source, 2))) +
               "," + Data + "\r\n";
    }
}

Input Generate(Random &Source) {
    Input File{"", {}, Below(Source, 2) == 0};
    size_t Count = Below(Source, 40);
    for (size_t At = 0; At < Count; At++) {
        std::string Data = RandomData(Source, RandomLength(Source));
        if (!File.Sound && Below(Source, 8) == 0) {
            File.Bytes += Damaged(Source, Data);
            continue;
        }
        bool Last = At + 1 == Count;
        const char *LineEnd = Below(Source, 4) == 0 ? "\n" : "\r\n";
        File.Bytes += LengthField(Source, Data.size()) + "," + Data +
                      (Last && Below(Source, 4) == 0 ? "" : LineEnd);
        File.Records.push_back(Data);
    }
    if (Below(Source, 4) == 0)
        File.Bytes += std::string(1 + Below(Source, 3), '\x1a');
    if (!File.Sound && Below(Source, 2) == 0 && !File.Bytes.empty())
        File.Bytes.resize(Below(Source, File.Bytes.size()));
    return File;
}

struct Settings {
    std::vector<std::string> Args;
    int Offset;
    int NumBytes;
    char Value;
    bool Remove;
    bool Check;
};

Settings ChooseSettings(Random &Source, const Input &File) {
    Settings Chosen{{"src", "dst"},
                    static_cast<int>(Below(Source, 20)),
                    static_cast<int>(Below(Source, 10)),
                    '\0',
                    false,
                    false};
    size_t Mode = Below(Source, 3);
    Chosen.Check = Mode == 2;
    Chosen.Remove = Mode == 1;
    if (Chosen.Check && !File.Records.empty() && Below(Source, 2) == 0)
        Chosen.NumBytes = static_cast<int>(File.Records[Below(Source, File.Records.size())].size());
    Chosen.Args.push_back(std::to_string(Chosen.Offset));
    Chosen.Args.push_back(std::to_string(Chosen.NumBytes));
    if (Chosen.Remove) {
        Chosen.Args.push_back("/R");
    } else if (Below(Source, 2) == 0) {
        int Value = static_cast<int>(Below(Source, 256));
        Chosen.Value = static_cast<char>(Value);
        Chosen.Args.push_back(std::to_string(Value));
    }
    if (Chosen.Check)
        Chosen.Args.push_back("/C");
    if (Below(Source, 8) == 0)
        Chosen.Args.push_back("/D");
    return Chosen;
}

std::string Line(const std::string &Data) {
    return std::to_string(Data.size()) + "," + Data + "\r\n";
}

std::string Echo(const std::string &Data) {
    if (Data.size() <= Limit)
        return Line(Data);
    return std::to_string(Data.size()) + "," + Data.substr(0, Limit) + "**TRUNCATED**\r\n";
}

struct Outcome {
    std::string Dest;
    std::string Stdout;
    uint64_t Updated;
    uint64_t Rejected;
};

// What a sound file must give, record by record.
Outcome Model(const Input &File, const Settings &Chosen) {
    Outcome Expected{"", "", 0, 0};
    size_t Offset = static_cast<size_t>(Chosen.Offset);
    size_t NumBytes = static_cast<size_t>(Chosen.NumBytes);
    for (const std::string &Data : File.Records) {
        bool Kept = Chosen.Check ? Data.size() == NumBytes : Data.size() >= Offset;
        bool Fits = !Chosen.Remove || Data.size() >= Offset + NumBytes;
        if (Data.size() > Limit || (Chosen.Check && !Kept)) {
            Expected.Stdout += Echo(Data);
            Expected.Rejected++;
        } else if (Chosen.Check) {
            Expected.Dest += Line(Data);
        } else if (!Kept || !Fits) {
            Expected.Dest += Line(Data);
            Expected.Rejected++;
        } else if (Chosen.Remove) {
            Expected.Dest += Line(Data.substr(0, Offset) + Data.substr(Offset + NumBytes));
            Expected.Updated++;
        } else {
            Expected.Dest += Line(Data.substr(0, Offset) + std::string(NumBytes, Chosen.Value) +
                                  Data.substr(Offset));
            Expected.Updated++;
        }
    }
    return Expected;
}

std::string Summary(uint64_t Updated, uint64_t Rejected) {
    std::string Text = "Completed.  Updated " + std::to_string(Updated) + " Lines.\r\n";
    if (Rejected > 0)
        Text += "Rejected " + std::to_string(Rejected) + " Lines due to record length.\r\n";
    return Text;
}

bool EndsWith(const std::string &Text, const std::string &End) {
    return Text.size() >= End.size() &&
           Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

// The lengths of the UNF lines in Bytes, each ending in CR LF; an echo cuts a line after
// the limit and marks it. False when Bytes is no such sequence.
bool ParseLines(const std::string &Bytes, bool EchoLines, std::vector<size_t> &Lengths) {
    size_t At = 0;
    while (At < Bytes.size()) {
        size_t Comma = Bytes.find(',', At);
        if (Comma == std::string::npos || Comma == At || Comma - At > 20)
            return false;
        std::string Digits = Bytes.substr(At, Comma - At);
        if (Digits.find_first_not_of("0123456789") != std::string::npos ||
            (Digits.size() > 1 && Digits[0] == '0'))
            return false;
        size_t Length = std::stoull(Digits);
        size_t Kept = EchoLines && Length > Limit ? Limit : Length;
        std::string End = EchoLines && Length > Limit ? "**TRUNCATED**\r\n" : "\r\n";
        At = Comma + 1 + Kept;
        if (At > Bytes.size() || Bytes.compare(At, End.size(), End) != 0)
            return false;
        At += End.size();
        Lengths.push_back(Length);
    }
    return true;
}

// Status 1: one fatal message, the last thing written, and no summary.
void ExpectFailure(const std::string &Messages) {
    EXPECT_EQ(Messages.find("Completed."), std::string::npos) << "a failed run printed a summary";
    const std::string Format = "Incorrect data format <";
    size_t Reported = Messages.rfind(Format);
    bool FormatError = Reported != std::string::npos && EndsWith(Messages, ">\r\n") &&
                       Messages.size() - Reported - Format.size() - 3 <= 8;
    bool ReadError = EndsWith(Messages, "Error reading data file.\r\n");
    EXPECT_TRUE(FormatError != ReadError) << "no single fatal message ends standard error";
}

// Status 0 on any file: the summary closes standard error, and its counts are what the
// Destfile and standard output hold.
void ExpectAccounted(const Settings &Chosen, const std::string &Dest, const std::string &Stdout,
                     const std::string &Messages) {
    std::vector<size_t> Kept;
    std::vector<size_t> LeftOut;
    ASSERT_TRUE(ParseLines(Dest, false, Kept)) << "the Destfile is no UNF file of CR LF lines";
    ASSERT_TRUE(ParseLines(Stdout, true, LeftOut)) << "standard output holds no echoed lines";
    size_t Summarized = Messages.rfind("Completed.  Updated ");
    ASSERT_NE(Summarized, std::string::npos) << "no summary";
    unsigned long long Updated = 0;
    unsigned long long Rejected = 0;
    sscanf(Messages.c_str() + Summarized, "Completed.  Updated %llu Lines.\r\nRejected %llu",
           &Updated, &Rejected);
    EXPECT_EQ(Messages.substr(Summarized), Summary(Updated, Rejected));
    for (size_t Length : LeftOut)
        EXPECT_TRUE(Length > Limit || (Chosen.Check && Length != size_t(Chosen.NumBytes)));
    if (Chosen.Check) {
        EXPECT_EQ(Updated, 0u);
        EXPECT_EQ(LeftOut.size(), Rejected);
        for (size_t Length : Kept)
            EXPECT_EQ(Length, size_t(Chosen.NumBytes));
    } else {
        EXPECT_EQ(Kept.size(), Updated + Rejected - LeftOut.size());
    }
}

void RunSeed(uint64_t Seed) {
    Random Source{Seed};
    Input File = Generate(Source);
    Settings Chosen = ChooseSettings(Source, File);
    std::string Directory = MakeDirectory();
    WriteFile(Directory + "/src", File.Bytes);

    int Status = RunTool({Directory, Chosen.Args, nullptr, ".stdout", ".stderr", -1});

    std::string After, Dest, Stdout, Messages;
    ReadFile(Directory + "/src", After);
    ReadFile(Directory + "/dst", Dest);
    ReadFile(Directory + "/.stdout", Stdout);
    ReadFile(Directory + "/.stderr", Messages);
    ASSERT_TRUE(WIFEXITED(Status)) << "the tool did not exit normally: wait status " << Status;
    EXPECT_EQ(After, File.Bytes) << "the Sourcefile changed";
    int Code = WEXITSTATUS(Status);
    ASSERT_TRUE(Code == 0 || Code == 1) << "exit status " << Code;
    if (File.Sound) {
        Outcome Expected = Model(File, Chosen);
        EXPECT_EQ(Code, 0);
        EXPECT_EQ(Dest, Expected.Dest);
        EXPECT_EQ(Stdout, Expected.Stdout);
        EXPECT_TRUE(EndsWith(Messages, Summary(Expected.Updated, Expected.Rejected)));
    } else if (Code == 1) {
        ExpectFailure(Messages);
    } else {
        ExpectAccounted(Chosen, Dest, Stdout, Messages);
    }
    if (!testing::Test::HasFailure())
        RemoveDirectory(Directory);
}

} // namespace

TEST(Random, EveryRunEndsAccountedOrInOneFatalMessage) {
    const char *Replay = getenv("KESTRIN_SEED");
    const char *Cases = getenv("KESTRIN_RANDOM_CASES");
    uint64_t First = Replay != nullptr ? std::stoull(Replay) : 1;
    uint64_t Count = Replay != nullptr ? 1 : Cases != nullptr ? std::stoull(Cases) : 300;
    for (uint64_t Seed = First; Seed < First + Count; Seed++) {
        RunSeed(Seed);
        if (HasFailure()) {
            ADD_FAILURE() << "replay with KESTRIN_SEED=" << Seed;
            break;
        }
    }
}
