// Writes that fail part way through a multi-megabyte run: a file-size limit on the tool
// makes every write past it fail, as a full disk would. Each such run must end in status
// 1 with the write-failure message and no summary, and never touch the Sourcefile.
#include "tool.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>
#include <vector>

namespace {

// About 4 MiB of records of 100 to 3000 bytes, holding every byte value.
std::string LargeSource() {
    std::string Bytes;
    for (unsigned Record = 0; Bytes.size() < (4u << 20); Record++) {
        std::string Data(100 + Record * 7919 % 2901, '\0');
        for (size_t At = 0; At < Data.size(); At++)
            Data[At] = static_cast<char>(At * 31 + Record);
        Bytes += std::to_string(Data.size()) + "," + Data + "\r\n";
    }
    return Bytes;
}

struct Result {
    int Code;
    std::string Dest;
    std::string Stdout;
    std::string Messages;
};

Result RunWithLimit(const std::string &Source, const std::vector<std::string> &Args,
                    long long FileSizeLimit) {
    std::string Directory = MakeDirectory();
    WriteFile(Directory + "/src", Source);
    int Status = RunTool({Directory, Args, nullptr, ".stdout", ".stderr", FileSizeLimit});
    Result Outcome{-1, "", "", ""};
    std::string After;
    ReadFile(Directory + "/src", After);
    ReadFile(Directory + "/dst", Outcome.Dest);
    ReadFile(Directory + "/.stdout", Outcome.Stdout);
    ReadFile(Directory + "/.stderr", Outcome.Messages);
    RemoveDirectory(Directory);
    EXPECT_TRUE(After == Source) << "the Sourcefile changed";
    EXPECT_TRUE(WIFEXITED(Status)) << "wait status " << Status;
    Outcome.Code = WEXITSTATUS(Status);
    return Outcome;
}

void ExpectWriteFailure(const Result &Outcome, const std::string &Message) {
    EXPECT_EQ(Outcome.Code, 1);
    EXPECT_EQ(Outcome.Messages.find("Completed."), std::string::npos) << "summary after a failure";
    ASSERT_GE(Outcome.Messages.size(), Message.size());
    EXPECT_EQ(Outcome.Messages.substr(Outcome.Messages.size() - Message.size()), Message);
}

// Cut points around the block sizes and across the whole output.
std::vector<long long> CutPoints(long long Full) {
    return {0, 1, 4095, 4096, 262143, 262144, 262145, 1 << 20, Full / 2, Full - 1};
}

} // namespace

TEST(Faults, DestfileWritesThatFailEndTheRun) {
    const std::string Source = LargeSource();
    const std::vector<std::string> Args = {"src", "dst", "10", "4", "32"};
    Result Whole = RunWithLimit(Source, Args, -1);
    ASSERT_EQ(Whole.Code, 0);
    long long Full = static_cast<long long>(Whole.Dest.size());
    for (long long Limit : CutPoints(Full)) {
        SCOPED_TRACE("file-size limit " + std::to_string(Limit));
        Result Cut = RunWithLimit(Source, Args, Limit);
        ExpectWriteFailure(Cut, "Error writing Destination File <dst>.\r\n");
        EXPECT_EQ(Cut.Dest, Whole.Dest.substr(0, Cut.Dest.size())) << "the Destfile is corrupt";
    }
    Result Exact = RunWithLimit(Source, Args, Full);
    EXPECT_EQ(Exact.Code, 0) << "a limit the output just fits is no failure";
    EXPECT_EQ(Exact.Dest, Whole.Dest);
}

TEST(Faults, StandardOutputWritesThatFailEndTheRun) {
    // Check mode for a length no record has: everything goes to standard output.
    const std::string Source = LargeSource();
    const std::vector<std::string> Args = {"src", "dst", "0", "-1", "/C"};
    Result Whole = RunWithLimit(Source, Args, -1);
    ASSERT_EQ(Whole.Code, 0);
    ASSERT_TRUE(Whole.Dest.empty());
    long long Full = static_cast<long long>(Whole.Stdout.size());
    for (long long Limit : CutPoints(Full)) {
        SCOPED_TRACE("file-size limit " + std::to_string(Limit));
        ExpectWriteFailure(RunWithLimit(Source, Args, Limit), "Error writing standard output.\r\n");
    }
    EXPECT_EQ(RunWithLimit(Source, Args, Full).Code, 0)
        << "a limit the output just fits is no failure";
}

TEST(Faults, FullDevicesEndTheRun) {
    const std::string Source = LargeSource();
    ExpectWriteFailure(RunWithLimit(Source, {"src", "/dev/full", "0", "0"}, -1),
                       "Error writing Destination File </dev/full>.\r\n");
    std::string Directory = MakeDirectory();
    WriteFile(Directory + "/src", Source);
    int Status =
        RunTool({Directory, {"src", "dst", "0", "-1", "/C"}, nullptr, "/dev/full", ".stderr", -1});
    std::string Messages;
    ReadFile(Directory + "/.stderr", Messages);
    RemoveDirectory(Directory);
    ExpectWriteFailure({WEXITSTATUS(Status), "", "", Messages},
                       "Error writing standard output.\r\n");
}
