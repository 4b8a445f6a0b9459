// The warning dialog: a caller's message, up to three caller-labelled buttons
// and an optional check box, run on the caller's thread.
#include <cstdint>
#include <utility>

#include "common/controltext.h"
#include "common/displayscale.h"
#include "common/fieldtext.h"
#include "common/readingorder.h"
#include "dialogrun.h"
#include "include/doceventdlg.h"
#include "resource.h"

namespace {

constexpr size_t kLongMessageUnits = 150;
constexpr int kLongMessageGrowth = 100;  // pixels at 96 DPI, whatever the message's length

const wchar_t kDontShowAgainText[] = L"In the future, do not show this information.";

// A control's rectangle (client coordinates of the dialog; the dialog's own
// in screen coordinates) with its extent.
struct ControlMeasurement {
    RECT rect;
    int32_t width;
    int32_t height;
};

// One warning, from its request to its end. After the dialog the members go
// in reverse order: the request copy, then the strings with their library.
struct WarningDialogState {
    explicit WarningDialogState(RequestCopy<WarningDialogRequest>&& copy) : request(std::move(copy)) {}

    ResourceStrings strings;
    RequestCopy<WarningDialogRequest> request;

    HWND dialogWindow = nullptr;
    HWND thirdButton = nullptr;
    HWND checkBox = nullptr;
    HWND messageControl = nullptr;
    HWND okButton = nullptr;
    HWND cancelButton = nullptr;

    // Taken and used only while the dialog initialises.
    ControlMeasurement messageArea{};
    ControlMeasurement dialogArea{};
    ControlMeasurement thirdButtonArea{};
    ControlMeasurement checkBoxArea{};
    ControlMeasurement okButtonArea{};
    ControlMeasurement cancelButtonArea{};

    bool checkBoxTickedAtEnd = false;  // the shown check box's state when the dialog ended
};

void SetWarningTexts(WarningDialogState& state);
void ShowWarningControls(const WarningDialogState& state);
void MeasureWarningControls(WarningDialogState& state);
void GrowForLongMessage(const WarningDialogState& state);

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
    if (state == nullptr || !state->request) {
        SetLastError(ERROR_INVALID_DATA);
        return;
    }
    state->strings.LoadResourceLibrary(state->request->resourceLibraryPath);

    state->dialogWindow = window;
    state->thirdButton = GetDlgItem(window, IDC_WARNING_THIRD_BUTTON);
    state->checkBox = GetDlgItem(window, IDC_WARNING_DONT_SHOW);
    state->messageControl = GetDlgItem(window, IDC_WARNING_MESSAGE);
    state->okButton = GetDlgItem(window, IDOK);
    state->cancelButton = GetDlgItem(window, IDCANCEL);

    SetWarningTexts(*state);
    const int dataControls[] = {IDC_WARNING_MESSAGE};
    ShowTextsAsWritten(window, dataControls);
    if (state->strings.rightToLeft) {
        MatchReadingOrderToTexts(window, dataControls);
    }
    ShowWarningControls(*state);
    MeasureWarningControls(*state);
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
    EndModalDialog(window, result);
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

INT_PTR CALLBACK WarningDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs one warning on the calling thread. Returns the low 32 bits of the
// dialog's result, or 0 when no dialog was attempted; checkBoxTicked receives
// whether the shown check box was ticked as the dialog ended.
int32_t RunWarningDialog(RequestCopy<WarningDialogRequest> copy, bool& checkBoxTicked)
{
    const HeapObject<WarningDialogState> state = MakeHeapObject<WarningDialogState>(std::move(copy));
    if (!state) {
        return 0;
    }
    const INT_PTR result = RunModalDialog(state->strings, {IDD_WARNING, IDD_WARNING_RTL}, DialogOwner::Foreground,
                                          WarningDialogProc, state.get());
    checkBoxTicked = state->checkBoxTickedAtEnd;
    return static_cast<int32_t>(result);
}

INT_PTR CALLBACK WarningDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // FALSE for every message: the focus goes to the first shown button
    // after initialisation (RunModalDialog), and the dialog manager does its
    // default processing for everything. The warning has no Help button, so
    // F1 does nothing.
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

