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
#include "module.h"
#include "resource.h"

namespace {

// A message longer than this grows the dialog by at least the fixed growth,
// as it always has; any message grows it by what its lines need beyond that.
constexpr size_t kLongMessageUnits = 150;
constexpr int kLongMessageGrowth = 100;  // pixels at 96 DPI

// A scrolling message holds the whole message with each line break as an
// edit control breaks its lines (CR LF): at most twice the field's units.
constexpr size_t kScrollingMessageUnits = 2 * 1024;

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
void GrowForLongMessage(WarningDialogState& state);

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
    ShowWarningControls(*state);
    MeasureWarningControls(*state);
    // Before the reading order: a message that scrolls is a control of its own.
    GrowForLongMessage(*state);
    if (state->strings.rightToLeft) {
        MatchReadingOrderToTexts(window, dataControls);
    }

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

// How much the message and the dialog grow, in pixels, and whether the
// message scrolls because even that is not enough.
struct MessageGrowth {
    int pixels;
    bool scrolls;
};

// The height the message's lines take at the message's width, laid out as
// its static control lays them out, with its font (made for the dialog's DPI).
int MessageTextHeight(HWND message, int width)
{
    const WindowDc dc(message);
    if (dc.get() == nullptr) {
        return 0;
    }
    const auto font = reinterpret_cast<HFONT>(SendMessageW(message, WM_GETFONT, 0, 0));
    const SelectedObject selected(dc.get(), font);
    wchar_t text[kScrollingMessageUnits / 2];
    const int units = GetWindowTextW(message, text, static_cast<int>(kScrollingMessageUnits / 2));
    RECT needed{0, 0, width, 0};
    DrawTextW(dc.get(), text, units, &needed,
              DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return needed.bottom - needed.top;
}

// The work area of the dialog's monitor, so that no taskbar covers a grown
// dialog; false when no monitor answers.
bool DialogWorkArea(HWND dialog, RECT& work)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    const HMONITOR handle = MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST);
    if (handle == nullptr || !GetMonitorInfoW(handle, &monitor)) {
        return false;
    }
    work = monitor.rcWork;
    return true;
}

// The one place that decides the growth: what the message needs at the
// dialog's width, font and DPI, never less than the fixed growth of a long
// message (no dialog is smaller than it was), and no more than the work area
// of the dialog's monitor leaves; a message that needs more scrolls.
MessageGrowth MeasureMessageGrowth(const WarningDialogState& state)
{
    const ControlMeasurement& message = state.messageArea;
    const int fixed = FieldLength(state.request->messageText) > kLongMessageUnits
                          ? ScaleToDpi(kLongMessageGrowth, WindowDpi(state.dialogWindow))
                          : 0;
    const int needed = MessageTextHeight(state.messageControl, message.width) - message.height;
    const int growth = needed > fixed ? needed : fixed;
    RECT work{};
    if (!DialogWorkArea(state.dialogWindow, work)) {
        return {growth, false};
    }
    const int room = static_cast<int>(work.bottom - work.top) - state.dialogArea.height;
    if (growth <= room) {
        return {growth, false};
    }
    return {room > fixed ? room : fixed, needed > room};
}

// text with every line break as CR LF, the only one an edit control breaks
// its lines at; cut to capacity.
void CopyWithEditLineBreaks(const wchar_t* text, wchar_t* copy, size_t capacity)
{
    size_t used = 0;
    for (size_t i = 0; text[i] != L'\0' && used + 2 < capacity; ++i) {
        const bool lineFeed = text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r');
        const bool carriageReturn = text[i] == L'\r' && text[i + 1] != L'\n';
        if (lineFeed || carriageReturn) {
            copy[used++] = L'\r';
            copy[used++] = L'\n';
        } else {
            copy[used++] = text[i];
        }
    }
    copy[used] = L'\0';
}

// Puts a read-only edit control that scrolls in the static message's place:
// the same ID, place, z-order, font and text, and a tab stop, so that the
// user can reach the end of the message from the keyboard too. The static
// goes. Null when no edit control could be made: the static stays.
HWND MakeMessageScroll(WarningDialogState& state, const RECT& place)
{
    const HWND message = state.messageControl;
    wchar_t text[kScrollingMessageUnits];
    CopyWithEditLineBreaks(state.request->messageText, text, kScrollingMessageUnits);
    const HWND scroll = CreateWindowExW(
        WS_EX_NOPARENTNOTIFY, L"Edit", text,  // as the dialog manager makes its controls
        WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_LEFT,
        place.left, place.top, place.right - place.left, place.bottom - place.top, state.dialogWindow,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_WARNING_MESSAGE)), g_moduleInstance, nullptr);
    if (scroll == nullptr) {
        return nullptr;
    }
    SendMessageW(scroll, WM_SETFONT, static_cast<WPARAM>(SendMessageW(message, WM_GETFONT, 0, 0)), FALSE);
    SetWindowPos(scroll, message, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DestroyWindow(message);
    state.messageControl = scroll;
    return scroll;
}

void GrowForLongMessage(WarningDialogState& state)
{
    const MessageGrowth growth = MeasureMessageGrowth(state);
    if (growth.pixels <= 0 && !growth.scrolls) {
        return;
    }
    const ControlMeasurement& message = state.messageArea;
    const ControlMeasurement& frame = state.dialogArea;
    const ControlMeasurement& checkBox = state.checkBoxArea;
    const int grown = growth.pixels > 0 ? growth.pixels : 0;

    const RECT messagePlace{message.rect.left, message.rect.top, message.rect.right, message.rect.bottom + grown};
    if (!growth.scrolls || MakeMessageScroll(state, messagePlace) == nullptr) {
        MoveWindowTo(state.messageControl, message.rect.left, message.rect.top, message.width,
                     message.height + grown);
    }
    // Grown downwards, as before, unless that would leave the work area.
    int top = frame.rect.top;
    RECT work{};
    if (DialogWorkArea(state.dialogWindow, work) && top + frame.height + grown > work.bottom) {
        top = static_cast<int>(work.bottom) - frame.height - grown;
        top = top > work.top ? top : static_cast<int>(work.top);
    }
    MoveWindowTo(state.dialogWindow, frame.rect.left, top, frame.width, frame.height + grown);

    // The check box moves under the grown message even when hidden, and the
    // buttons under it, so its band stays between them.
    const int checkBoxTop = message.rect.bottom + grown;
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
