// The one road from an export to its dialog, shared by the three dialogs:
//
//   export -> AcceptRequest (the record's copy)
//          -> StartDialogThread (the threaded dialogs) or straight on
//          -> Run<Dialog>Dialog (the dialog's state, on the thread it runs on)
//          -> RunModalDialog (what every dialog needs before it is shown)
//          -> the dialog's procedure.
//
// A check that every dialog needs is written once, in the step they all go
// through. Internal to the library.
#pragma once

#include <windows.h>

#include <cstring>
#include <utility>

#include "common/handles.h"
#include "common/heapobject.h"
#include "common/resourcestrings.h"

// A copy of a caller's request record in zero-filled local memory, owned
// from the moment it is made until it is released.
template <class Request>
class RequestCopy {
public:
    RequestCopy() = default;

    // The whole record, copied; empty when no memory is left.
    static RequestCopy Of(const Request& caller)
    {
        RequestCopy copy;
        copy.memory_.reset(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, sizeof(Request)));
        if (copy.memory_) {
            std::memcpy(copy.memory_.get(), &caller, sizeof(Request));
        }
        return copy;
    }

    explicit operator bool() const { return static_cast<bool>(memory_); }
    Request& operator*() const { return *static_cast<Request*>(memory_.get()); }
    Request* operator->() const { return static_cast<Request*>(memory_.get()); }

    // Releases the copy now.
    void reset() { memory_.reset(); }

private:
    UniqueLocalMemory memory_;
};

// True unless the process runs where no user can answer a dialog (see
// ExaminePrintHost).
bool UserCanAnswerDialogs();

// The first step of every export: the caller's record copied, or an empty
// copy when there is no record, when no user could answer a dialog here, or
// when there is no memory for it; then nothing is shown and nothing written.
template <class Request>
RequestCopy<Request> AcceptRequest(const Request* caller)
{
    if (caller == nullptr || !UserCanAnswerDialogs()) {
        return {};
    }
    return RequestCopy<Request>::Of(*caller);
}

// Takes a reference to this library for a dialog thread, which gives it back
// with FreeLibraryAndExitThread as it ends: the code the thread runs stays
// loaded even when the host frees the library while the dialog is open. Null
// when no reference could be taken.
HMODULE ReferenceThisModule();

// What a dialog thread is started with: its request copy and its reference
// to this library.
template <class Request>
struct DialogThreadStart {
    DialogThreadStart(RequestCopy<Request>&& requestCopy, UniqueModule&& reference)
        : copy(std::move(requestCopy)), libraryReference(std::move(reference))
    {
    }
    RequestCopy<Request> copy;
    UniqueModule libraryReference;
};

// The thread routine of both threaded dialogs: runs the dialog, releases
// everything the thread was given, then gives back the library reference and
// ends the thread with exit code 0 (FreeLibraryAndExitThread skips
// destructors, so everything is released before it).
template <class Request, void (*RunDialog)(RequestCopy<Request>)>
DWORD WINAPI DialogThreadRoutine(LPVOID parameter)
{
    HMODULE reference = nullptr;
    {
        const HeapObject<DialogThreadStart<Request>> start(static_cast<DialogThreadStart<Request>*>(parameter));
        reference = start->libraryReference.release();
        RunDialog(std::move(start->copy));
    }
    FreeLibraryAndExitThread(reference, 0);
}

// Starts a thread that runs RunDialog with the copy. The thread handle, or
// null when no thread was started; then the copy has been released.
template <class Request, void (*RunDialog)(RequestCopy<Request>)>
HANDLE StartDialogThread(RequestCopy<Request> copy)
{
    UniqueModule reference(ReferenceThisModule());
    if (!reference) {
        return nullptr;
    }
    HeapObject<DialogThreadStart<Request>> start =
        MakeHeapObject<DialogThreadStart<Request>>(std::move(copy), std::move(reference));
    if (!start) {
        return nullptr;
    }
    const HANDLE thread =
        CreateThread(nullptr, 0, &DialogThreadRoutine<Request, RunDialog>, start.get(), 0, nullptr);
    if (thread != nullptr) {
        start.release();  // the thread owns it now
    }
    return thread;
}

// Who owns a dialog.
enum class DialogOwner {
    None,  // a dialog of its own, placed over the foreground window
    // The window in the foreground as the dialog starts, when it is the
    // printing application's and its thread answers; else none.
    Foreground,
};

// A dialog template pair of this library: the mirrored one is chosen for
// right-to-left users.
struct DialogTemplates {
    WORD leftToRight;
    WORD rightToLeft;
};

// The step every dialog goes through on the thread it runs on: prepares the
// thread for the dialog (the library's common-controls activation context),
// picks the template and the owner, and runs the dialog modally. Returns
// DialogBoxParamW's result.
INT_PTR RunModalDialog(const ResourceStrings& strings, DialogTemplates templates, DialogOwner owner,
                       DLGPROC procedure, void* state);

// Sent to a dialog's own procedure after its DPI changed (it moved to a
// monitor of another scale, or the scale changed) and the library has laid
// it out again: wParam the new DPI, lParam the dialog's font at that DPI, from
// which the dialog makes what fonts of its own it has.
constexpr UINT kDialogDpiChanged = WM_APP + 0x0100;

// How every dialog of the library ends, in place of EndDialog: gives its
// owner back its input first (without waiting for an owner's thread that
// does not answer), then ends the dialog with result.
void EndModalDialog(HWND dialog, INT_PTR result);
