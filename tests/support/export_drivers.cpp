#include "export_drivers.h"

#include <utility>

#include "test_paths.h"

namespace {

using ShowWarningExFunction = int32_t(WINAPI*)(const WarningDialogRequest*, int32_t*);

// An export of library; null: the copy the program keeps loaded.
template <class Function>
Function ExportOf(HMODULE library, const char* name)
{
    if (library == nullptr) {
        library = DocEventDlgModule();
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

ShowWarningExFunction ShowWarningDialogExExport()
{
    return reinterpret_cast<ShowWarningExFunction>(
        reinterpret_cast<void*>(GetProcAddress(DocEventDlgModule(), "IShowWarningDialogEx")));
}

std::set<HWND> OpenDialogs()
{
    const std::vector<HWND> open = ProcessDialogs();
    return std::set<HWND>(open.begin(), open.end());
}

bool WaitForThread(HANDLE thread, DWORD timeoutMs)
{
    return thread != nullptr && WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
}

// Ends a dialog a case left open: the close box's message, which every
// dialog of the library takes.
void EndIfOpen(HWND dialog)
{
    if (dialog != nullptr && IsWindow(dialog)) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        WaitForWindowGone(dialog, 30000);
    }
}

}  // namespace

std::wstring DialogDriver::Text(int control) const
{
    return control == 0 ? WindowText(dialog_) : ControlText(dialog_, control);
}

void DialogDriver::Click(int control) const { PostMessageW(Control(control), BM_CLICK, 0, 0); }

void DialogDriver::Command(int control, WORD notification) const
{
    PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(control, notification), reinterpret_cast<LPARAM>(Control(control)));
}

void DialogDriver::Post(UINT message, WPARAM wParam, LPARAM lParam) const
{
    PostMessageW(dialog_, message, wParam, lParam);
}

bool DialogDriver::StillOpenAfterPosting() const { return WaitUntilPostedHandled(dialog_) && IsWindow(dialog_); }

WarningCall::WarningCall(const WarningDialogRequest& request, WarningExport which, bool waitForDialog)
    : own_(std::make_unique<WarningDialogRequest>(request))
{
    Start(own_.get(), which);
    if (waitForDialog) {
        WaitDialog();
    }
}

WarningCall::WarningCall(const WarningDialogRequest* callerRecord, WarningExport which)
{
    Start(callerRecord, which);
    WaitDialog();
}

void WarningCall::Start(const WarningDialogRequest* record, WarningExport which)
{
    call_ = std::make_unique<BackgroundCall>([this, record, which]() -> intptr_t {
        if (which == WarningExport::Plain) {
            return ShowWarningDialogExport()(record);
        }
        return ShowWarningDialogExExport()(record, &ticked_);
    });
    threadId_ = call_->threadId();
}

WarningCall::~WarningCall()
{
    if (!call_->Wait(0)) {
        EndIfOpen(dialog_);
    }
    call_.reset();  // ends a dialog that is still open and waits for the call
}

HWND WarningCall::WaitDialog(DWORD timeoutMs) { return dialog_ = WaitForDialog(threadId_, timeoutMs); }

intptr_t WarningCall::Result(DWORD timeoutMs) { return call_->Wait(timeoutMs) ? call_->result() : kStillOpen; }

bool WarningCall::finished() const { return call_->finished(); }

NoticeCall::NoticeCall(const JobStorageRequest& request, bool waitForDialog)
    : NoticeCall(nullptr, request, waitForDialog)
{
}

NoticeCall::NoticeCall(HMODULE library, const JobStorageRequest& request, bool waitForDialog)
    : returned_(ExportOf<JobStorageDialogFunction>(library, "VJobStorageDialog")(&request))
{
    // The returned handle is the library's and may be closed at any thread's
    // end: the thread's ID is read from it at once, and the driver waits on
    // a handle of its own.
    if (returned_ != nullptr) {
        threadId_ = GetThreadId(returned_);
        thread_ = OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId_);
    }
    if (waitForDialog && threadId_ != 0) {
        WaitDialog();
    }
}

