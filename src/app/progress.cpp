// The spinner on standard error: one more character every 101 records. Messages are
// buffered, so this is also where they are pushed out while a long run goes on.
#include "app.h"
#include "unf.h"

#include <chrono>

static int32_t TickCount;
static int Position;
static std::chrono::steady_clock::time_point LastFlush;

// At a terminal the spinner and the messages show at most a tenth of a second late.
static void FlushIfDue() {
    std::chrono::steady_clock::time_point Now = std::chrono::steady_clock::now();
    if (Now - LastFlush < std::chrono::milliseconds(100))
        return;
    LastFlush = Now;
    FlushStream(&Out);
    FlushStream(&Err);
}

void ProgressTick() {
    if (++TickCount <= 100)
        return;
    TickCount = 0;
    const char Shown[2] = {"-\\|/"[Position], '\b'};
    PutBytes(&Err, Shown, sizeof Shown);
    if (++Position > 3)
        Position = 0;
    FlushIfDue();
}
