// What happens to one record: altered into the Destfile, copied there unchanged, or
// left out and echoed to standard output, and counted.
#include "unf.h"

uint64_t UpdatedCount;
uint64_t RejectedCount;

static void WriteUnchanged(const unsigned char *Data, int32_t Length) {
    WriteRecordLine(Length, Data, static_cast<size_t>(Length), 0, Data + Length, 0);
}

// A record that cannot hold the whole span at Offset is copied as it is; the span's
// arithmetic is done in 64 bits so no setting can make it wrap.
static bool TooShort(int32_t Length) {
    int64_t Span = Settings.RemoveMode ? Settings.NumBytes : 0;
    return Length < int64_t{Settings.Offset} + Span;
}

static void AlterRecord(const unsigned char *Data, int32_t Length) {
    size_t Offset = static_cast<size_t>(Settings.Offset);
    size_t NumBytes = static_cast<size_t>(Settings.NumBytes);
    size_t Count = static_cast<size_t>(Length);
    if (Settings.RemoveMode)
        WriteRecordLine(int64_t{Length} - Settings.NumBytes, Data, Offset, 0,
                        Data + Offset + NumBytes, Count - Offset - NumBytes);
    else
        WriteRecordLine(int64_t{Length} + Settings.NumBytes, Data, Offset, NumBytes, Data + Offset,
                        Count - Offset);
}

void HandleRecord() {
    int32_t Length = ConvertDecimal(LengthText);
    if (Settings.DebugMode) {
        PutText(&Err, "Converted <");
        PutText(&Err, LengthText);
        PutText(&Err, "> to ");
        PutNumber(&Err, Length);
        PutText(&Err, ".\r\n");
    }
    bool OverLong = Length > MaxRecordLength;
    bool WrongLength = Settings.CheckMode && Length != Settings.NumBytes;
    if (OverLong) {
        PutText(&Err, "Record Over ");
        PutNumber(&Err, MaxRecordLength);
        PutText(&Err, " Found!\n");
    }
    if (WrongLength) {
        PutText(&Err, "Record With Length ");
        PutNumber(&Err, Length);
        PutText(&Err, " Found!\n");
    }
    if (OverLong) {
        if (!ReadOverLongRecord(Length))
            Fail("Error reading data file.\r\n");
        EchoRecord(Length, RecordBuffer);
        RejectedCount++;
        return;
    }
    const unsigned char *Data = Length < 0 ? nullptr : ReadRecordData(Length);
    if (Data == nullptr)
        Fail("Error reading data file.\r\n");
    if (WrongLength) {
        EchoRecord(Length, Data);
        RejectedCount++;
    } else if (Settings.CheckMode) {
        WriteUnchanged(Data, Length);
    } else if (TooShort(Length)) {
        WriteUnchanged(Data, Length);
        RejectedCount++;
    } else {
        AlterRecord(Data, Length);
        UpdatedCount++;
    }
}
