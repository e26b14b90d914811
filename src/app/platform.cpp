// What the run needs of the platform beyond file streams: the identity of files and
// the nature of the standard streams.
#include "app.h"
#include "unf.h"

#include <sys/stat.h>
#include <unistd.h>

// Standard output and standard error are buffered; where both are a terminal each is
// flushed before the other is written, so a person reads them in the order written.
void PrepareStandardStreams() {
    Out.File = stdout;
    Err.File = stderr;
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (isatty(STDOUT_FILENO) && isatty(STDERR_FILENO)) {
        Out.Partner = &Err;
        Err.Partner = &Out;
    }
}

bool IsDirectory(FILE *File) {
    struct stat Status;
    return fstat(fileno(File), &Status) == 0 && S_ISDIR(Status.st_mode);
}

// Same device and inode: the same file by any path, hard link or symbolic link.
bool SameFile(FILE *File, const char *Name) {
    struct stat Opened;
    struct stat Named;
    return fstat(fileno(File), &Opened) == 0 && stat(Name, &Named) == 0 &&
           Opened.st_dev == Named.st_dev && Opened.st_ino == Named.st_ino;
}