NoticeCall::~NoticeCall()
{
    if (thread_ == nullptr) {
        return;
    }
    if (!WaitForThread(thread_, 0)) {
        for (HWND window : ThreadDialogs(threadId_)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        WaitForThread(thread_, 30000);
    }
    CloseHandle(thread_);
}

HWND NoticeCall::WaitDialog(DWORD timeoutMs) { return dialog_ = WaitForDialog(threadId_, timeoutMs); }

bool NoticeCall::WaitEnded(DWORD timeoutMs) const
{
    return (dialog_ == nullptr || WaitForWindowGone(dialog_, timeoutMs)) && WaitForThread(thread_, timeoutMs);
}

bool NoticeCall::Close() const
{
    CloseBox();
    return WaitEnded();
}

InstructionsCall::InstructionsCall(const DuplexInstructionsRequest& request, bool waitForDialog)
    : own_(std::make_unique<DuplexInstructionsRequest>(request))
{
    Start(nullptr, own_.get(), nullptr, waitForDialog);
}

InstructionsCall::InstructionsCall(HMODULE library, const DuplexInstructionsRequest& request, bool waitForDialog)
    : own_(std::make_unique<DuplexInstructionsRequest>(request))
{
    Start(library, own_.get(), nullptr, waitForDialog);
}

InstructionsCall::InstructionsCall(const DuplexInstructionsRequest* callerRecord, bool waitForDialog)
{
    Start(nullptr, callerRecord, nullptr, waitForDialog);
}

InstructionsCall::InstructionsCall(const DuplexInstructionsRequest& request, AroundCall around)
    : own_(std::make_unique<DuplexInstructionsRequest>(request))
{
    Start(nullptr, own_.get(), std::move(around), true);
}

void InstructionsCall::Start(HMODULE library, const DuplexInstructionsRequest* record, AroundCall around,
                             bool waitForDialog)
{
    known_ = OpenDialogs();
    const DisplayDialogFunction display = ExportOf<DisplayDialogFunction>(library, "VDisplayDialog");
    if (record->waitForContinue != 0) {
        call_ = std::make_unique<BackgroundCall>([record, display, around = std::move(around)] {
            const auto callExport = [record, display] { display(record); };
            if (around) {
                around(callExport);
            } else {
                callExport();
            }
            return intptr_t{0};
        });
        threadId_ = call_->threadId();
    } else {
        display(record);
    }
    if (waitForDialog) {
        WaitDialog();
    }
}

InstructionsCall::~InstructionsCall()
{
    if (call_ != nullptr && !call_->Wait(0)) {
        EndIfOpen(dialog_);
    }
    call_.reset();
    if (thread_ != nullptr) {
        if (!WaitForThread(thread_, 0)) {
            EndIfOpen(dialog_);
            WaitForThread(thread_, 30000);
        }
        CloseHandle(thread_);
    }
}

HWND InstructionsCall::WaitDialog(DWORD timeoutMs)
{
    dialog_ = WaitForDialog(threadId_, timeoutMs, known_);
    if (dialog_ != nullptr && call_ == nullptr && thread_ == nullptr) {
        threadId_ = GetWindowThreadProcessId(dialog_, nullptr);
        thread_ = OpenThread(SYNCHRONIZE, FALSE, threadId_);
    }
    return dialog_;
}

bool InstructionsCall::Returned(DWORD timeoutMs) { return call_ == nullptr || call_->Wait(timeoutMs); }

bool InstructionsCall::WaitEnded(DWORD timeoutMs)
{
    const bool gone = dialog_ == nullptr || WaitForWindowGone(dialog_, timeoutMs);
    if (call_ != nullptr) {
        return call_->Wait(timeoutMs) && gone;
    }
    return (thread_ == nullptr || WaitForThread(thread_, timeoutMs)) && gone;
}

bool InstructionsCall::Close()
{
    CloseBox();
    return WaitEnded();
}
