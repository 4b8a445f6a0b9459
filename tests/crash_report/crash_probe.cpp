// A program that crashes on request, so that the test run can show what it
// prints when a test program crashes. Without --crash it does nothing.
#include <cstdio>
#include <cstring>

namespace {

struct Record {
    void* links[3];
    int value;  // at +0x18
};

// Not inlined, so that the backtrace has a frame of its own below main.
__attribute__((noinline)) int ReadValue(const Record* record) { return record->value; }

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--crash") != 0) {
        return 0;
    }
    std::printf("reading through a null record\n");
    std::fflush(stdout);
    const Record* volatile record = nullptr;
    return ReadValue(record);
}
