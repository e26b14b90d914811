#include "tool.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

std::vector<std::string> ToolCommand() {
    const char *Command = getenv("KESTRIN_COMMAND");
    std::istringstream Words(Command != nullptr ? Command : KESTRIN_BINARY);
    std::vector<std::string> Result;
    for (std::string Word; Words >> Word;)
        Result.push_back(Word);
    return Result;
}

static void Redirect(int Descriptor, const std::string &Path, int Flags) {
    int Opened = open(Path.c_str(), Flags, 0644);
    if (Opened < 0 || dup2(Opened, Descriptor) < 0)
        _exit(126);
    close(Opened);
}

// Only async-signal-safe calls between fork and exec.
static void StartChild(const ToolRun &Run, char **Argv, int StdinPipe, int StderrPipe) {
    if (chdir(Run.Directory.c_str()) != 0)
        _exit(126);
    if (StdinPipe >= 0) {
        dup2(StdinPipe, 0);
        close(StdinPipe);
    } else {
        Redirect(0, "/dev/null", O_RDONLY);
    }
    Redirect(1, Run.StdoutPath, O_WRONLY | O_CREAT | O_TRUNC);
    dup2(StderrPipe, 2);
    close(StderrPipe);
    if (Run.FileSizeLimit >= 0) {
        // A write past the limit then fails with EFBIG instead of killing the tool.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit Limit = {static_cast<rlim_t>(Run.FileSizeLimit),
                               static_cast<rlim_t>(Run.FileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &Limit);
    }
    execvp(Argv[0], Argv);
    _exit(127);
}

// Reads the pipe until the tool has exited and the pipe holds no more. Processes the
// tool leaves behind (Wine's services) may keep the pipe open, so the end of file is
// not waited for; once it comes, the tool is.
static std::string CollectUntilExit(int Pipe, pid_t Child, int &Status) {
    std::string Bytes;
    fcntl(Pipe, F_SETFL, O_NONBLOCK);
    bool Exited = Child <= 0;
    for (;;) {
        struct pollfd Ready = {Pipe, POLLIN, 0};
        poll(&Ready, 1, Exited ? 0 : 50);
        char Block[65536];
        ssize_t Count = read(Pipe, Block, sizeof Block);
        if (Count > 0) {
            Bytes.append(Block, static_cast<size_t>(Count));
            continue;
        }
        if (Count == 0 && !Exited)
            waitpid(Child, &Status, 0);
        if (Count == 0 || Exited)
            return Bytes;
        Exited = waitpid(Child, &Status, WNOHANG) == Child;
    }
}

// Standard error comes through a pipe, which no file-size limit reaches, and is written
// to its file here.
int RunTool(const ToolRun &Run) {
    std::vector<std::string> Argv = ToolCommand();
    Argv.insert(Argv.end(), Run.Args.begin(), Run.Args.end());
    std::vector<char *> Pointers;
    for (std::string &Word : Argv)
        Pointers.push_back(Word.data());
    Pointers.push_back(nullptr);

    int Input[2] = {-1, -1};
    int Messages[2] = {-1, -1};
    EXPECT_EQ(pipe(Messages), 0);
    if (Run.Stdin != nullptr) {
        EXPECT_EQ(pipe(Input), 0);
    }
    pid_t Child = fork();
    if (Child == 0) {
        close(Messages[0]);
        if (Input[1] >= 0)
            close(Input[1]);
        StartChild(Run, Pointers.data(), Input[0], Messages[1]);
    }
    EXPECT_GT(Child, 0) << "cannot start " << Argv[0];
    close(Messages[1]);
    if (Run.Stdin != nullptr) {
        close(Input[0]);
        const std::string &Bytes = *Run.Stdin;
        EXPECT_EQ(write(Input[1], Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
        close(Input[1]);
    }
    int Status = -1;
    std::string Written = CollectUntilExit(Messages[0], Child, Status);
    close(Messages[0]);
    WriteFile(Run.StderrPath[0] == '/' ? Run.StderrPath : Run.Directory + "/" + Run.StderrPath,
              Written);
    return Status;
}

std::string MakeDirectory() {
    std::string Template = testing::TempDir() + "kestrin-XXXXXX";
    EXPECT_NE(mkdtemp(Template.data()), nullptr);
    return Template.c_str();
}

void RemoveDirectory(const std::string &Directory) {
    std::filesystem::remove_all(Directory);
}

void WriteFile(const std::string &Path, const std::string &Bytes) {
    std::ofstream(Path, std::ios::binary) << Bytes;
}

bool ReadFile(const std::string &Path, std::string &Bytes) {
    std::ifstream File(Path, std::ios::binary);
    if (!File)
        return false;
    std::ostringstream Contents;
    Contents << File.rdbuf();
    Bytes = Contents.str();
    return true;
}
