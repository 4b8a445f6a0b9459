#include "warningdlg.h"

#include <cstring>

#include "common/activationcontext.h"
#include "common/displayscale.h"
#include "common/fieldtext.h"
#include "common/handles.h"
#include "common/heapobject.h"
#include "common/readingorder.h"
#include "module.h"
#include "resource.h"

namespace {

constexpr size_t kLongMessageUnits = 150;
constexpr int kLongMessageGrowth = 100;  // pixels at 96 DPI, whatever the message's length

const wchar_t kDontShowAgainText[] = L"In the future, do not show this information.";

// Optional controls are switched as a pair: enabled and shown, or disabled and hidden.
void ShowOptionalControl(HWND control, bool shown)
{
    EnableWindow(control, shown ? TRUE : FALSE);
    ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
}

ControlMeasurement MeasureChild(HWND dialog, HWND control)
{
    ControlMeasurement measurement{};
    GetWindowRect(control, &measurement.rect);
    // Two points as one rectangle: in a mirrored dialog this yields mirrored
    // client coordinates with left < right, which is what SetWindowPos takes back.
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&measurement.rect), 2);
    measurement.width = measurement.rect.right - measurement.rect.left;
    measurement.height = measurement.rect.bottom - measurement.rect.top;
    return measurement;
}

void MoveWindowTo(HWND window, int left, int top, int width, int height)
{
    // No z-order or tab-order change.
    SetWindowPos(window, HWND_BOTTOM, left, top, width, height, SWP_NOZORDER | SWP_NOCOPYBITS);
}

void InitializeWarningDialog(HWND window, WarningDialogState* state)
{
    if (state == nullptr || state->request == nullptr) {
        SetLastError(ERROR_INVALID_DATA);
        return;
    }
    WarningDialog& dialog = state->dialog;
    dialog.LoadResourceLibrary(state->request->resourceLibraryPath);

    dialog.dialogWindow = window;
    dialog.thirdButton = GetDlgItem(window, IDC_WARNING_THIRD_BUTTON);
    dialog.checkBox = GetDlgItem(window, IDC_WARNING_DONT_SHOW);
    dialog.messageControl = GetDlgItem(window, IDC_WARNING_MESSAGE);
    dialog.okButton = GetDlgItem(window, IDOK);
    dialog.cancelButton = GetDlgItem(window, IDCANCEL);

    SetWarningTexts(*state);
    if (dialog.rightToLeft) {
        const int dataControls[] = {IDC_WARNING_MESSAGE};
        MatchReadingOrderToTexts(window, dataControls);
    }
    ShowWarningControls(*state);
    MeasureWarningControls(dialog);
    GrowForLongMessage(*state);

    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
}

// Ends the dialog with result, keeping the check box's state of this moment
// for the caller that asks for it.
void EndWarningDialog(HWND window, int result)
{
    auto* state = reinterpret_cast<WarningDialogState*>(GetWindowLongPtrW(window, DWLP_USER));
    if (state != nullptr) {
        state->checkBoxTickedAtEnd =
            state->request->showCheckBox != 0 &&
            SendDlgItemMessageW(window, IDC_WARNING_DONT_SHOW, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    EndDialog(window, result);
}

void OnWarningCommand(HWND window, WPARAM wParam)
{
    if (GetWindowLongPtrW(window, DWLP_USER) == 0) {
        SetLastError(ERROR_INVALID_DATA);
        return;
    }
    if (HIWORD(wParam) != 0) {
        return;
    }
    const int control = LOWORD(wParam);
    if (control == IDOK || control == IDCANCEL || control == IDC_WARNING_THIRD_BUTTON) {
        EndWarningDialog(window, control);
    }
}

// Both exports: copies the caller's record and runs the dialog when it asks
// for one. checkBoxTicked may be null.
int32_t ShowWarning(const WarningDialogRequest* request, bool* checkBoxTicked)
{
    if (request == nullptr) {
        return 0;
    }
    UniqueLocalMemory copyMemory(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, sizeof(WarningDialogRequest)));
    if (!copyMemory) {
        return 0;
    }
    auto* copy = static_cast<WarningDialogRequest*>(copyMemory.get());
    std::memcpy(copy, request, sizeof(WarningDialogRequest));
    if (copy->showDialog != 1) {
        return 0;
    }
    TerminateField(copy->messageText);
    TerminateField(copy->resourceLibraryPath);
    return RunWarningDialog(static_cast<WarningDialogRequest*>(copyMemory.release()), checkBoxTicked);
}

}  // namespace

extern "C" int32_t WINAPI IShowWarningDialog(const WarningDialogRequest* request)
{
    return ShowWarning(request, nullptr);
}

extern "C" int32_t WINAPI IShowWarningDialogEx(const WarningDialogRequest* request, int32_t* checkBoxTicked)
{
    bool ticked = false;
    const int32_t result = ShowWarning(request, &ticked);
    if (checkBoxTicked != nullptr) {
        *checkBoxTicked = ticked ? 1 : 0;
    }
    return result;
}

