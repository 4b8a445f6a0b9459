// Two-sided printing instructions: an introduction and three illustrated
// steps, on a thread of its own or while the caller waits.
#include <algorithm>
#include <iterator>
#include <utility>

#include "common/contexthelp.h"
#include "common/contrastcolors.h"
#include "common/displayscale.h"
#include "common/fieldtext.h"
#include "common/graphicannotation.h"
#include "common/handles.h"
#include "common/placement.h"
#include "common/readingorder.h"
#include "dialogrun.h"
#include "include/doceventdlg.h"
#include "module.h"
#include "resource.h"

namespace {

const wchar_t kTitleText[] = L"Print on Both Sides Instructions";
const wchar_t kEvenPagesFirstText[] =
    L"After the even-numbered pages have printed, the Manual Feed prompt will occur on the printer.  "
    L"Follow the instructions below to print the odd-numbered pages (second sides).";
const wchar_t kOddPagesFirstText[] =
    L"The odd-numbered pages of your document are printing.  Remove the printed pages from the OUT tray when "
    L"printing is complete.  Follow the instructions below to print the second side of your pages.";
const wchar_t kStep1Number[] = L"1.";
const wchar_t kStep2Number[] = L"2.";
const wchar_t kStep3Number[] = L"3.";
const wchar_t kStep1Text[] =
    L"Without changing the orientation, remove the  paper stack from the Output Bin.  Do not discard blank sheets.";
const wchar_t kStep2Text[] = L"Maintaining the same orientation, insert the paper stack into Tray 1";
const wchar_t kStep3Text[] = L"If printing does not automatically continue, press the Go or Check button.";
const wchar_t kInsertInTrayText[] =
    L"Insert the stack into the IN tray with the top of the pages toward the device, as shown.";
const wchar_t kPressGoText[] = L"Press the Go or Select button to continue printing.";
const wchar_t kContinueButton[] = L"C&ontinue";
const wchar_t kOkButton[] = L"&OK";
const wchar_t kHelpButton[] = L"&Help";

constexpr size_t kComposedTextUnits = 512;

// The three picture frames, in the order they are painted.
constexpr int kPictureFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};
constexpr size_t kPictureFrameCount = std::size(kPictureFrames);

// A picture frame: its window, the picture it shows, and the static
// control's own procedure, to which the frame leaves what it does not do itself.
struct PictureFrame {
    HWND window = nullptr;
    uint32_t bitmapId = 0;
    WNDPROC controlProc = nullptr;
};

// One instructions dialog. After the dialog the members go in reverse order:
// the frames' annotations (and the thread's COM as it was), the request
// copy, then the strings with their library.
struct DuplexState {
    explicit DuplexState(RequestCopy<DuplexInstructionsRequest>&& copy) : request(std::move(copy)) {}

    ResourceStrings strings;
    RequestCopy<DuplexInstructionsRequest> request;
    PictureFrame frames[kPictureFrameCount];
    GraphicAnnotations annotations;  // the frames as graphics, for screen readers
};

void SetDuplexTexts(const ResourceStrings& strings, HWND window, const DuplexInstructionsRequest& request);
void PaintIllustration(const PictureFrame& frame, HINSTANCE instance);

// What each picture shows, in words for a screen reader: the built-in texts
// of the strings IDS_PICTURE_NAME_BASE + bitmap ID.
struct PictureName {
    WORD bitmapId;
    const wchar_t* text;
};

