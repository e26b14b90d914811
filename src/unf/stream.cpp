// Reading record lines from the Sourcefile and writing them to the Destfile and to
// standard output. The Sourcefile is read in large blocks and records are taken from
// the block in place; data is read by count, never scanned, so it may hold any byte.
#include "unf.h"

#include <charconv>

RunSettings Settings;
unsigned char RecordBuffer[MaxRecordLength];
char LengthText[LengthTextLimit + 1];
FILE *Source;

static unsigned char InData[1 << 18];
static unsigned char *InNext = InData;
static unsigned char *InEnd = InData;
// Set only once a read has run into the end of the Sourcefile, never predicted.
static bool AtEnd;

// A read error is never taken for the end of the input.
static bool FillInput() {
    size_t Count = fread(InData, 1, sizeof InData, Source);
    if (Count == 0) {
        if (ferror(Source))
            Fail("Error reading data file.\r\n");
        AtEnd = true;
        return false;
    }
    InNext = InData;
    InEnd = InData + Count;
    return true;
}

static inline int ReadByte() {
    if (InNext == InEnd && !FillInput())
        return EOF;
    return *InNext++;
}

// Moves Count bytes of the Sourcefile to To, or past them when To is null; false when
// the file ends first.
static bool TakeBytes(unsigned char *To, size_t Count) {
    while (Count > 0) {
        if (InNext == InEnd && !FillInput())
            return false;
        size_t Have = static_cast<size_t>(InEnd - InNext);
        size_t Take = Count < Have ? Count : Have;
        if (To != nullptr) {
            memcpy(To, InNext, Take);
            To += Take;
        }
        InNext += Take;
        Count -= Take;
    }
    return true;
}

bool SourceAtEnd() {
    return AtEnd;
}

// Leading white space, one sign, then digits; no digits give 0, and a number out of
// range gives the nearest limit.
int32_t ConvertDecimal(const char *Text) {
    const unsigned char *At = reinterpret_cast<const unsigned char *>(Text);
    while (*At == ' ' || (*At >= '\t' && *At <= '\r'))
        At++;
    bool Negative = *At == '-';
    if (*At == '-' || *At == '+')
        At++;
    int64_t Magnitude = 0;
    const int64_t Limit = Negative ? -int64_t{INT32_MIN} : INT32_MAX;
    for (; *At >= '0' && *At <= '9'; At++) {
        Magnitude = Magnitude * 10 + (*At - '0');
        if (Magnitude > Limit)
            Magnitude = Limit;
    }
    return static_cast<int32_t>(Negative ? -Magnitude : Magnitude);
}

LengthResult ReadLengthText() {
    // The usual case: the whole field lies in the block and nothing is traced.
    if (!Settings.DebugMode && InEnd - InNext >= LengthTextLimit) {
        memcpy(LengthText, InNext, LengthTextLimit);
        for (int At = 0; At < LengthTextLimit; At++) {
            if (InNext[At] == ',') {
                LengthText[At] = '\0';
                InNext += At + 1;
                return LengthFound;
            }
        }
        InNext += LengthTextLimit;
        LengthText[LengthTextLimit] = '\0';
        return FormatError;
    }
    for (int At = 0; At < LengthTextLimit; At++) {
        int Byte = ReadByte();
        if (Byte == EOF)
            return EndOfInput;
        LengthText[At] = static_cast<char>(Byte);
        if (Settings.DebugMode) {
            PutText(&Err, "Read <");
            PutBytes(&Err, &LengthText[At], 1);
            PutText(&Err, ">.\r\n");
        }
        if (Byte == ',') {
            LengthText[At] = '\0';
            return LengthFound;
        }
    }
    LengthText[LengthTextLimit] = '\0';
    return FormatError;
}

// The data stays valid until the next read; null when the file ends first.
const unsigned char *ReadRecordData(int32_t Length) {
    size_t Count = static_cast<size_t>(Length);
    if (static_cast<size_t>(InEnd - InNext) >= Count) {
        const unsigned char *Data = InNext;
        InNext += Count;
        return Data;
    }
    return TakeBytes(RecordBuffer, Count) ? RecordBuffer : nullptr;
}

// Keeps the first MaxRecordLength bytes for the echo and steps over the rest.
bool ReadOverLongRecord(int32_t Length) {
    return TakeBytes(RecordBuffer, MaxRecordLength) &&
           TakeBytes(nullptr, static_cast<size_t>(Length - MaxRecordLength));
}

// Steps over the line end: up to and including an LF, but at most 4 bytes. Whatever
// else stands before the LF is left to be read as the start of the next length field.
void ConsumeLineEnd() {
    if (InEnd - InNext >= 2 && InNext[0] == '\r' && InNext[1] == '\n') {
        InNext += 2;
        return;
    }
    for (int At = 0; At < 4; At++) {
        int Byte = ReadByte();
        if (Byte == EOF || Byte == '\n')
            return;
    }
}

void WriteRecordLine(int64_t LengthField, const unsigned char *Head, size_t HeadCount,
                     size_t InsertCount, const unsigned char *Tail, size_t TailCount) {
    const size_t FrameLimit = 24; // "%d," of any 64-bit number, and CR LF
    size_t Need = FrameLimit + HeadCount + InsertCount + TailCount;
    if (Need > Dest.Size - Dest.Used)
        FlushStream(&Dest);
    if (Need > Dest.Size) {
        // Only a very long insertion gets here: it goes out in pieces.
        PutNumber(&Dest, LengthField);
        PutBytes(&Dest, ",", 1);
        PutBytes(&Dest, Head, HeadCount);
        PutRun(&Dest, Settings.Value, InsertCount);
        PutBytes(&Dest, Tail, TailCount);
        PutBytes(&Dest, "\r\n", 2);
        return;
    }
    char *At = Dest.Data + Dest.Used;
    At = std::to_chars(At, At + FrameLimit, LengthField).ptr;
    *At++ = ',';
    memcpy(At, Head, HeadCount);
    At += HeadCount;
    memset(At, Settings.Value, InsertCount);
    At += InsertCount;
    memcpy(At, Tail, TailCount);
    At += TailCount;
    *At++ = '\r';
    *At++ = '\n';
    Dest.Used = static_cast<size_t>(At - Dest.Data);
}

// Standard output gets each left-out record as a UNF line of its own, an over-long one
// cut after MaxRecordLength bytes and marked.
void EchoRecord(int32_t Length, const unsigned char *Data) {
    PutNumber(&Out, Length);
    PutBytes(&Out, ",", 1);
    if (Length > MaxRecordLength) {
        PutBytes(&Out, Data, MaxRecordLength);
        PutText(&Out, "**TRUNCATED**");
    } else {
        PutBytes(&Out, Data, static_cast<size_t>(Length));
    }
    PutBytes(&Out, "\r\n", 2);
}
