// With standard output and standard error on one terminal, a person must read the
// messages and the echoed records in the order the tool wrote them, although both
// streams are buffered.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

TEST(Terminal, MessagesAndEchoKeepTheirOrder) {
    std::string Directory = testing::TempDir() + "kestrin-tty-XXXXXX";
    ASSERT_NE(mkdtemp(Directory.data()), nullptr);
    std::string Source = Directory + "/src";
    std::string Dest = Directory + "/dst";
    std::ofstream(Source, std::ios::binary) << "1,a\r\n2,bb\r\n1,c\r\n3,ddd\r\n";

    struct termios Raw;
    cfmakeraw(&Raw);
    int Terminal;
    pid_t Child = forkpty(&Terminal, nullptr, &Raw, nullptr);
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        execl(KESTRIN_BINARY, KESTRIN_BINARY, Source.c_str(), Dest.c_str(), "0", "1", "/C",
              static_cast<char *>(nullptr));
        _exit(127);
    }
    std::string Seen;
    char Block[4096];
    for (ssize_t Count; (Count = read(Terminal, Block, sizeof Block)) > 0;)
        Seen.append(Block, static_cast<size_t>(Count));
    int Status;
    waitpid(Child, &Status, 0);
    close(Terminal);

    EXPECT_EQ(Seen, "Kestrin Version 2.01: 10/09\n"
                    "[Check Length Mode]\n"
                    "Checking for records that are not 1 bytes.\r\n"
                    "Using Byte Value 0.\r\n"
                    "Record With Length 2 Found!\n"
                    "2,bb\r\n"
                    "Record With Length 3 Found!\n"
                    "3,ddd\r\n"
                    "Completed.  Updated 0 Lines.\r\n"
                    "Rejected 2 Lines due to record length.\r\n");
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 0);
}
