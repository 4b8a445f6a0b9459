#include "export_drivers.h"

#include "test_paths.h"

namespace {

using ShowWarningExFunction = int32_t(WINAPI*)(const WarningDialogRequest*, int32_t*);

template <class Function>
Function ExportOf(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(library != nullptr ? library : DocEventDlgModule(), name)));
}

// Runs the caller's code around one export call, on the calling thread.
template <class Call>
auto AroundCall(const CallOptions& options, Call call)
{
    if (options.before) {
        options.before();
    }
    const auto result = call();
    if (options.after) {
        options.after();
    }
    return result;
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

CallOptions Waiting(bool waitForDialog)
{
    CallOptions options;
    options.waitForDialog = waitForDialog;
    return options;
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
    : WarningCall(request, which, Waiting(waitForDialog))
{
}

WarningCall::WarningCall(const WarningDialogRequest& request, WarningExport which, const CallOptions& options)
    : own_(std::make_unique<WarningDialogRequest>(request))
{
    Start(own_.get(), which, options);
}

WarningCall::WarningCall(const WarningDialogRequest* callerRecord, WarningExport which)
    : WarningCall(callerRecord, which, CallOptions{})
{
}

WarningCall::WarningCall(const WarningDialogRequest* callerRecord, WarningExport which, const CallOptions& options)
{
    Start(callerRecord, which, options);
}

void WarningCall::Start(const WarningDialogRequest* record, WarningExport which, const CallOptions& options)
{
    call_ = std::make_unique<BackgroundCall>([this, record, which, options]() -> intptr_t {
        return AroundCall(options, [&]() -> intptr_t {
            if (which == WarningExport::Plain) {
                return ExportOf<ShowWarningDialogFunction>(options.library, "IShowWarningDialog")(record);
            }
            int32_t* const answer = which == WarningExport::CheckBoxAnswer ? &ticked_ : nullptr;
            return ExportOf<ShowWarningExFunction>(options.library, "IShowWarningDialogEx")(record, answer);
        });
    });
    threadId_ = call_->threadId();
    if (options.waitForDialog) {
        WaitDialog();
    }
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
    : NoticeCall(&request, Waiting(waitForDialog))
{
}

NoticeCall::NoticeCall(const JobStorageRequest& request, const CallOptions& options) : NoticeCall(&request, options)
{
}

NoticeCall::NoticeCall(const JobStorageRequest* callerRecord, const CallOptions& options)
    : known_(OpenDialogs()),
      returned_(AroundCall(options, [&] {
          return ExportOf<JobStorageDialogFunction>(options.library, "VJobStorageDialog")(callerRecord);
      }))
{
    // The returned handle is the library's and may be closed at any thread's
    // end: the thread's ID is read from it at once, and the driver waits on
    // a handle of its own. Where another thread ended first, the handle is
    // gone already and the notice is the dialog that was not open before.
    if (returned_ != nullptr) {
        threadId_ = GetThreadId(returned_);
        if (threadId_ != 0) {
            thread_ = OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId_);
        }
    }
    if (options.waitForDialog && returned_ != nullptr) {
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

HWND NoticeCall::WaitDialog(DWORD timeoutMs)
{
    dialog_ = WaitForDialog(threadId_, timeoutMs, known_);
    if (dialog_ != nullptr && thread_ == nullptr) {
        threadId_ = GetWindowThreadProcessId(dialog_, nullptr);
        thread_ = OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId_);
    }
    return dialog_;
}

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
    : InstructionsCall(request, Waiting(waitForDialog))
{
}

InstructionsCall::InstructionsCall(const DuplexInstructionsRequest& request, const CallOptions& options)
    : own_(std::make_unique<DuplexInstructionsRequest>(request)), known_(OpenDialogs())
{
    Start(own_.get(), options);
}

InstructionsCall::InstructionsCall(const DuplexInstructionsRequest* callerRecord, const CallOptions& options)
    : known_(OpenDialogs())
{
    Start(callerRecord, options);
}

void InstructionsCall::Start(const DuplexInstructionsRequest* record, const CallOptions& options)
{
    const auto display = ExportOf<DisplayDialogFunction>(options.library, "VDisplayDialog");
    const auto call = [display, record, options] {
        return AroundCall(options, [&] {
            display(record);
            return intptr_t{0};
        });
    };
    if (record != nullptr && record->waitForContinue != 0) {
        call_ = std::make_unique<BackgroundCall>(call);
        threadId_ = call_->threadId();
    } else {
        call();
    }
    if (options.waitForDialog) {
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