const PictureName kPictureNames[] = {
    {IDB_ILLUSTRATION_105, L"Paper stack in the output bin, blank side up, with the far corner marked"},
    {IDB_ILLUSTRATION_106,
     L"Printed stack being moved from the tray to the bin, with the same edge marked before and after"},
    {IDB_ILLUSTRATION_107,
     L"Paper stack on a tray with a paper guide, blank side up, with the far right corner marked"},
    {IDB_ILLUSTRATION_108, L"Paper stack on a tray with a paper guide, printed side up, with the front edge marked"},
    {IDB_ILLUSTRATION_109, L"A finger pressing a round button"},
    {IDB_ILLUSTRATION_110, L"A sheet going into the feed slot, blank side up, with the top edge marked"},
    {IDB_ILLUSTRATION_111, L"A sheet going into the feed slot, blank side up, with the lower left edge marked"},
    {IDB_ILLUSTRATION_112, L"A sheet going into the feed slot, printed side up, with the upper left corner marked"},
    {IDB_ILLUSTRATION_113, L"A sheet going into the feed slot, printed side up, with the right edge marked"},
    {IDB_ILLUSTRATION_114, L"Paper stack in the front drawer, blank side up, with the far edge marked"},
    {IDB_ILLUSTRATION_115,
     L"Paper stack in the front drawer seen from another side, blank side up, with the far edge marked"},
    {IDB_ILLUSTRATION_116, L"Paper stack in the front drawer, printed side up, with the right corner marked"},
    {IDB_ILLUSTRATION_117,
     L"Paper stack in the front drawer, printed side up, with the edge toward the printer marked"},
    {IDB_ILLUSTRATION_118, L"Paper stack in the front drawer, blank side up, with the middle of the far edge marked"},
    {IDB_ILLUSTRATION_119,
     L"Close view of the paper stack in the front drawer, blank side up, with the far edge marked"},
    {IDB_ILLUSTRATION_120, L"Paper stack in the front drawer, printed side up, with the right edge marked"},
    {IDB_ILLUSTRATION_121, L"Paper stack in the front drawer, printed side up, with the left edge marked"},
    {IDB_ILLUSTRATION_122, L"The Continue button on the screen, with the mouse pointer on it"},
    {IDB_ILLUSTRATION_123, L"A printed sheet being turned over, with the left edge marked"},
    {IDB_ILLUSTRATION_133, L"A blank sheet being turned over, with the left corner marked"},
    {IDB_ILLUSTRATION_134, L"A printed sheet being turned over, with the lower right edge marked"},
    {IDB_ILLUSTRATION_146, L"Paper stack in a flat tray, blank side up, with the far right corner marked"},
    {IDB_ILLUSTRATION_147, L"Paper stack in the pulled-out paper drawer, blank side up, with the right edge marked"},
    {IDB_ILLUSTRATION_149, L"Paper stack being turned over in a flat tray, with the same edge marked before and after"},
    {IDB_ILLUSTRATION_151, L"A blank sheet being turned over, with the right edge marked"},
    {IDB_ILLUSTRATION_152, L"A printed sheet being turned over, with the right edge marked"},
    {IDB_ILLUSTRATION_153, L"A finger pressing a key on the printer's control panel"},
    {IDB_ILLUSTRATION_154, L"Paper stack being turned over, with the same edge marked before and after"},
    {IDB_ILLUSTRATION_155, L"Paper stack being turned over, with the same edge marked before and after"},
};

bool IsWaiting(const DuplexInstructionsRequest& request) { return request.waitForContinue != 0; }

// A string of the library, or the built-in text cut to the buffer.
void LoadTextOrFallback(const ResourceStrings& strings, uint32_t id, const wchar_t* fallback, TextBuffer& text)
{
    if (!strings.LoadResourceString(id, text)) {
        CopyBoundedText(text, kTextBufferUnits, fallback, kTextBufferUnits);
    }
}

// String 3140, a line feed and string 3066, each with its built-in text.
void SetComposedStep3Text(const ResourceStrings& strings, HWND control)
{
    TextBuffer firstLine;
    TextBuffer secondLine;
    LoadTextOrFallback(strings, IDS_DUPLEX_INSERT_IN_TRAY, kInsertInTrayText, firstLine);
    LoadTextOrFallback(strings, IDS_DUPLEX_PRESS_GO, kPressGoText, secondLine);

    wchar_t joined[kComposedTextUnits];
    size_t used = CopyBoundedText(joined, kComposedTextUnits, firstLine, kTextBufferUnits);
    used += CopyBoundedText(joined + used, kComposedTextUnits - used, L"\n", 1);
    CopyBoundedText(joined + used, kComposedTextUnits - used, secondLine, kTextBufferUnits);
    SetWindowTextW(control, joined);
}

