// Opening, reading and ending the job storage notice from a test, and the
// throwaway registry key its OK button writes under. Shared by the notice's
// own tests and the placement tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialog_probe.h"
#include "import_patch.h"
#include "test_paths.h"
#include "user_registry.h"

constexpr wchar_t kSettingsRoot[] = L"Software\\Velmoracrestwyn";
constexpr wchar_t kTestSettingsTree[] = L"Software\\Velmoracrestwyn\\DocEventDlgTest";
constexpr wchar_t kShowValue[] = L"ShowJobStorageDlg";

// A request with every text filled and no resource library (fallback texts).
inline JobStorageRequest BasicJobStorageRequest()
{
    JobStorageRequest request{};
    SetField(request.userName, L"alice");
    SetField(request.jobName, L"Scan");
    SetField(request.locationLine1, L"Printer: Office 3");
    SetField(request.locationLine2, L"Mailbox: Finance");
    SetField(request.locationLine3, L"Retain: 7 days");
    SetField(request.settingsSubKey, L"DocEventDlgTest\\unused");
    SetField(request.helpFilePath, L"C:\\help\\notice.hlp");
    return request;
}

inline bool WaitForThreadEnd(HANDLE thread, DWORD timeoutMs = 10000)
{
    return thread != nullptr && WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
}

// Takes a handle of the test's own to each thread the library starts, before
// the thread runs: a thread that ends at once closes the library's handle at
// its detach, possibly before the test could read anything from it. Chains
// onto whatever the library's CreateThread import points to (a DllMonitor's
// replacement among them), so construct it after such a monitor.
class ThreadStartWatch {
public:
    explicit ThreadStartWatch(HMODULE module)
        : patch_(module, "KERNEL32.dll", "CreateThread", reinterpret_cast<const void*>(&Start))
    {
        previous_ = patch_.original<decltype(&CreateThread)>();
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

    bool active() const { return patch_.active(); }
    HANDLE last() const { return started_.empty() ? nullptr : started_.back(); }

private:
    static HANDLE WINAPI Start(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE routine,
                               LPVOID parameter, DWORD flags, LPDWORD threadId)
    {
        const HANDLE thread = previous_(security, stack, routine, parameter, flags | CREATE_SUSPENDED, threadId);
        if (thread != nullptr) {
            HANDLE own = nullptr;
            DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS);
            started_.push_back(own);
            if ((flags & CREATE_SUSPENDED) == 0) {
                ResumeThread(thread);
            }
        }
        return thread;
    }
    static inline decltype(&CreateThread) previous_ = nullptr;
    static inline std::vector<HANDLE> started_;
    ImportPatch patch_;
};

// One call of the export. The returned handle belongs to the library, which
// closes it at any thread detach: the thread ID is read from it at once and a
// handle of the test's own is opened from the ID.
class Notice {
public:
    explicit Notice(const JobStorageRequest& request, bool waitForDialog = true)
        : returned_(JobStorageDialogExport()(&request))
    {
        Adopt(returned_ != nullptr ? GetThreadId(returned_) : 0, waitForDialog);
    }
    // Adopts a handle the test got from the export itself, with the thread ID
    // it read at once.
    Notice(HANDLE returned, DWORD threadId, bool waitForDialog = true) : returned_(returned)
    {
        Adopt(threadId, waitForDialog);
    }
    ~Notice()
    {
        if (thread_ == nullptr) {
            return;
        }
        if (WaitForSingleObject(thread_, 0) != WAIT_OBJECT_0) {
            for (HWND window : ThreadDialogs(threadId_)) {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            WaitForThreadEnd(thread_);
        }
        CloseHandle(thread_);
    }
    Notice(const Notice&) = delete;
    Notice& operator=(const Notice&) = delete;

    HANDLE returned() const { return returned_; }
    DWORD threadId() const { return threadId_; }
    HANDLE thread() const { return thread_; }  // the test's own handle
    HWND dialog() const { return dialog_; }
    HWND WaitDialog(DWORD timeoutMs = 10000) { return dialog_ = WaitForDialog(threadId_, timeoutMs); }

    // Waits for the dialog window to go and its thread to end.
    bool WaitEnded(DWORD timeoutMs = 10000) const
    {
        return (dialog_ == nullptr || WaitForWindowGone(dialog_, timeoutMs)) && WaitForThreadEnd(thread_, timeoutMs);
    }

    // The close box, as the user clicks it.
    bool Close() const
    {
        PostMessageW(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
        return WaitEnded();
    }

private:
    void Adopt(DWORD threadId, bool waitForDialog)
    {
        threadId_ = threadId;
        if (threadId_ != 0) {
            thread_ = OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId_);
        }
        if (waitForDialog && threadId_ != 0) {
            dialog_ = WaitForDialog(threadId_);
        }
    }
    HANDLE returned_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE thread_ = nullptr;
    HWND dialog_ = nullptr;
};

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
