#include "dialogrun.h"

#include <iterator>
#include <utility>

#include "common/activationcontext.h"
#include "common/displayscale.h"
#include "common/keyboardorder.h"
#include "common/printhost.h"
#include "module.h"

namespace {

// How long an owner's thread may take to answer before the dialog does
// without the owner: long enough for a thread that handles its messages,
// short enough that nobody waits for one that does not.
constexpr UINT kOwnerAnswerMs = 500;

// One modal dialog of the library, from before its window exists until after
// it is gone. The dialog window keeps its address in GWLP_USERDATA; the
// thread's slot holds the dialog being created, whose window has not got it
// yet.
struct DialogRun {
    DLGPROC procedure = nullptr;
    HWND owner = nullptr;
    bool ownerDisabled = false;  // the library disabled the owner and gives its input back
    bool bringForward = false;   // it would have been owned: still shown above the window the user works in

    // The layout as the dialog initialised it, at its DPI then, from which
    // every later DPI's layout is made (so a move there and back is exact).
    int layoutDpi = kBaseDpi;
    LOGFONTW font{};
    HFONT templateFont = nullptr;  // the dialog manager's font, at layoutDpi
    UniqueFont scaledFont;         // the dialog's font at another DPI
    struct Placed {
        HWND control;
        RECT rect;  // client coordinates of the dialog (mirrored ones in a mirrored dialog)
    };
    Placed controls[32] = {};
    int controlCount = 0;
};

// Answers within the short wait: a window of the calling thread always does.
bool ThreadAnswers(HWND window)
{
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        return true;
    }
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kOwnerAnswerMs, &ignored) != 0;
}

// The foreground window, when it is a window of the printing application
// whose thread answers; null otherwise: a dialog owned by another program's
// window would disable it, and one owned by a window whose thread does not
// handle its messages would wait for that thread as it comes up and ends.
HWND ChooseOwner(DialogOwner owner)
{
    if (owner != DialogOwner::Foreground) {
        return nullptr;
    }
    const HWND foreground = GetForegroundWindow();
    if (foreground == nullptr) {
        return nullptr;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    if (process != ExaminePrintHost().applicationProcessId) {
        return nullptr;
    }
    return ThreadAnswers(foreground) ? foreground : nullptr;
}

// Re-enables an owner whose thread did not answer, from a thread of its own
// that waits for it instead of the dialog's. It holds a reference to this
// library, given back as it ends.
DWORD WINAPI EnableOwnerLater(LPVOID owner)
{
    EnableWindow(static_cast<HWND>(owner), TRUE);
    FreeLibraryAndExitThread(g_moduleInstance, 0);
}

// Gives the owner its input back, once, before the dialog goes (so that the
// owner, not some other window, is activated after it).
void GiveOwnerItsInputBack(HWND dialog, DialogRun& run)
{
    if (!run.ownerDisabled) {
        return;
    }
    run.ownerDisabled = false;
    if (!IsWindow(run.owner)) {
        return;
    }
    if (ThreadAnswers(run.owner)) {
        EnableWindow(run.owner, TRUE);
        return;
    }
    // The dialog stops being owned, so that ending it sends the owner nothing.
    if (dialog != nullptr) {
        SetWindowLongPtrW(dialog, GWLP_HWNDPARENT, 0);
    }
    UniqueModule reference(ReferenceThisModule());
    if (!reference) {
        return;
    }
    const HANDLE enabler = CreateThread(nullptr, 0, EnableOwnerLater, run.owner, 0, nullptr);
    if (enabler != nullptr) {
        reference.release();  // the thread gives it back
        CloseHandle(enabler);
    }
}

DialogRun* RunOf(HWND dialog) { return reinterpret_cast<DialogRun*>(GetWindowLongPtrW(dialog, GWLP_USERDATA)); }

// Takes down the layout the dialog initialised itself to, and keeps the
// dialog manager from laying it out again at another DPI: the library does.
void RememberLayout(HWND dialog, DialogRun& run)
{
    run.layoutDpi = WindowDpi(dialog);
    run.templateFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    if (run.templateFont != nullptr) {
        GetObjectW(run.templateFont, sizeof(run.font), &run.font);
    }
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr && run.controlCount < int(std::size(run.controls));
         child = GetWindow(child, GW_HWNDNEXT)) {
        DialogRun::Placed& placed = run.controls[run.controlCount++];
        placed.control = child;
        GetWindowRect(child, &placed.rect);
        // Two points as one rectangle: mirrored client coordinates with left < right.
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed.rect), 2);
    }
    KeepDialogLayoutOnDpiChange(dialog);
}

// The rectangle kept inside the work area of the monitor it lands on.
RECT InsideWorkArea(RECT rect)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return rect;
    }
    const RECT& work = monitor.rcWork;
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    const LONG left = rect.left + width > work.right ? work.right - width : rect.left;
    const LONG top = rect.top + height > work.bottom ? work.bottom - height : rect.top;
    rect.left = left < work.left ? work.left : left;
    rect.top = top < work.top ? work.top : top;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    return rect;
}