void FillFrameBackground(HWND frame, HDC dc)
{
    RECT client{};
    GetClientRect(frame, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
}

uint32_t FrameBitmapId(const DuplexInstructionsRequest& request, int frameId)
{
    switch (frameId) {
    case IDC_DUPLEX_STEP1_PICTURE:
        return request.step1BitmapId;
    case IDC_DUPLEX_STEP2_PICTURE:
        return request.step2BitmapId;
    default:
        return request.step3BitmapId;
    }
}

// From 150 % up the pictures are drawn from the artwork made at twice their
// size; below, the table's picture is enlarged.
constexpr int kLargeArtworkMinimumDpi = 144;

bool IsLargeArtworkId(WORD id) { return id >= IDB_ILLUSTRATION_105_2X && id <= IDB_ILLUSTRATION_155_2X; }

// A loaded picture and how many of its pixels, each way, make one pixel of
// the table's picture (1, or 2 for the larger artwork).
struct PictureSource {
    UniqueBitmap bitmap;
    int density = 1;
};

PictureSource LoadPicture(HINSTANCE instance, WORD id, int dpi)
{
    if (IsLargeArtworkId(id)) {
        return {};  // a source of the table's pictures, not a step picture itself
    }
    if (dpi >= kLargeArtworkMinimumDpi && id >= IDB_ILLUSTRATION_105 && id <= IDB_ILLUSTRATION_155) {
        UniqueBitmap large(LoadBitmapW(instance, MAKEINTRESOURCEW(id + IDB_ILLUSTRATION_2X_OFFSET)));
        if (large) {
            return {std::move(large), 2};
        }
    }
    return {UniqueBitmap(LoadBitmapW(instance, MAKEINTRESOURCEW(id))), 1};
}

// Draws the picture at its scaled size with its top-left corner at the
// visible rectangle's, showing only that rectangle: what lies beyond the
// frame is cut off, never squeezed in. The picture is scaled whole into a
// bitmap of its own and copied from there, because a stretch straight into
// a clipped target resamples the visible part on its own on some platforms,
// shifting its pixels. Halftone makes each pixel the average of the source
// pixels it covers, so the larger artwork shrinks without losing its thin
// lines, and the table's picture grows by a quarter without doubling every
// fourth line.
void StretchPicture(HDC target, const RECT& visible, int drawnWidth, int drawnHeight, HDC source,
                    const BITMAP& picture)
{
    const UniqueMemoryDc scaledDc(CreateCompatibleDC(target));
    const UniqueBitmap scaled(CreateCompatibleBitmap(target, drawnWidth, drawnHeight));
    if (!scaledDc || !scaled) {
        return;
    }
    const SelectedObject selected(scaledDc.get(), scaled.get());
    SetStretchBltMode(scaledDc.get(), HALFTONE);
    SetBrushOrgEx(scaledDc.get(), 0, 0, nullptr);  // halftone needs the brush origin set after the mode
    StretchBlt(scaledDc.get(), 0, 0, drawnWidth, drawnHeight, source, 0, 0, picture.bmWidth, picture.bmHeight,
               SRCCOPY);
    BitBlt(target, visible.left, visible.top, visible.right - visible.left, visible.bottom - visible.top,
           scaledDc.get(), 0, 0, SRCCOPY | NOMIRRORBITMAP);
}

void PaintIllustrations(HWND window)
{
    const auto* state = reinterpret_cast<const DuplexState*>(GetWindowLongPtrW(window, DWLP_USER));
    if (state == nullptr) {
        return;  // not initialised yet: nothing to paint
    }
    for (const PictureFrame& frame : state->frames) {
        PaintIllustration(frame, g_moduleInstance);
    }
}

// A picture frame is also repainted on its own, without the dialog (when only
// the frame was invalidated); it then paints its picture itself instead of
// the static control. Its text is the picture's name for screen readers and
// is never drawn: the frame paints, prints and takes a new text or state
// without the static control, which would draw the text at once. The frame's
// user data is its PictureFrame.
LRESULT CALLBACK PictureFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto* frame = reinterpret_cast<const PictureFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_PAINT:
        PaintIllustration(*frame, g_moduleInstance);
        return 0;
    case WM_PRINTCLIENT:
        FillFrameBackground(window, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SYSCOLORCHANGE:
        return DefWindowProcW(window, message, wParam, lParam);
    default:
        return CallWindowProcW(frame->controlProc, window, message, wParam, lParam);
    }
}