int32_t RunWarningDialog(WarningDialogRequest* copy, bool* checkBoxTicked)
{
    // Released first after the dialog, before the state and its library.
    const HeapObject<WarningDialogState> state = MakeHeapObject<WarningDialogState>();
    UniqueLocalMemory copyMemory(copy);
    if (!state) {
        return 0;
    }
    state->request = copy;

    const HWND owner = GetForegroundWindow();
    const WORD templateId = state->dialog.rightToLeft ? IDD_WARNING_RTL : IDD_WARNING;
    const ModuleActivationContext themedControls(g_moduleInstance);
    const INT_PTR result = DialogBoxParamW(g_moduleInstance, MAKEINTRESOURCEW(templateId), owner, WarningDialogProc,
                                           reinterpret_cast<LPARAM>(state.get()));
    if (checkBoxTicked != nullptr) {
        *checkBoxTicked = state->checkBoxTickedAtEnd;
    }
    return static_cast<int32_t>(result);
}

INT_PTR CALLBACK WarningDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // FALSE for every message: no initial focus is set here, and the dialog
    // manager does its default processing for everything.
    switch (message) {
    case WM_INITDIALOG:
        InitializeWarningDialog(window, reinterpret_cast<WarningDialogState*>(lParam));
        break;
    case WM_COMMAND:
        OnWarningCommand(window, wParam);
        break;
    case WM_CLOSE:
        EndWarningDialog(window, IDCANCEL);
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        PrepareControlText(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        break;
    default:
        break;
    }
    return FALSE;
}

void SetWarningTexts(WarningDialogState& state)
{
    const WarningDialogRequest& request = *state.request;
    WarningDialog& dialog = state.dialog;

    // These four have no built-in text: a string that is not found shows empty.
    TextBuffer title = L"";
    TextBuffer okCaption = L"";
    TextBuffer cancelCaption = L"";
    TextBuffer thirdCaption = L"";
    dialog.LoadResourceString(request.titleStringId, title);
    dialog.LoadResourceString(request.okStringId, okCaption);
    dialog.LoadResourceString(request.cancelStringId, cancelCaption);
    dialog.LoadResourceString(request.thirdButtonStringId, thirdCaption);

    SetWindowTextW(dialog.dialogWindow, title);
    SetWindowTextW(dialog.messageControl, request.messageText);
    SetWindowTextW(dialog.okButton, okCaption);
    SetWindowTextW(dialog.cancelButton, cancelCaption);
    SetWindowTextW(dialog.thirdButton, thirdCaption);
    dialog.SetLocalizedText(IDS_DONT_SHOW_AGAIN, dialog.checkBox, kDontShowAgainText);
}

void ShowWarningControls(WarningDialogState& state)
{
    const WarningDialogRequest& request = *state.request;
    const WarningDialog& dialog = state.dialog;
    ShowOptionalControl(dialog.okButton, request.okStringId != 0);
    ShowOptionalControl(dialog.cancelButton, request.cancelStringId != 0);
    ShowOptionalControl(dialog.thirdButton, request.thirdButtonStringId != 0);
    ShowOptionalControl(dialog.checkBox, request.showCheckBox != 0);
}

void MeasureWarningControls(WarningDialog& dialog)
{
    const HWND window = dialog.dialogWindow;
    dialog.messageArea = MeasureChild(window, dialog.messageControl);
    dialog.thirdButtonArea = MeasureChild(window, dialog.thirdButton);
    dialog.checkBoxArea = MeasureChild(window, dialog.checkBox);
    dialog.okButtonArea = MeasureChild(window, dialog.okButton);
    dialog.cancelButtonArea = MeasureChild(window, dialog.cancelButton);

    ControlMeasurement& frame = dialog.dialogArea;
    GetWindowRect(window, &frame.rect);
    frame.width = frame.rect.right - frame.rect.left;
    frame.height = frame.rect.bottom - frame.rect.top;
}

void GrowForLongMessage(WarningDialogState& state)
{
    if (FieldLength(state.request->messageText) <= kLongMessageUnits) {
        return;
    }
    const WarningDialog& dialog = state.dialog;
    const ControlMeasurement& message = dialog.messageArea;
    const ControlMeasurement& frame = dialog.dialogArea;
    const ControlMeasurement& checkBox = dialog.checkBoxArea;
    // The message's font grows with the display scale, and so does the room
    // for its extra lines.
    const int growth = ScaleToDpi(kLongMessageGrowth, WindowDpi(dialog.dialogWindow));

    MoveWindowTo(dialog.messageControl, message.rect.left, message.rect.top, message.width,
                 message.height + growth);
    MoveWindowTo(dialog.dialogWindow, frame.rect.left, frame.rect.top, frame.width, frame.height + growth);

    // The check box moves under the grown message even when hidden, and the
    // buttons under it, so its band stays between them.
    const int checkBoxTop = message.rect.bottom + growth;
    MoveWindowTo(dialog.checkBox, checkBox.rect.left, checkBoxTop, checkBox.width, checkBox.height);
    const int buttonTop = checkBoxTop + checkBox.height;
    const auto moveButton = [buttonTop](HWND button, const ControlMeasurement& area) {
        MoveWindowTo(button, area.rect.left, buttonTop, area.width, area.height);
    };
    moveButton(dialog.okButton, dialog.okButtonArea);
    moveButton(dialog.cancelButton, dialog.cancelButtonArea);
    moveButton(dialog.thirdButton, dialog.thirdButtonArea);
}