// After a change of the dialog's DPI: the dialog font and the controls'
// places at the new DPI, the dialog in the suggested rectangle inside the
// work area, and the dialog's own fonts and pictures made again.
void FollowDpiChange(HWND dialog, DialogRun& run, int dpi, const RECT& suggested)
{
    const HFONT before = run.scaledFont ? run.scaledFont.get() : run.templateFont;
    UniqueFont scaled;
    HFONT font = run.templateFont;
    if (dpi != run.layoutDpi && run.templateFont != nullptr) {
        LOGFONTW atDpi = run.font;
        atDpi.lfHeight = MulDiv(run.font.lfHeight, dpi, run.layoutDpi);
        atDpi.lfWidth = MulDiv(run.font.lfWidth, dpi, run.layoutDpi);
        scaled.reset(CreateFontIndirectW(&atDpi));
        font = scaled ? scaled.get() : run.templateFont;
    }
    for (int i = 0; i < run.controlCount; ++i) {
        const DialogRun::Placed& placed = run.controls[i];
        const HFONT current = reinterpret_cast<HFONT>(SendMessageW(placed.control, WM_GETFONT, 0, 0));
        if (current == before || current == run.templateFont) {
            SendMessageW(placed.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        const RECT& at = placed.rect;
        const int left = MulDiv(at.left, dpi, run.layoutDpi);
        const int top = MulDiv(at.top, dpi, run.layoutDpi);
        SetWindowPos(placed.control, nullptr, left, top, MulDiv(at.right, dpi, run.layoutDpi) - left,
                     MulDiv(at.bottom, dpi, run.layoutDpi) - top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    run.scaledFont = std::move(scaled);  // the font before goes now that no control has it
    const RECT place = InsideWorkArea(suggested);
    SetWindowPos(dialog, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    run.procedure(dialog, kDialogDpiChanged, static_cast<WPARAM>(dpi), reinterpret_cast<LPARAM>(font));
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The procedure of every dialog of the library: finds the dialog's run and
// hands every message to the dialog's own procedure.
INT_PTR CALLBACK RunDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogRun* run = RunOf(dialog);
    if (run == nullptr) {
        // The first message of a new dialog: the run being created on this thread.
        run = static_cast<DialogRun*>(TlsGetValue(g_dialogRunSlot));
        if (run == nullptr) {
            return FALSE;
        }
        SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(run));
    }
    if (message == WM_DPICHANGED) {
        FollowDpiChange(dialog, *run, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return TRUE;
    }
    INT_PTR handled = run->procedure(dialog, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        // The dialog has set its texts and laid itself out: the keyboard
        // follows the screen, and Enter presses a button that is shown.
        OrderTabStopsAsRead(dialog);
        // The dialog manager sends the owner WM_ENTERIDLE, and waits for the
        // owner's thread, whenever the dialog's queue runs empty: an owner
        // whose thread stops while the dialog is up would stop the dialog.
        SetWindowLongPtrW(dialog, GWL_STYLE, GetWindowLongPtrW(dialog, GWL_STYLE) | DS_NOIDLEMSG);
        if (FocusFirstShownButton(dialog) != nullptr) {
            handled = FALSE;  // the focus is set
        }
        RememberLayout(dialog, *run);
        if (run->bringForward) {
            // As far as the platform lets this process take the foreground.
            SetForegroundWindow(dialog);
        }
    }
    return handled;
}

// Makes run the dialog being created on this thread while it lives.
class CreatingRun {
public:
    explicit CreatingRun(DialogRun& run) : previous_(TlsGetValue(g_dialogRunSlot)) { TlsSetValue(g_dialogRunSlot, &run); }
    ~CreatingRun() { TlsSetValue(g_dialogRunSlot, previous_); }
    CreatingRun(const CreatingRun&) = delete;
    CreatingRun& operator=(const CreatingRun&) = delete;

private:
    void* previous_;
};

}  // namespace

HMODULE ReferenceThisModule()
{
    HMODULE module = nullptr;
    const auto anyAddressInside = reinterpret_cast<LPCWSTR>(&g_moduleInstance);
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, anyAddressInside, &module)) {
        return nullptr;
    }
    return module;
}

bool UserCanAnswerDialogs() { return ExaminePrintHost().userCanAnswer; }

INT_PTR RunModalDialog(const ResourceStrings& strings, DialogTemplates templates, DialogOwner owner,
                       DLGPROC procedure, void* state)
{
    if (g_dialogRunSlot == TLS_OUT_OF_INDEXES) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    DialogRun run;
    run.procedure = procedure;
    run.owner = ChooseOwner(owner);
    run.bringForward = owner == DialogOwner::Foreground && run.owner == nullptr;
    // The library disables the owner itself: the dialog manager, finding it
    // disabled, leaves it alone, and the library can give it back without
    // waiting for the owner's thread.
    if (run.owner != nullptr && IsWindowEnabled(run.owner)) {
        EnableWindow(run.owner, FALSE);
        run.ownerDisabled = true;
    }
    const WORD templateId = strings.rightToLeft ? templates.rightToLeft : templates.leftToRight;
    INT_PTR result = 0;
    {
        // Laid out at the DPI of the monitor the dialog is on, whatever the
        // host's awareness; the host's thread has its own context back after.
        const PerMonitorDpiAwareness perMonitor;
        // The themed controls, whatever the host's manifest says.
        const ModuleActivationContext themedControls(g_moduleInstance);
        const CreatingRun creating(run);
        result = DialogBoxParamW(g_moduleInstance, MAKEINTRESOURCEW(templateId), run.owner, RunDialogProc,
                                 reinterpret_cast<LPARAM>(state));
    }
    // A dialog that was never created, or that ended without EndModalDialog.
    GiveOwnerItsInputBack(nullptr, run);
    return result;
}

void EndModalDialog(HWND dialog, INT_PTR result)
{
    if (DialogRun* run = RunOf(dialog)) {
        GiveOwnerItsInputBack(dialog, *run);
    }
    EndDialog(dialog, result);
}