// The frames paint their pictures themselves from here on: the last step
// before the dialog has its state, so that no frame shows a picture before
// the dialog is initialised.
void PaintFramesThemselves(HWND window, DuplexState& state)
{
    const DuplexInstructionsRequest& request = *state.request;
    const uint32_t bitmapIds[kPictureFrameCount] = {request.step1BitmapId, request.step2BitmapId,
                                                    request.step3BitmapId};
    for (size_t i = 0; i < kPictureFrameCount; ++i) {
        PictureFrame& frame = state.frames[i];
        frame.window = GetDlgItem(window, kPictureFrames[i]);
        frame.bitmapId = bitmapIds[i];
        if (frame.window != nullptr) {
            frame.controlProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(frame.window, GWLP_WNDPROC));
            SetWindowLongPtrW(frame.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&frame));
            SetWindowLongPtrW(frame.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PictureFrameProc));
        }
    }
}

// Each frame's text names its picture (none for a bitmap ID that names no
// picture of the library), from the caller's library or the built-in words.
void SetPictureNames(const ResourceStrings& strings, HWND window, const DuplexInstructionsRequest& request)
{
    for (const int frameId : kPictureFrames) {
        const WORD bitmapId = LOWORD(FrameBitmapId(request, frameId));
        for (const PictureName& name : kPictureNames) {
            if (name.bitmapId == bitmapId) {
                strings.SetLocalizedText(IDS_PICTURE_NAME_BASE + bitmapId, GetDlgItem(window, frameId), name.text);
            }
        }
    }
}

void ShowDuplexHelp(HWND window)
{
    const auto* state = reinterpret_cast<const DuplexState*>(GetWindowLongPtrW(window, DWLP_USER));
    if (state == nullptr) {
        return;
    }
    const DuplexInstructionsRequest& request = *state->request;
    ShowControlHelp(GetDlgItem(window, IDC_DUPLEX_HELP), request.helpFilePath, IDC_DUPLEX_HELP,
                    IsWaiting(request) ? IDH_DUPLEX_WAITING : IDH_DUPLEX_INFORMATIONAL);
}

void InitializeDuplexDialog(HWND window, DuplexState* state)
{
    if (state == nullptr || !state->request) {
        return;
    }
    state->strings.LoadResourceLibrary(state->request->resourceLibraryPath);
    SetDuplexTexts(state->strings, window, *state->request);
    if (state->strings.rightToLeft) {
        MatchReadingOrderToTexts(window, nullptr, 0);  // every text is the dialog's own
    }
    SetPictureNames(state->strings, window, *state->request);
    CenterOverForeground(window, PlacementVariant::Unguarded);
    PaintFramesThemselves(window, *state);
    for (const PictureFrame& frame : state->frames) {
        state->annotations.Announce(frame.window);
    }
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
}

INT_PTR CALLBACK DuplexDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs one instructions dialog on the calling thread: the caller's when it
// waits, its own otherwise.
void RunDuplexDialog(RequestCopy<DuplexInstructionsRequest> copy)
{
    const HeapObject<DuplexState> state = MakeHeapObject<DuplexState>(std::move(copy));
    if (!state) {
        return;
    }
    const DialogOwner owner = IsWaiting(*state->request) ? DialogOwner::Foreground : DialogOwner::None;
    RunModalDialog(state->strings, {IDD_DUPLEX_INSTRUCTIONS, IDD_DUPLEX_INSTRUCTIONS_RTL}, owner, DuplexDialogProc,
                   state.get());
}

