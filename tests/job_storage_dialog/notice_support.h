// The throwaway registry key the job storage notice's OK button writes under,
// for the notice's own tests.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "dll_monitor.h"
#include "export_drivers.h"
#include "requests.h"
#include "user_registry.h"

constexpr wchar_t kSettingsRoot[] = L"Software\\Velmoracrestwyn";
constexpr wchar_t kTestSettingsTree[] = L"Software\\Velmoracrestwyn\\DocEventDlgTest";
constexpr wchar_t kShowValue[] = L"ShowJobStorageDlg";

// A fresh sub-key under the test tree, removed before and after; the root key
// of the settings goes too when the test created it.
class ScratchSettingsKey {
public:
    ScratchSettingsKey() : rootExisted_(UserKeyExists(kSettingsRoot))
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestSettingsTree);
        subKey_ = L"DocEventDlgTest\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(GetTickCount64() % 1000000);
    }
    ~ScratchSettingsKey()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestSettingsTree);
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestSettingsTree);
        if (!rootExisted_) {
            RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsRoot);  // fails, harmlessly, when not empty
        }
    }
    ScratchSettingsKey(const ScratchSettingsKey&) = delete;
    ScratchSettingsKey& operator=(const ScratchSettingsKey&) = delete;

    const std::wstring& subKey() const { return subKey_; }
    std::wstring fullPath() const { return std::wstring(kSettingsRoot) + L"\\" + subKey_; }

    struct Value {
        DWORD type;
        std::vector<BYTE> data;
    };
    // The stored preference, read back through the registry API.
    std::optional<Value> Read() const
    {
        Value value{};
        if (!ReadUserValue(fullPath(), kShowValue, value.type, value.data)) {
            return std::nullopt;
        }
        return value;
    }
    bool Exists() const { return UserKeyExists(fullPath()); }

private:
    bool rootExisted_;
    std::wstring subKey_;
};

// --- For the failure cases that the faults program's table takes over; they
// --- go with those cases.

inline JobStorageRequest BasicJobStorageRequest() { return NoticeRequest().Library(L""); }

using Notice = NoticeCall;

inline bool WaitForThreadEnd(HANDLE thread, DWORD timeoutMs = 10000)
{
    return thread != nullptr && WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
}

// Takes a handle of the test's own to each thread the library starts, before
// the thread runs, chained onto the monitor's CreateThread (construct it
// after the monitor).
class ThreadStartWatch {
public:
    explicit ThreadStartWatch(HMODULE module) : override_(module, "CreateThread", reinterpret_cast<const void*>(&Start))
    {
        previous_ = override_.original<decltype(&CreateThread)>();
    }
    ~ThreadStartWatch()
    {
        for (HANDLE thread : started_) {
            CloseHandle(thread);
        }
        started_.clear();
    }
    ThreadStartWatch(const ThreadStartWatch&) = delete;
    ThreadStartWatch& operator=(const ThreadStartWatch&) = delete;

    bool active() const { return override_.active(); }
    HANDLE last() const { return started_.empty() ? nullptr : started_.back(); }

private:
    static HANDLE WINAPI Start(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE routine,
                               LPVOID parameter, DWORD flags, LPDWORD threadId)
    {
        const HANDLE thread = previous_(security, stack, routine, parameter, flags, threadId);
        if (thread != nullptr) {
            HANDLE own = nullptr;
            DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS);
            started_.push_back(own);
        }
        return thread;
    }
    static inline decltype(&CreateThread) previous_ = nullptr;
    static inline std::vector<HANDLE> started_;
    ImportOverride override_;
};
