// A program that crashes on request, so that the test run can show what it
// prints when a test program crashes. Without an option it does nothing.
//   --crash              reads through a null record (at +0x18)
//   --crash-heap-locked  the same while another thread holds the process
//                        heap's lock, as a crash inside the heap leaves it:
//                        the program can then neither start the debugger nor end
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

struct Record {
    void* links[3];
    int value;  // at +0x18
};

// Not inlined, so that the backtrace has a frame of its own below main.
__attribute__((noinline)) int ReadValue(const Record* record) { return record->value; }

DWORD WINAPI HoldHeapLock(LPVOID locked)
{
    HeapLock(GetProcessHeap());
    SetEvent(static_cast<HANDLE>(locked));
    Sleep(INFINITE);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool crash = argc >= 2 && std::strcmp(argv[1], "--crash") == 0;
    const bool heapLocked = argc >= 2 && std::strcmp(argv[1], "--crash-heap-locked") == 0;
    if (!crash && !heapLocked) {
        return 0;
    }
    std::printf("reading through a null record\n");  // before the lock: printing allocates
    std::fflush(stdout);
    if (heapLocked) {
        const HANDLE locked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        CreateThread(nullptr, 0, HoldHeapLock, locked, 0, nullptr);
        WaitForSingleObject(locked, INFINITE);
    }
    const Record* volatile record = nullptr;
    return ReadValue(record);
}