INT_PTR CALLBACK DuplexDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitializeDuplexDialog(window, reinterpret_cast<DuplexState*>(lParam));
        return FALSE;
    case WM_PAINT:
        // The dialog's own painting still runs: FALSE lets the dialog manager do it.
        PaintIllustrations(window);
        return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0) {
            return FALSE;
        }
        if (LOWORD(wParam) == IDOK) {
            EndModalDialog(window, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_DUPLEX_HELP) {
            ShowDuplexHelp(window);
        }
        return FALSE;  // IDCANCEL (Escape) among the rest: the dialog stays
    case WM_HELP: {
        // F1 does what the Help button does, while it is shown.
        const HWND help = GetDlgItem(window, IDC_DUPLEX_HELP);
        if (IsWindowVisible(help) && IsWindowEnabled(help)) {
            ShowDuplexHelp(window);
        }
        return TRUE;
    }
    case WM_CLOSE:
        EndModalDialog(window, IDOK);
        return TRUE;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // A contrast theme switched on or off, or its colours changed: the
        // pictures are drawn again in the colours of the moment.
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return FALSE;
    case WM_DESTROY:
        if (auto* state = reinterpret_cast<DuplexState*>(GetWindowLongPtrW(window, DWLP_USER))) {
            state->annotations.Withdraw();
        }
        return FALSE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        PrepareControlText(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return FALSE;  // the system's colours and brush
    default:
        return FALSE;
    }
}

void SetDuplexTexts(const ResourceStrings& strings, HWND window, const DuplexInstructionsRequest& request)
{
    const bool waiting = IsWaiting(request);
    strings.SetLocalizedText(IDS_DUPLEX_TITLE, window, kTitleText);
    if (request.evenPagesFirst != 0) {
        strings.SetLocalizedText(IDS_DUPLEX_EVEN_PAGES_FIRST, GetDlgItem(window, IDC_DUPLEX_INTRODUCTION),
                                 kEvenPagesFirstText);
    } else {
        strings.SetLocalizedText(IDS_DUPLEX_ODD_PAGES_FIRST, GetDlgItem(window, IDC_DUPLEX_INTRODUCTION),
                                 kOddPagesFirstText);
    }
    strings.SetLocalizedText(IDS_DUPLEX_STEP1_NUMBER, GetDlgItem(window, IDC_DUPLEX_STEP1_NUMBER), kStep1Number);
    strings.SetLocalizedText(request.step1StringId, GetDlgItem(window, IDC_DUPLEX_STEP1_TEXT), kStep1Text);
    strings.SetLocalizedText(IDS_DUPLEX_STEP2_NUMBER, GetDlgItem(window, IDC_DUPLEX_STEP2_NUMBER), kStep2Number);
    strings.SetLocalizedText(request.step2StringId, GetDlgItem(window, IDC_DUPLEX_STEP2_TEXT), kStep2Text);
    strings.SetLocalizedText(IDS_DUPLEX_STEP3_NUMBER, GetDlgItem(window, IDC_DUPLEX_STEP3_NUMBER), kStep3Number);

    const HWND step3 = GetDlgItem(window, IDC_DUPLEX_STEP3_TEXT);
    if (waiting || request.step3StringId != IDS_DUPLEX_INSERT_IN_TRAY) {
        strings.SetLocalizedText(request.step3StringId, step3, kStep3Text);
    } else {
        SetComposedStep3Text(strings, step3);
    }

    const HWND okButton = GetDlgItem(window, IDOK);
    if (waiting) {
        strings.SetLocalizedText(IDS_CONTINUE_BUTTON, okButton, kContinueButton);
    } else {
        strings.SetLocalizedText(IDS_OK_BUTTON, okButton, kOkButton);
    }
    strings.SetLocalizedText(IDS_HELP_BUTTON, GetDlgItem(window, IDC_DUPLEX_HELP), kHelpButton);
}

