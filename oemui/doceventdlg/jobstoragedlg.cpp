// The job storage notice: where a stored job is kept and under which names it
// can be found again, on a thread of its own; OK stores whether to show it again.
#include <iterator>
#include <utility>

#include "common/contexthelp.h"
#include "common/controltext.h"
#include "common/fieldtext.h"
#include "common/handles.h"
#include "common/placement.h"
#include "common/readingorder.h"
#include "common/usersetting.h"
#include "dialogrun.h"
#include "include/doceventdlg.h"
#include "module.h"
#include "resource.h"

namespace {

// One notice. The dialog keeps its own copy of the request; after the dialog
// the members go in reverse order: the bold font, then the strings with
// their library.
struct JobStorageState {
    JobStorageRequest request;
    ResourceStrings strings;
    UniqueFont boldFont;  // the identification fields' font
};

constexpr UINT kSetBackgroundColor = WM_USER + 67;  // EM_SETBKGNDCOLOR

const wchar_t kShowJobStorageValue[] = L"ShowJobStorageDlg";
const wchar_t kRangeSuffix[] = L"(1-99)";
constexpr size_t kJobNameTextUnits = 25;

struct LocalizedText {
    int controlId;  // 0: the dialog's own caption
    uint32_t stringId;
    const wchar_t* fallback;
};

const LocalizedText kJobStorageTexts[] = {
    {0, IDS_JOB_STORAGE_TITLE, L"Job Storage Identification"},
    {IDC_JOB_USER_NAME_LABEL, IDS_USER_NAME_LABEL, L"User Name:"},
    {IDC_JOB_JOB_NAME_LABEL, IDS_JOB_NAME_LABEL, L"Job Name:"},
    {IDC_JOB_HEADING, IDS_JOB_STORAGE_HEADING, L"This print Job will be stored at:"},
    {IDC_JOB_DONT_SHOW, IDS_DONT_SHOW_AGAIN, L"In the future, do not show this information."},
    {IDOK, IDS_OK_BUTTON, L"&OK"},
    {IDC_JOB_HELP, IDS_HELP_BUTTON, L"&Help"},
};

// The caller's texts: the location lines and the two names.
const int kDataFields[] = {IDC_JOB_LOCATION_LINE1, IDC_JOB_LOCATION_LINE2, IDC_JOB_LOCATION_LINE3, IDC_JOB_USER_NAME,
                           IDC_JOB_JOB_NAME};

// The location lines: statics, unlike the two names' edit controls.
const int kLocationLines[] = {IDC_JOB_LOCATION_LINE1, IDC_JOB_LOCATION_LINE2, IDC_JOB_LOCATION_LINE3};

// The heading and the two names, in bold.
const int kBoldFields[] = {IDC_JOB_USER_NAME, IDC_JOB_JOB_NAME, IDC_JOB_HEADING};

void TerminateTextFields(JobStorageRequest& request)
{
    TerminateField(request.userName);
    TerminateField(request.jobName);
    TerminateField(request.locationLine1);
    TerminateField(request.locationLine2);
    TerminateField(request.locationLine3);
    TerminateField(request.settingsSubKey);
    TerminateField(request.resourceLibraryPath);
    TerminateField(request.helpFilePath);
}

// The job name, with "(1-99)" behind it when both flags are exactly 1.
void SetJobNameText(const JobStorageRequest& request, HWND control)
{
    if (request.rangeSuffixFlag2 != 1 || request.rangeSuffixFlag1 != 1) {
        SetWindowTextW(control, request.jobName);
        return;
    }
    wchar_t text[kJobNameTextUnits];
    const size_t nameUnits = CopyBoundedText(text, kJobNameTextUnits, request.jobName, kJobNameTextUnits - 1);
    CopyBoundedText(text + nameUnits, kJobNameTextUnits - nameUnits, kRangeSuffix, std::size(kRangeSuffix) - 1);
    SetWindowTextW(control, text);
}

// The heading and the two names in bold: a bold copy of base (the dialog's
// font) for them, which replaces the one they had, if any.
void MakeBoldFont(JobStorageState& state, HWND window, HFONT base)
{
    if (base == nullptr) {
        return;  // the fields keep the dialog font
    }
    LOGFONTW font{};
    GetObjectW(base, sizeof(font), &font);
    UniqueFont bold(CreateFontW(font.lfHeight, font.lfWidth, font.lfEscapement, font.lfOrientation, FW_BOLD,
                                font.lfItalic, font.lfUnderline, font.lfStrikeOut, font.lfCharSet, font.lfOutPrecision,
                                font.lfClipPrecision, font.lfQuality, font.lfPitchAndFamily, font.lfFaceName));
    for (const int field : kBoldFields) {
        SendDlgItemMessageW(window, field, WM_SETFONT, reinterpret_cast<WPARAM>(bold.get()), 0);
    }
    state.boldFont = std::move(bold);  // the one before goes now that no field has it
}

void SetJobStorageTexts(JobStorageState& state, HWND window);
INT_PTR CALLBACK JobStorageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs one notice on the calling thread (its own). The dialog's state takes
// its own copy of the request, and the export's copy is released at once.
void RunJobStorageDialog(RequestCopy<JobStorageRequest> copy)
{
    const HeapObject<JobStorageState> state = MakeHeapObject<JobStorageState>();
    if (!state) {
        return;
    }
    state->request = *copy;
    copy.reset();
    RunModalDialog(state->strings, {IDD_JOB_STORAGE, IDD_JOB_STORAGE_RTL}, DialogOwner::None, JobStorageDialogProc,
                   state.get());
}

BOOL InitializeJobStorageDialog(HWND window, JobStorageState* state)
{
    if (state == nullptr) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const JobStorageRequest& request = state->request;
    state->strings.LoadResourceLibrary(request.resourceLibraryPath);
    SetJobStorageTexts(*state, window);
    SetDlgItemTextW(window, IDC_JOB_LOCATION_LINE1, request.locationLine1);
    SetDlgItemTextW(window, IDC_JOB_LOCATION_LINE2, request.locationLine2);
    SetDlgItemTextW(window, IDC_JOB_LOCATION_LINE3, request.locationLine3);
    SetJobNameText(request, GetDlgItem(window, IDC_JOB_JOB_NAME));
    SetDlgItemTextW(window, IDC_JOB_USER_NAME, request.userName);
    // The caller's paths as written, shortened in their middle where too long.
    ShowTextsAsWritten(window, kLocationLines);
    ShortenPathsInTheMiddle(window, kLocationLines);
    if (state->strings.rightToLeft) {
        MatchReadingOrderToTexts(window, kDataFields);
    }
    CenterOverForeground(window, PlacementVariant::Guarded);
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    return FALSE;  // the focus goes to the first shown button (RunModalDialog)
}

BOOL OnJobStorageCommand(HWND window, WPARAM wParam)
{
    const auto* state = reinterpret_cast<const JobStorageState*>(GetWindowLongPtrW(window, DWLP_USER));
    if (state == nullptr) {
        // Also the edit controls' notifications while WM_INITDIALOG sets their texts.
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (HIWORD(wParam) != 0) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
    case IDOK: {
        const bool dontShowAgain = SendDlgItemMessageW(window, IDC_JOB_DONT_SHOW, BM_GETCHECK, 0, 0) == BST_CHECKED;
        const BYTE showAgain = dontShowAgain ? 0x00 : 0x01;
        // The dialog ends whether or not the preference could be stored.
        WriteUserSetting(state->request.settingsSubKey, kShowJobStorageValue, &showAgain, sizeof(showAgain));
        EndModalDialog(window, IDOK);
        return TRUE;
    }
    case IDC_JOB_HELP:
        ShowControlHelp(GetDlgItem(window, IDC_JOB_HELP), state->request.helpFilePath, IDC_JOB_HELP,
                        IDH_JOB_STORAGE);
        return TRUE;
    default:
        return FALSE;  // IDCANCEL (Escape) among them: the notice stays
    }
}

INT_PTR CALLBACK JobStorageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitializeJobStorageDialog(window, reinterpret_cast<JobStorageState*>(lParam));
    case WM_COMMAND:
        return OnJobStorageCommand(window, wParam);
    case kDialogDpiChanged:
        // The bold fields follow the dialog's font to its new DPI.
        if (auto* state = reinterpret_cast<JobStorageState*>(GetWindowLongPtrW(window, DWLP_USER))) {
            MakeBoldFont(*state, window, reinterpret_cast<HFONT>(lParam));
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        }
        return TRUE;
    case WM_HELP: {
        // F1 does what the Help button does, while it is shown.
        const HWND help = GetDlgItem(window, IDC_JOB_HELP);
        if (IsWindowVisible(help) && IsWindowEnabled(help)) {
            OnJobStorageCommand(window, MAKEWPARAM(IDC_JOB_HELP, BN_CLICKED));
        }
        return TRUE;
    }
    case WM_CLOSE:
        // Closing is not OK: the preference stays as it was.
        EndModalDialog(window, IDOK);
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        PrepareControlText(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return FALSE;  // the system's colours and brush
    default:
        return FALSE;
    }
}

void SetJobStorageTexts(JobStorageState& state, HWND window)
{
    // Asks for the button face behind the fields; the standard edit controls of
    // the templates do not act on it, so they keep the read-only look.
    for (const int field : kBoldFields) {
        SendDlgItemMessageW(window, field, kSetBackgroundColor, 0, static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
    }
    MakeBoldFont(state, window,
                 reinterpret_cast<HFONT>(SendDlgItemMessageW(window, IDC_JOB_USER_NAME, WM_GETFONT, 0, 0)));
    for (const LocalizedText& text : kJobStorageTexts) {
        const HWND target = text.controlId == 0 ? window : GetDlgItem(window, text.controlId);
        state.strings.SetLocalizedText(text.stringId, target, text.fallback);
    }
}

}  // namespace

extern "C" _Ret_maybenull_ HANDLE WINAPI VJobStorageDialog(_In_ const JobStorageRequest* request)
{
    RequestCopy<JobStorageRequest> copy = AcceptRequest(request);
    if (!copy) {
        return nullptr;
    }
    TerminateTextFields(*copy);
    const HANDLE thread = StartDialogThread<JobStorageRequest, RunJobStorageDialog>(std::move(copy));
    StoreDialogThread(g_jobStorageThread, thread);
    return thread;
}
