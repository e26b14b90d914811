// kestrin: inserts NumBytes bytes of Value at Offset of every record of a UNF file,
// removes them (/R), or keeps only the records of NumBytes bytes (/C).
#include "app.h"
#include "unf.h"

static void Usage() {
    PutText(&Err, "\nUsage: KESTRIN <Sourcefile> <Destfile> <Offset> <NumBytes> [<Value>|/R] "
                  "[/C]\n\n");
    PutText(&Err, "    This utility adds bytes to a UNF file at the stated position.\n");
    PutText(&Err, "    <Sourcefile> is the source UNF filename.\n");
    PutText(&Err, "    <Destfile> is the destination file to be created.\n");
    PutText(&Err, "    <Offset> is the Byte Offset within the Btrieve Record.\n");
    PutText(&Err, "    <NumBytes> is the number of bytes to insert.\n");
    PutText(&Err, "    <Value> is the byte value to insert in decimal. (Default=0)\n");
    PutText(&Err, "            Use /R to remove the specified bytes.\n");
    PutText(&Err, "    Use /C to Check Only a UNF for non-NumBytes records.\n");
    ExitRun(1);
}

static bool IsOption(const char *Argument, char Letter) {
    return (Argument[0] == '/' || Argument[0] == '-') && (Argument[1] | 0x20) == Letter &&
           Argument[2] == '\0';
}

// Options stand from the fifth argument on; /R counts only in the fifth place, the
// place of Value, and is announced once for every option seen while it stands there.
static void ReadOptions(int ArgumentCount, char **Arguments) {
    bool Remove = ArgumentCount > 5 && Arguments[5][0] == '/' && IsOption(Arguments[5], 'r');
    for (int At = 5; At < ArgumentCount; At++) {
        if (Arguments[At][0] != '/' && Arguments[At][0] != '-')
            continue;
        if (IsOption(Arguments[At], 'd')) {
            Settings.DebugMode = true;
            PutText(&Err, "[Full Debugger Enabled]\n");
        }
        if (IsOption(Arguments[At], 'c')) {
            Settings.CheckMode = true;
            PutText(&Err, "[Check Length Mode]\n");
        }
        if (Remove) {
            Settings.RemoveMode = true;
            PutText(&Err, "[Removing Bytes Mode]\n");
        }
    }
}

static void AnnounceSettings(int ArgumentCount, char **Arguments) {
    if (Settings.CheckMode) {
        PutText(&Err, "Checking for records that are not ");
        PutNumber(&Err, Settings.NumBytes);
        PutText(&Err, " bytes.\r\n");
    } else {
        PutText(&Err, "Inserting ");
        PutNumber(&Err, Settings.NumBytes);
        PutText(&Err, " Bytes at Offset ");
        PutNumber(&Err, Settings.Offset);
        PutText(&Err, ".\r\n");
    }
    if (ArgumentCount > 5) {
        Settings.Value = static_cast<uint8_t>(ConvertDecimal(Arguments[5]));
        PutText(&Err, "Using Byte Value ");
        PutNumber(&Err, Settings.Value);
        PutText(&Err, ".\r\n");
    }
}

// The Destfile is opened only once the Sourcefile is known to be readable and not the
// same file, so a refused run never empties an existing file.
static void OpenFiles(const char *SourceName) {
    Source = fopen(SourceName, "rb");
    if (Source == nullptr || IsDirectory(Source))
        FailNamed("Unable to open source file <", SourceName, ">.\r\n");
    if (SameFile(Source, DestName))
        FailNamed("Source and Destination are the same file <", DestName, ">.\r\n");
    Dest.File = fopen(DestName, "wb");
    if (Dest.File == nullptr)
        FailNamed("Unable to open Destination File <", DestName, ">.\r\n");
    setvbuf(Dest.File, nullptr, _IONBF, 0);
}

static void ConvertRecords() {
    while (!SourceAtEnd()) {
        ProgressTick();
        LengthResult Result = ReadLengthText();
        if (Result == EndOfInput)
            break;
        if (Result == FormatError)
            FailNamed("Incorrect data format <", LengthText, ">\r\n");
        HandleRecord();
        ConsumeLineEnd();
    }
}

// The Destfile and standard output are flushed and checked before the summary, so a
// summary is printed only for output that was really written.
static void CloseFiles() {
    fclose(Source);
    FlushStream(&Dest);
    if (fclose(Dest.File) != 0)
        FailNamed("Error writing Destination File <", DestName, ">.\r\n");
    FlushStream(&Out);
}

static void Summarize() {
    PutText(&Err, "Completed.  Updated ");
    PutNumber(&Err, static_cast<int64_t>(UpdatedCount));
    PutText(&Err, " Lines.\r\n");
    if (RejectedCount > 0) {
        PutText(&Err, "Rejected ");
        PutNumber(&Err, static_cast<int64_t>(RejectedCount));
        PutText(&Err, " Lines due to record length.\r\n");
    }
}

int main(int ArgumentCount, char **Arguments) {
    PrepareStandardStreams();
    PutText(&Err, "Kestrin Version 2.01: 10/09\n");
    if (ArgumentCount < 5)
        Usage();
    ReadOptions(ArgumentCount, Arguments);
    Settings.Offset = ConvertDecimal(Arguments[3]);
    Settings.NumBytes = ConvertDecimal(Arguments[4]);
    AnnounceSettings(ArgumentCount, Arguments);
    if (!Settings.CheckMode && (Settings.Offset < 0 || Settings.NumBytes < 0))
        Fail("Offset and NumBytes must not be negative.\r\n");
    DestName = Arguments[2];
    OpenFiles(Arguments[1]);
    ConvertRecords();
    CloseFiles();
    Summarize();
    ExitRun(0);
}
