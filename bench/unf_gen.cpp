// Writes a deterministic UNF file of random records to standard output, for timing.
//   unf_gen typical MIB   most records 100 to 2000 bytes, a tail to 8000, a few over 57000
//   unf_gen small MIB     records of 20 to 80 bytes
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static uint64_t State = 0x9E3779B97F4A7C15u;

static uint64_t Random() {
    State ^= State >> 12;
    State ^= State << 25;
    State ^= State >> 27;
    return State * 0x2545F4914F6CDD1Du;
}

static uint32_t Between(uint32_t Low, uint32_t High) {
    return Low + static_cast<uint32_t>(Random() % (High - Low + 1));
}

static uint32_t TypicalLength() {
    uint32_t Pick = Between(0, 9999);
    if (Pick == 0)
        return Between(57001, 70000);
    if (Pick < 1500)
        return Between(2001, 8000);
    return Between(100, 2000);
}

int main(int ArgumentCount, char **Arguments) {
    if (ArgumentCount != 3 ||
        (strcmp(Arguments[1], "typical") != 0 && strcmp(Arguments[1], "small") != 0)) {
        fprintf(stderr, "usage: unf_gen typical|small MIB\n");
        return 1;
    }
    bool Small = strcmp(Arguments[1], "small") == 0;
    uint64_t Limit = strtoull(Arguments[2], nullptr, 10) << 20;
    static unsigned char Data[70000];
    for (uint64_t Written = 0; Written < Limit;) {
        uint32_t Length = Small ? Between(20, 80) : TypicalLength();
        for (uint32_t At = 0; At < Length; At += 8) {
            uint64_t Bits = Random();
            memcpy(Data + At, &Bits, Length - At < 8 ? Length - At : 8);
        }
        int Field = printf("%u,", Length);
        if (Field < 0 || fwrite(Data, 1, Length, stdout) != Length ||
            fputs("\r\n", stdout) == EOF) {
            perror("unf_gen");
            return 1;
        }
        Written += static_cast<uint64_t>(Field) + Length + 2;
    }
    if (fflush(stdout) != 0) {
        perror("unf_gen");
        return 1;
    }
    return 0;
}
