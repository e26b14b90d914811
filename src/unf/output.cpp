// Buffered output to the Destfile and the standard streams, and the way out of the
// run: every write is checked, and a failed one ends the run rather than pass as done.
#include "unf.h"

#include <charconv>
#include <cstdlib>

static char DestData[1 << 18];
static char OutData[1 << 18];
static char ErrData[1 << 16];

OutStream Dest = {nullptr, DestData, sizeof DestData, 0, nullptr};
OutStream Out = {nullptr, OutData, sizeof OutData, 0, nullptr};
OutStream Err = {nullptr, ErrData, sizeof ErrData, 0, nullptr};
const char *DestName = "";

static bool WriteBytes(FILE *File, const void *Bytes, size_t Count) {
    return fwrite(Bytes, 1, Count, File) == Count && fflush(File) == 0;
}

static void ReportWriteFailure(const OutStream *Stream) {
    if (Stream == &Dest)
        FailNamed("Error writing Destination File <", DestName, ">.\r\n");
    if (Stream == &Out)
        Fail("Error writing standard output.\r\n");
}

// Writes out what the stream holds; the buffer is emptied even when the write fails,
// so that the way out does not write the same bytes again.
static bool WriteOut(OutStream *Stream) {
    size_t Count = Stream->Used;
    Stream->Used = 0;
    return Count == 0 || WriteBytes(Stream->File, Stream->Data, Count);
}

void FlushStream(OutStream *Stream) {
    if (!WriteOut(Stream))
        ReportWriteFailure(Stream);
}

void PutLarge(OutStream *Stream, const void *Bytes, size_t Count) {
    FlushStream(Stream);
    if (Count >= Stream->Size) {
        if (!WriteBytes(Stream->File, Bytes, Count))
            ReportWriteFailure(Stream);
        return;
    }
    memcpy(Stream->Data, Bytes, Count);
    Stream->Used = Count;
}

void PutRun(OutStream *Stream, unsigned char Byte, size_t Count) {
    while (Count > 0) {
        if (Stream->Used == Stream->Size)
            FlushStream(Stream);
        size_t Room = Stream->Size - Stream->Used;
        size_t Take = Count < Room ? Count : Room;
        memset(Stream->Data + Stream->Used, Byte, Take);
        Stream->Used += Take;
        Count -= Take;
    }
}

void PutNumber(OutStream *Stream, int64_t Number) {
    char Text[24];
    char *End = std::to_chars(Text, Text + sizeof Text, Number).ptr;
    PutBytes(Stream, Text, static_cast<size_t>(End - Text));
}

void ExitRun(int Status) {
    WriteOut(&Dest);
    WriteOut(&Out);
    WriteOut(&Err);
    std::exit(Status);
}

void Fail(const char *Message) {
    PutText(&Err, Message);
    ExitRun(1);
}

void FailNamed(const char *Before, const char *Name, const char *After) {
    PutText(&Err, Before);
    PutText(&Err, Name);
    PutText(&Err, After);
    ExitRun(1);
}
