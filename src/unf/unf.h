// UNF record lines: "<length>,<length raw bytes>\r\n", read from the Sourcefile,
// altered or checked one record at a time, and written to the Destfile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

struct RunSettings {
    int32_t Offset;
    int32_t NumBytes;
    uint8_t Value;
    bool RemoveMode;
    bool CheckMode;
    bool DebugMode;
};

extern RunSettings Settings;

// Longer records are not read whole: they are reported and left out of the Destfile.
constexpr int32_t MaxRecordLength = 57000;

// Holds a record whose bytes do not lie whole in the input block, and the kept
// head of an over-long record.
extern unsigned char RecordBuffer[MaxRecordLength];

// At most 7 characters and the comma make a length field; the 8th byte without a
// comma is a format error.
constexpr int LengthTextLimit = 8;
extern char LengthText[LengthTextLimit + 1];

extern uint64_t UpdatedCount;
extern uint64_t RejectedCount;

// A buffered output stream. Partner, where set, is flushed before this stream is
// written, so that two streams on one terminal show their text in the order written.
struct OutStream {
    FILE *File;
    char *Data;
    size_t Size;
    size_t Used;
    OutStream *Partner;
};

extern OutStream Dest; // the Destfile
extern OutStream Out;  // standard output: the records left out of the Destfile
extern OutStream Err;  // standard error: every message
extern const char *DestName;

extern FILE *Source;

// Output (output.cpp)
void FlushStream(OutStream *Stream);
void PutLarge(OutStream *Stream, const void *Bytes, size_t Count);
void PutRun(OutStream *Stream, unsigned char Byte, size_t Count);
[[noreturn]] void ExitRun(int Status);
[[noreturn]] void Fail(const char *Message);
[[noreturn]] void FailNamed(const char *Before, const char *Name, const char *After);

inline void PutBytes(OutStream *Stream, const void *Bytes, size_t Count) {
    if (Stream->Partner != nullptr && Stream->Partner->Used != 0)
        FlushStream(Stream->Partner);
    if (Count > Stream->Size - Stream->Used) {
        PutLarge(Stream, Bytes, Count);
        return;
    }
    memcpy(Stream->Data + Stream->Used, Bytes, Count);
    Stream->Used += Count;
}

inline void PutText(OutStream *Stream, const char *Text) {
    PutBytes(Stream, Text, strlen(Text));
}

void PutNumber(OutStream *Stream, int64_t Number);

// Record stream (stream.cpp)
enum LengthResult { LengthFound, EndOfInput, FormatError };

int32_t ConvertDecimal(const char *Text);
LengthResult ReadLengthText();
const unsigned char *ReadRecordData(int32_t Length);
bool ReadOverLongRecord(int32_t Length);
void ConsumeLineEnd();
bool SourceAtEnd();
void WriteRecordLine(int64_t LengthField, const unsigned char *Head, size_t HeadCount,
                     size_t InsertCount, const unsigned char *Tail, size_t TailCount);
void EchoRecord(int32_t Length, const unsigned char *Data);

// Record handling (record.cpp)
void HandleRecord();