    // These four have no built-in text: a string that is not found shows empty.
    TextBuffer title = L"";
    TextBuffer okCaption = L"";
    TextBuffer cancelCaption = L"";
    TextBuffer thirdCaption = L"";
    const ResourceStrings& strings = state.strings;
    strings.LoadResourceString(request.titleStringId, title);
    strings.LoadResourceString(request.okStringId, okCaption);
    strings.LoadResourceString(request.cancelStringId, cancelCaption);
    strings.LoadResourceString(request.thirdButtonStringId, thirdCaption);

    SetWindowTextW(state.dialogWindow, title);
    SetWindowTextW(state.messageControl, request.messageText);
    SetWindowTextW(state.okButton, okCaption);
    SetWindowTextW(state.cancelButton, cancelCaption);
    SetWindowTextW(state.thirdButton, thirdCaption);
    strings.SetLocalizedText(IDS_DONT_SHOW_AGAIN, state.checkBox, kDontShowAgainText);
}

void ShowWarningControls(const WarningDialogState& state)
{
    const WarningDialogRequest& request = *state.request;
    ShowOptionalControl(state.okButton, request.okStringId != 0);
    ShowOptionalControl(state.cancelButton, request.cancelStringId != 0);
    ShowOptionalControl(state.thirdButton, request.thirdButtonStringId != 0);
    ShowOptionalControl(state.checkBox, request.showCheckBox != 0);
}

void MeasureWarningControls(WarningDialogState& state)
{
    const HWND window = state.dialogWindow;
    state.messageArea = MeasureChild(window, state.messageControl);
    state.thirdButtonArea = MeasureChild(window, state.thirdButton);
    state.checkBoxArea = MeasureChild(window, state.checkBox);
    state.okButtonArea = MeasureChild(window, state.okButton);
    state.cancelButtonArea = MeasureChild(window, state.cancelButton);

    ControlMeasurement& frame = state.dialogArea;
    GetWindowRect(window, &frame.rect);
    frame.width = frame.rect.right - frame.rect.left;
    frame.height = frame.rect.bottom - frame.rect.top;
}

void GrowForLongMessage(const WarningDialogState& state)
{
    if (FieldLength(state.request->messageText) <= kLongMessageUnits) {
        return;
    }
    const ControlMeasurement& message = state.messageArea;
    const ControlMeasurement& frame = state.dialogArea;
    const ControlMeasurement& checkBox = state.checkBoxArea;
    // The message's font grows with the display scale, and so does the room
    // for its extra lines.
    const int growth = ScaleToDpi(kLongMessageGrowth, WindowDpi(state.dialogWindow));

    MoveWindowTo(state.messageControl, message.rect.left, message.rect.top, message.width,
                 message.height + growth);
    MoveWindowTo(state.dialogWindow, frame.rect.left, frame.rect.top, frame.width, frame.height + growth);

    // The check box moves under the grown message even when hidden, and the
    // buttons under it, so its band stays between them.
    const int checkBoxTop = message.rect.bottom + growth;
    MoveWindowTo(state.checkBox, checkBox.rect.left, checkBoxTop, checkBox.width, checkBox.height);
    const int buttonTop = checkBoxTop + checkBox.height;
    const auto moveButton = [buttonTop](HWND button, const ControlMeasurement& area) {
        MoveWindowTo(button, area.rect.left, buttonTop, area.width, area.height);
    };
    moveButton(state.okButton, state.okButtonArea);
    moveButton(state.cancelButton, state.cancelButtonArea);
    moveButton(state.thirdButton, state.thirdButtonArea);
}

}  // namespace

extern "C" int32_t WINAPI IShowWarningDialogEx(_In_ const WarningDialogRequest* request,
                                             _Out_opt_ int32_t* checkBoxTicked)
{
    bool ticked = false;
    int32_t result = 0;
    RequestCopy<WarningDialogRequest> copy = AcceptRequest(request);
    if (copy && copy->showDialog == 1) {
        TerminateField(copy->messageText);
        TerminateField(copy->resourceLibraryPath);
        result = RunWarningDialog(std::move(copy), ticked);
    }
    if (checkBoxTicked != nullptr) {
        *checkBoxTicked = ticked ? 1 : 0;
    }
    return result;
}

extern "C" int32_t WINAPI IShowWarningDialog(_In_ const WarningDialogRequest* request)
{
    return IShowWarningDialogEx(request, nullptr);
}