void PaintIllustration(const PictureFrame& shown, HINSTANCE instance)
{
    const HWND frame = shown.window;
    const uint32_t bitmapId = shown.bitmapId;
    // The frame's own layout, not the user's language: a host that mirrors
    // every window of its process mirrors the left-to-right dialog too.
    const bool mirrored = (GetWindowLongPtrW(frame, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
    RECT frameRect{};
    GetWindowRect(frame, &frameRect);
    const PaintContext paint(frame);
    if (paint.get() == nullptr) {
        return;
    }
    POINT topLeft{frameRect.left, frameRect.top};
    POINT bottomRight{frameRect.right, frameRect.bottom};
    ScreenToClient(frame, &topLeft);
    ScreenToClient(frame, &bottomRight);
    if (mirrored) {
        // In the mirrored layout the screen-left edge converts to the width.
        std::swap(topLeft.x, bottomRight.x);
    }

    // The strip beyond the picture's right and bottom edges, and a frame whose
    // picture does not load, show the dialog's background.
    const RECT client{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    FillRect(paint.get(), &client, GetSysColorBrush(COLOR_BTNFACE));

    const UniqueMemoryDc memory(CreateCompatibleDC(paint.get()));
    // Each picture is its table size times the scale of the frame's own DPI.
    const int dpi = WindowDpi(frame);
    const PictureSource source = LoadPicture(instance, LOWORD(bitmapId), dpi);
    const UniqueBitmap& bitmap = source.bitmap;
    if (!memory || !bitmap) {
        return;
    }
    // Under high contrast the picture is drawn from a copy in the theme's
    // colours; otherwise, and when no copy can be made, as it is.
    ContrastColors contrast{};
    UniqueBitmap themed;
    if (ReadContrastTheme(contrast)) {
        themed = ContrastCopy(paint.get(), bitmap.get(), contrast);
    }
    const HBITMAP drawn = themed ? themed.get() : bitmap.get();
    BITMAP picture{};
    GetObjectW(drawn, sizeof(picture), &picture);
    const SelectedObject selected(memory.get(), drawn);
    const int drawnWidth = MulDiv(picture.bmWidth, dpi, kBaseDpi * source.density);
    const int drawnHeight = MulDiv(picture.bmHeight, dpi, kBaseDpi * source.density);
    const int width = std::min<int>(client.right - client.left, drawnWidth);
    const int height = std::min<int>(client.bottom - client.top, drawnHeight);
    // The pictures show a real printer and real paper: in the mirrored layout
    // they keep their orientation, or the marked edge would point the wrong way.
    // They are drawn with the mirroring off, from the frame's right edge, in
    // device pixels: a mirrored NOMIRRORBITMAP copy lands one pixel short of
    // that edge on some platforms.
    int left = client.left;
    if (mirrored) {
        SetLayout(paint.get(), 0);
        left = client.right - width;
    }
    if (drawnWidth != picture.bmWidth || drawnHeight != picture.bmHeight) {
        const RECT visible{left, client.top, left + width, client.top + height};
        StretchPicture(paint.get(), visible, drawnWidth, drawnHeight, memory.get(), picture);
        return;
    }
    BitBlt(paint.get(), left, client.top, width, height, memory.get(), 0, 0, SRCCOPY | NOMIRRORBITMAP);
}

}  // namespace

extern "C" void WINAPI VDisplayDialog(_In_ const DuplexInstructionsRequest* request)
{
    RequestCopy<DuplexInstructionsRequest> copy = AcceptRequest(request);
    if (!copy) {
        return;
    }
    TerminateField(copy->resourceLibraryPath);
    TerminateField(copy->helpFilePath);
    if (IsWaiting(*copy)) {
        RunDuplexDialog(std::move(copy));  // on the caller's thread, which holds the library itself
        return;
    }
    StoreDialogThread(g_duplexThread, StartDialogThread<DuplexInstructionsRequest, RunDuplexDialog>(std::move(copy)));
}
