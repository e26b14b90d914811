// What the run needs of the platform beyond file streams: the identity of files and
// the nature of the standard streams.
#include "app.h"
#include "unf.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

static bool IsTerminal(FILE *Stream) {
    return _isatty(_fileno(Stream)) != 0;
}

// In text mode each LF inside an echoed record would become CR LF, and the record would
// no longer match its length field.
static void SetBinary(FILE *Stream) {
    _setmode(_fileno(Stream), _O_BINARY);
}

bool IsDirectory(FILE *File) {
    struct _stat64 Status;
    return _fstat64(_fileno(File), &Status) == 0 && (Status.st_mode & _S_IFMT) == _S_IFDIR;
}

static bool FileIdentity(HANDLE Handle, BY_HANDLE_FILE_INFORMATION *Identity) {
    return Handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(Handle, Identity);
}

// Same volume and file index: the same file by any path or hard link.
bool SameFile(FILE *File, const char *Name) {
    BY_HANDLE_FILE_INFORMATION Opened;
    BY_HANDLE_FILE_INFORMATION Named;
    if (!FileIdentity(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(File))), &Opened))
        return false;
    HANDLE Other = CreateFileA(Name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    bool Same = FileIdentity(Other, &Named) &&
                Opened.dwVolumeSerialNumber == Named.dwVolumeSerialNumber &&
                Opened.nFileIndexHigh == Named.nFileIndexHigh &&
                Opened.nFileIndexLow == Named.nFileIndexLow;
    if (Other != INVALID_HANDLE_VALUE)
        CloseHandle(Other);
    return Same;
}
#else
#include <sys/stat.h>
#include <unistd.h>

static bool IsTerminal(FILE *Stream) {
    return isatty(fileno(Stream)) != 0;
}

// No stream translates line ends here.
static void SetBinary(FILE *) {}

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
#endif

// Standard output and standard error are buffered; where both are a terminal each is
// flushed before the other is written, so a person reads them in the order written.
// Standard error stays in the platform's text mode.
void PrepareStandardStreams() {
    Out.File = stdout;
    Err.File = stderr;
    SetBinary(stdout);
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (IsTerminal(stdout) && IsTerminal(stderr)) {
        Out.Partner = &Err;
        Err.Partner = &Out;
    }
}
