// One driver per export: it calls the export as a driver would, finds the
// dialog that comes up, reads and presses its controls as a user would, ends
// it and gives the export's result. A driver owns every handle it opens; when
// it goes, it ends a dialog that is still open and waits for its thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dialog_probe.h"
#include "include/doceventdlg.h"

// The result of a call that has not returned in time.
constexpr intptr_t kStillOpen = 0x7EADBEEF;

// How a driver calls its export, where the defaults do not suit.
struct CallOptions {
    bool waitForDialog = true;
    HMODULE library = nullptr;  // null: the program's library (DocEventDlgModule())
    // Run on the thread that calls the export, just before and just after the
    // call (an activation context of the host's, for example).
    std::function<void()> before;
    std::function<void()> after;
};

// What every driver does with its dialog.
class DialogDriver {
public:
    DialogDriver() = default;
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    HWND dialog() const { return dialog_; }
    DWORD threadId() const { return threadId_; }  // the thread that runs the dialog
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    std::wstring Text(int control = 0) const;  // 0: the dialog's caption
    RECT Rect(int control) const { return ControlRect(dialog_, control); }

    // As the user does it: a click on a button, a key to the focused control,
    // the close box; each posted to the dialog's thread.
    void Click(int control) const;
    void Press(WORD virtualKey) const { PressKey(dialog_, virtualKey); }
    void CloseBox() const { PostMessageW(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); }
    // A command or a message posted to the dialog itself.
    void Command(int control, WORD notification = BN_CLICKED) const;
    void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // Waits until the dialog's thread has handled what was posted, and tells
    // whether the dialog is still there. A dialog those messages ended is
    // destroyed before its thread takes another message from its queue.
    bool StillOpenAfterPosting() const;
    void WaitPainted() const { WaitUntilPainted(dialog_); }

protected:
    HWND dialog_ = nullptr;
    DWORD threadId_ = 0;
};

enum class WarningExport {
    Plain,           // IShowWarningDialog
    CheckBoxAnswer,  // IShowWarningDialogEx
    CheckBoxNoAnswer  // IShowWarningDialogEx with no place for the answer (null)
};

// IShowWarningDialog or IShowWarningDialogEx, which block until the dialog
// ends, on a thread of the test's.
class WarningCall : public DialogDriver {
public:
    explicit WarningCall(const WarningDialogRequest& request, WarningExport which = WarningExport::Plain,
                         bool waitForDialog = true);
    WarningCall(const WarningDialogRequest& request, WarningExport which, const CallOptions& options);
    // The export is given callerRecord itself (null among them), which the
    // test may change or release while the dialog is open.
    WarningCall(const WarningDialogRequest* callerRecord, WarningExport which);
    WarningCall(const WarningDialogRequest* callerRecord, WarningExport which, const CallOptions& options);
    ~WarningCall();

    // The export's result, or kStillOpen when it has not returned in time.
    intptr_t Result(DWORD timeoutMs = 30000);
    // IShowWarningDialogEx's answer for the check box, once it has returned.
    int32_t ticked() const { return ticked_; }
    bool finished() const;
    HWND WaitDialog(DWORD timeoutMs = 30000);
    // Waits for the call to return, as the other drivers wait for their ends.
    bool WaitEnded(DWORD timeoutMs = 30000) { return Result(timeoutMs) != kStillOpen; }

private:
    void Start(const WarningDialogRequest* record, WarningExport which, const CallOptions& options);
    std::unique_ptr<WarningDialogRequest> own_;
    int32_t ticked_ = -1;
    std::unique_ptr<BackgroundCall> call_;
};

// VJobStorageDialog, which returns at once; the notice runs on the thread it
// started.
class NoticeCall : public DialogDriver {
public:
    explicit NoticeCall(const JobStorageRequest& request, bool waitForDialog = true);
    NoticeCall(const JobStorageRequest& request, const CallOptions& options);
    // The export is given callerRecord itself (null among them).
    NoticeCall(const JobStorageRequest* callerRecord, const CallOptions& options);
    ~NoticeCall();

    HANDLE returned() const { return returned_; }  // the library's; tested against null only
    HANDLE thread() const { return thread_; }      // the test's own handle to the notice's thread
    HWND WaitDialog(DWORD timeoutMs = 30000);
    // Waits for the dialog to go and its thread to end.
    bool WaitEnded(DWORD timeoutMs = 30000) const;
    // The close box, and the end of the thread.
    bool Close() const;

private:
    std::set<HWND> known_;  // the dialogs open before the call
    HANDLE returned_ = nullptr;
    HANDLE thread_ = nullptr;
};

// VDisplayDialog in the record's mode: informational returns at once and its
// dialog runs on a thread of its own; waiting blocks until the dialog ends,
// so it runs on a thread of the test's.
class InstructionsCall : public DialogDriver {
public:
    explicit InstructionsCall(const DuplexInstructionsRequest& request, bool waitForDialog = true);
    InstructionsCall(const DuplexInstructionsRequest& request, const CallOptions& options);
    // The export is given callerRecord itself (null among them, which has no
    // mode: it is called on the test's thread).
    InstructionsCall(const DuplexInstructionsRequest* callerRecord, const CallOptions& options);
    ~InstructionsCall();

    bool waiting() const { return call_ != nullptr; }
    // Waiting mode: whether the export has returned within timeoutMs.
    // Informational mode: it returned before the constructor did.
    bool Returned(DWORD timeoutMs = 30000);
    HWND WaitDialog(DWORD timeoutMs = 30000);
    // Waits for the dialog to go and the thread that ran it (its own, or the
    // test's call) to end.
    bool WaitEnded(DWORD timeoutMs = 30000);
    // The close box, and the end of the thread.
    bool Close();

private:
    void Start(const DuplexInstructionsRequest* record, const CallOptions& options);
    std::unique_ptr<DuplexInstructionsRequest> own_;
    std::unique_ptr<BackgroundCall> call_;
    std::set<HWND> known_;
    HANDLE thread_ = nullptr;  // informational: the test's own handle to the dialog's thread
};
