/*
 * Drives every export of the installed ARM64 library, linked at load time
 * through its import library, under ARM64 Wine: each dialog comes up with its
 * texts from the sample string library (English and Arabic), is ended by
 * each of its buttons with the right result (Help shows its topic and leaves
 * the dialog open), the job storage notice writes
 * its preference, and the two-sided instructions draw their pictures in their
 * frames. Plain C: there is no C++ runtime for ARM64 MinGW here.
 *
 * Prints one line per case (name, result, milliseconds) and a last line
 * "all N cases passed" or "FAILED: k of N cases"; exits 0 only when all pass.
 */
#include <windows.h>

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "doceventdlg.h"
#include "resource.h"
#include "sample_string_ids.h"

#define ENGLISH 0x0409
#define ARABIC 0x0401
/* Emulated Wine is slow to bring a dialog up; a case that hangs still ends. */
#define DIALOG_TIMEOUT_MS 60000
#define SETTINGS_SUBKEY L"doceventdlg-arm64-driver"
#define SETTINGS_KEY L"Software\\Velmoracrestwyn\\" SETTINGS_SUBKEY

typedef enum { WARNING, WARNING_EX, JOB_STORAGE, DUPLEX_INFORMATIONAL, DUPLEX_WAITING } Dialog;
/* BY_HELP_THEN_OK: Help, which shows its topic and leaves the dialog open,
 * then OK (Continue). */
typedef enum { BY_OK, BY_CANCEL, BY_THIRD, BY_CLOSE_BOX, BY_HELP_THEN_OK } Ending;

typedef struct {
    const char* name;
    Dialog dialog;
    LANGID language;
    int tick;      /* tick the check box before ending */
    Ending ending;
    int expected;  /* warning: the button; job storage: the stored byte, -1 none; duplex: unused */
} Case;

static const Case kCases[] = {
    {"warning, en, OK", WARNING, ENGLISH, 0, BY_OK, IDOK},
    {"warning, en, Cancel", WARNING, ENGLISH, 0, BY_CANCEL, IDCANCEL},
    {"warning, en, third button", WARNING, ENGLISH, 0, BY_THIRD, IDC_WARNING_THIRD_BUTTON},
    {"warning, en, close box", WARNING, ENGLISH, 0, BY_CLOSE_BOX, IDCANCEL},
    {"warning, ar, OK", WARNING, ARABIC, 0, BY_OK, IDOK},
    {"warning Ex, en, ticked, OK", WARNING_EX, ENGLISH, 1, BY_OK, IDOK},
    {"warning Ex, en, clear, Cancel", WARNING_EX, ENGLISH, 0, BY_CANCEL, IDCANCEL},
    {"warning Ex, ar, ticked, third", WARNING_EX, ARABIC, 1, BY_THIRD, IDC_WARNING_THIRD_BUTTON},
    {"warning Ex, ar, ticked, close box", WARNING_EX, ARABIC, 1, BY_CLOSE_BOX, IDCANCEL},
    {"job storage, en, clear, OK", JOB_STORAGE, ENGLISH, 0, BY_OK, 0x01},
    {"job storage, en, ticked, OK", JOB_STORAGE, ENGLISH, 1, BY_OK, 0x00},
    {"job storage, en, ticked, close box", JOB_STORAGE, ENGLISH, 1, BY_CLOSE_BOX, -1},
    {"job storage, ar, ticked, OK", JOB_STORAGE, ARABIC, 1, BY_OK, 0x00},
    {"job storage, en, Help, then OK", JOB_STORAGE, ENGLISH, 0, BY_HELP_THEN_OK, 0x01},
    {"duplex informational, en, OK", DUPLEX_INFORMATIONAL, ENGLISH, 0, BY_OK, 0},
    {"duplex informational, ar, close box", DUPLEX_INFORMATIONAL, ARABIC, 0, BY_CLOSE_BOX, 0},
    {"duplex informational, en, Help, OK", DUPLEX_INFORMATIONAL, ENGLISH, 0, BY_HELP_THEN_OK, 0},
    {"duplex waiting, en, Continue", DUPLEX_WAITING, ENGLISH, 0, BY_OK, 0},
    {"duplex waiting, ar, Continue", DUPLEX_WAITING, ARABIC, 0, BY_OK, 0},
    {"duplex waiting, ar, Help, Continue", DUPLEX_WAITING, ARABIC, 0, BY_HELP_THEN_OK, 0},
};

static const wchar_t kMessage[] = L"The printer is out of paper (ARM64 driver).";
static const wchar_t kHelpFile[] = L"C:\\drivers\\printer.hlp";
/* One picture of each depth: 8, 4 and 24 bits. */
static const WORD kPictures[3] = {105, 147, 154};
static const int kFrames[3] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

static HMODULE g_library;
static HMODULE g_strings;
static wchar_t g_stringsPath[MAX_PATH];
static volatile LANGID g_language = ENGLISH;
static int g_caseFailures;

static void Fail(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    printf("    FAILED: ");
    vprintf(format, arguments);
    printf("\n");
    va_end(arguments);
    ++g_caseFailures;
}

/* The library asks for the user's UI language through its import table: the
 * answer is the case's language, without changing the process's settings. */
static LANGID WINAPI AnswerLanguage(void)
{
    return g_language;
}

/* Help through WinHelp is recorded, never shown: Wine would start a viewer. */
static volatile LONG g_helpCalls;
static UINT g_helpCommand;
static DWORD g_helpPair[2];
static wchar_t g_helpPath[MAX_PATH];

static BOOL WINAPI RecordWinHelp(HWND window, LPCWSTR path, UINT command, ULONG_PTR data)
{
    (void)window;
    g_helpCommand = command;
    wcsncpy(g_helpPath, path != NULL ? path : L"", MAX_PATH - 1);
    if (data != 0) {
        memcpy(g_helpPair, (const void*)data, sizeof(g_helpPair));
    }
    InterlockedIncrement(&g_helpCalls);
    return TRUE;
}

static int PatchImport(HMODULE module, const char* dll, const char* function, void* replacement)
{
    BYTE* base = (BYTE*)module;
    const IMAGE_NT_HEADERS* nt = (const IMAGE_NT_HEADERS*)(base + ((const IMAGE_DOS_HEADER*)base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY* directory = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int patched = 0;
    for (const IMAGE_IMPORT_DESCRIPTOR* d = (const IMAGE_IMPORT_DESCRIPTOR*)(base + directory->VirtualAddress);
         directory->VirtualAddress != 0 && d->Name != 0; ++d) {
        if (_stricmp((const char*)(base + d->Name), dll) != 0 || d->OriginalFirstThunk == 0) {
            continue;
        }
        const IMAGE_THUNK_DATA* names = (const IMAGE_THUNK_DATA*)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const IMAGE_IMPORT_BY_NAME* byName = (const IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData);
            if (strcmp((const char*)byName->Name, function) == 0) {
                DWORD protection = 0;
                VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
                slots->u1.Function = (ULONG_PTR)replacement;
                VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
                ++patched;
            }
        }
    }
    return patched;
}

/* A string of the sample library in one language, read from its string
 * table block as a resource editor would; empty when it has none. */
static void SampleString(LANGID language, UINT id, wchar_t* text, size_t capacity)
{
    text[0] = L'\0';
    HRSRC block = FindResourceExW(g_strings, (LPCWSTR)RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    const WORD* entry = block != NULL ? (const WORD*)LockResource(LoadResource(g_strings, block)) : NULL;
    if (entry == NULL) {
        return;
    }
    for (UINT i = 0; i < id % 16; ++i) {
        entry += 1 + *entry;
    }
    const size_t length = *entry < capacity ? *entry : capacity - 1;
    wmemcpy(text, (const wchar_t*)(entry + 1), length);
    text[length] = L'\0';
}

/* The C runtime prints only its own code page's characters: texts go out
 * as UTF-8, so that an Arabic text reads in the report. */
static const char* Utf8(const wchar_t* text, char* buffer, int capacity)
{
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, capacity, NULL, NULL) == 0) {
        buffer[0] = '\0';
    }
    return buffer;
}

static void ExpectText(HWND dialog, int control, const wchar_t* expected, const char* what)
{
    wchar_t shown[1100] = L"";
    GetWindowTextW(control == 0 ? dialog : GetDlgItem(dialog, control), shown, 1100);
    if (expected[0] == L'\0') {
        Fail("%s: the sample library has no such string", what);
    } else if (wcscmp(shown, expected) != 0) {
        char shownText[3300];
        char expectedText[3300];
        Fail("%s shows \"%s\", not \"%s\"", what, Utf8(shown, shownText, 3300), Utf8(expected, expectedText, 3300));
    }
}

static void ExpectSample(HWND dialog, int control, LANGID language, UINT id, const char* what)
{
    wchar_t expected[1100];
    SampleString(language, id, expected, 1100);
    ExpectText(dialog, control, expected, what);
}

static BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found)
{
    DWORD process = 0;
    wchar_t className[16] = L"";
    GetWindowThreadProcessId(window, &process);
    GetClassNameW(window, className, 16);
    if (process == GetCurrentProcessId() && wcscmp(className, L"#32770") == 0 && IsWindowVisible(window)) {
        *(HWND*)found = window;
        return FALSE;
    }
    return TRUE;
}

/* Cases run one after another, so the process has at most one dialog. */
static HWND WaitForDialog(void)
{
    const ULONGLONG deadline = GetTickCount64() + DIALOG_TIMEOUT_MS;
    HWND dialog = NULL;
    while (EnumWindows(FindOwnDialog, (LPARAM)&dialog), dialog == NULL && GetTickCount64() < deadline) {
        Sleep(20);
    }
    return dialog;
}

static int WaitForGone(HWND window)
{
    const ULONGLONG deadline = GetTickCount64() + DIALOG_TIMEOUT_MS;
    while (IsWindow(window) && GetTickCount64() < deadline) {
        Sleep(20);
    }
    return !IsWindow(window);
}

/* Paints whatever is pending, so that a capture sees the finished dialog. */
static void WaitUntilPainted(HWND dialog)
{
    const ULONGLONG deadline = GetTickCount64() + DIALOG_TIMEOUT_MS;
    for (;;) {
        RedrawWindow(dialog, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
        BOOL pending = GetUpdateRect(dialog, NULL, FALSE);
        for (HWND child = GetWindow(dialog, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
            pending = pending || GetUpdateRect(child, NULL, FALSE);
        }
        if (!pending || GetTickCount64() >= deadline) {
            return;
        }
        Sleep(10);
    }
}

typedef struct {
    int width;
    int height;
    uint32_t* data; /* top-down rows of 0x00RRGGBB */
} Pixels;

static BITMAPINFO TopDown32(int width, int height)
{
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

/* The frame's surface, unmirrored: what its window shows, pixel by pixel. */
static Pixels CaptureClient(HWND window)
{
    Pixels pixels = {0, 0, NULL};
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    if (dc == NULL || client.right <= 0 || client.bottom <= 0) {
        return pixels;
    }
    SetLayout(dc, 0);
    BITMAPINFO info = TopDown32(client.right, client.bottom);
    void* bits = NULL;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (memory != NULL && section != NULL) {
        HGDIOBJ previous = SelectObject(memory, section);
        if (BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY)) {
            GdiFlush();
            pixels.width = client.right;
            pixels.height = client.bottom;
            pixels.data = malloc(sizeof(uint32_t) * (size_t)client.right * (size_t)client.bottom);
            if (pixels.data != NULL) {
                memcpy(pixels.data, bits, sizeof(uint32_t) * (size_t)client.right * (size_t)client.bottom);
            }
        }
        SelectObject(memory, previous);
    }
    if (section != NULL) {
        DeleteObject(section);
    }
    if (memory != NULL) {
        DeleteDC(memory);
    }
    ReleaseDC(window, dc);
    return pixels;
}

static Pixels BitmapPixels(WORD id)
{
    Pixels pixels = {0, 0, NULL};
    HBITMAP bitmap = LoadBitmapW(g_library, MAKEINTRESOURCEW(id));
    BITMAP header;
    if (bitmap == NULL || GetObjectW(bitmap, sizeof(header), &header) != (int)sizeof(header)) {
        return pixels;
    }
    BITMAPINFO info = TopDown32(header.bmWidth, header.bmHeight);
    pixels.data = malloc(sizeof(uint32_t) * (size_t)header.bmWidth * (size_t)header.bmHeight);
    HDC screen = GetDC(NULL);
    if (pixels.data != NULL &&
        GetDIBits(screen, bitmap, 0, (UINT)header.bmHeight, pixels.data, &info, DIB_RGB_COLORS) == header.bmHeight) {
        pixels.width = header.bmWidth;
        pixels.height = header.bmHeight;
    }
    ReleaseDC(NULL, screen);
    DeleteObject(bitmap);
    return pixels;
}

/* The picture fills the frame from its top corner on the reading side (the
 * right in the mirrored layout); the strip beyond it shows the background. */
static void ExpectPicture(HWND dialog, int frameIndex, int mirrored)
{
    Pixels frame = CaptureClient(GetDlgItem(dialog, kFrames[frameIndex]));
    Pixels picture = BitmapPixels(kPictures[frameIndex]);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const uint32_t background = ((uint32_t)GetRValue(face) << 16) | ((uint32_t)GetGValue(face) << 8) | GetBValue(face);
    if (frame.data == NULL || picture.data == NULL || picture.width == 0) {
        Fail("picture %u: no frame or no bitmap to compare", kPictures[frameIndex]);
    } else if (frame.width <= picture.width || frame.height < picture.height) {
        Fail("picture %u: frame %dx%d, picture %dx%d", kPictures[frameIndex], frame.width, frame.height,
             picture.width, picture.height);
    } else {
        const int left = mirrored ? frame.width - picture.width : 0;
        int wrong = 0;
        for (int y = 0; y < frame.height && wrong == 0; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                const int inside = x >= left && x < left + picture.width && y < picture.height;
                const uint32_t expected =
                    inside ? picture.data[(size_t)y * (size_t)picture.width + (size_t)(x - left)] & 0xFFFFFFu : background;
                const uint32_t seen = frame.data[(size_t)y * (size_t)frame.width + (size_t)x] & 0xFFFFFFu;
                if (seen != expected) {
                    Fail("picture %u: pixel (%d,%d) of its frame is %06X, expected %06X (%s)", kPictures[frameIndex], x,
                         y, seen, expected, inside ? "picture" : "background");
                    wrong = 1;
                    break;
                }
            }
        }
    }
    free(frame.data);
    free(picture.data);
}

static int IsMirrored(HWND dialog)
{
    return (GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
}

static void Click(HWND dialog, int control)
{
    PostMessageW(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
}

static void End(HWND dialog, Ending ending)
{
    switch (ending) {
    case BY_OK: Click(dialog, IDOK); break;
    case BY_CANCEL: Click(dialog, IDCANCEL); break;
    case BY_THIRD: Click(dialog, IDC_WARNING_THIRD_BUTTON); break;
    case BY_CLOSE_BOX: PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case BY_HELP_THEN_OK: Click(dialog, IDOK); break;
    }
}

/* Help shows the dialog's pop-up topic for its Help button, from the
 * request's file, and leaves the dialog open. */
static void PressHelp(HWND dialog, const Case* test)
{
    const int button = test->dialog == JOB_STORAGE ? IDC_JOB_HELP : IDC_DUPLEX_HELP;
    const DWORD topic = test->dialog == JOB_STORAGE            ? IDH_JOB_STORAGE
                        : test->dialog == DUPLEX_INFORMATIONAL ? IDH_DUPLEX_INFORMATIONAL
                                                               : IDH_DUPLEX_WAITING;
    const LONG before = g_helpCalls;
    Click(dialog, button);
    const ULONGLONG deadline = GetTickCount64() + DIALOG_TIMEOUT_MS;
    while (g_helpCalls == before && GetTickCount64() < deadline) {
        Sleep(20);
    }
    if (g_helpCalls != before + 1) {
        Fail("Help called WinHelp %ld times", g_helpCalls - before);
        return;
    }
    if (g_helpCommand != HELP_WM_HELP || wcscmp(g_helpPath, kHelpFile) != 0 || g_helpPair[0] != (DWORD)button ||
        g_helpPair[1] != topic) {
        Fail("Help asked for command %u, control %lu, topic %lu", g_helpCommand, g_helpPair[0], g_helpPair[1]);
    }
    if (!IsWindowVisible(dialog)) {
        Fail("Help ended the dialog");
    }
}

/* The export under test, on a thread of its own: the modal ones block it. */
typedef struct {
    const Case* test;
    int32_t result;
    int32_t ticked;
    HANDLE dialogThread;
} Call;

static DWORD WINAPI CallExport(void* context)
{
    Call* call = context;
    const Case* test = call->test;
    if (test->dialog == WARNING || test->dialog == WARNING_EX) {
        WarningDialogRequest request;
        memset(&request, 0, sizeof(request));
        request.showDialog = 1;
        request.titleStringId = IDS_WARNING_TITLE;
        request.okStringId = IDS_OK;
        request.cancelStringId = IDS_WARNING_CANCEL;
        request.thirdButtonStringId = IDS_WARNING_RETRY;
        request.showCheckBox = test->dialog == WARNING_EX;
        wcscpy(request.messageText, kMessage);
        wcscpy(request.resourceLibraryPath, g_stringsPath);
        call->result = test->dialog == WARNING ? IShowWarningDialog(&request)
                                               : IShowWarningDialogEx(&request, &call->ticked);
    } else if (test->dialog == JOB_STORAGE) {
        JobStorageRequest request;
        memset(&request, 0, sizeof(request));
        wcscpy(request.userName, L"arm64");
        wcscpy(request.jobName, L"driver");
        wcscpy(request.locationLine1, L"Printer hard disk");
        wcscpy(request.locationLine2, L"Folder: Stored Jobs");
        wcscpy(request.locationLine3, L"PIN: none");
        wcscpy(request.settingsSubKey, SETTINGS_SUBKEY);
        wcscpy(request.resourceLibraryPath, g_stringsPath);
        wcscpy(request.helpFilePath, kHelpFile);
        call->dialogThread = VJobStorageDialog(&request);
    } else {
        DuplexInstructionsRequest request;
        memset(&request, 0, sizeof(request));
        wcscpy(request.resourceLibraryPath, g_stringsPath);
        wcscpy(request.helpFilePath, kHelpFile);
        request.step1BitmapId = kPictures[0];
        request.step1StringId = IDS_DUPLEX_STEP1_OUTPUT_BIN;
        request.step2BitmapId = kPictures[1];
        request.step2StringId = IDS_DUPLEX_STEP2_TRAY1;
        request.step3BitmapId = kPictures[2];
        request.step3StringId = test->dialog == DUPLEX_WAITING ? IDS_DUPLEX_STEP3_CLICK_CONTINUE
                                                               : IDS_DUPLEX_STEP3_GO_OR_CHECK;
        request.waitForContinue = test->dialog == DUPLEX_WAITING;
        VDisplayDialog(&request);
    }
    return 0;
}

static void ExpectDialogTexts(HWND dialog, const Case* test)
{
    const LANGID l = test->language;
    switch (test->dialog) {
    case WARNING:
    case WARNING_EX:
        ExpectSample(dialog, 0, l, IDS_WARNING_TITLE, "caption");
        ExpectText(dialog, IDC_WARNING_MESSAGE, kMessage, "message");
        ExpectSample(dialog, IDOK, l, IDS_OK, "OK button");
        ExpectSample(dialog, IDCANCEL, l, IDS_WARNING_CANCEL, "Cancel button");
        ExpectSample(dialog, IDC_WARNING_THIRD_BUTTON, l, IDS_WARNING_RETRY, "third button");
        if (test->dialog == WARNING_EX) {
            ExpectSample(dialog, IDC_WARNING_DONT_SHOW, l, IDS_DONT_SHOW_AGAIN, "check box");
        }
        break;
    case JOB_STORAGE:
        ExpectSample(dialog, 0, l, IDS_JOBSTORE_TITLE, "caption");
        ExpectSample(dialog, IDC_JOB_HEADING, l, IDS_JOBSTORE_STORED_AT, "heading");
        ExpectSample(dialog, IDC_JOB_USER_NAME_LABEL, l, IDS_JOBSTORE_USER_NAME, "user name label");
        ExpectSample(dialog, IDC_JOB_JOB_NAME_LABEL, l, IDS_JOBSTORE_JOB_NAME, "job name label");
        ExpectSample(dialog, IDC_JOB_DONT_SHOW, l, IDS_DONT_SHOW_AGAIN, "check box");
        ExpectSample(dialog, IDOK, l, IDS_OK, "OK button");
        ExpectSample(dialog, IDC_JOB_HELP, l, IDS_HELP, "Help button");
        ExpectText(dialog, IDC_JOB_USER_NAME, L"arm64", "user name");
        ExpectText(dialog, IDC_JOB_JOB_NAME, L"driver", "job name");
        ExpectText(dialog, IDC_JOB_LOCATION_LINE1, L"Printer hard disk", "location line 1");
        ExpectText(dialog, IDC_JOB_LOCATION_LINE2, L"Folder: Stored Jobs", "location line 2");
        ExpectText(dialog, IDC_JOB_LOCATION_LINE3, L"PIN: none", "location line 3");
        break;
    case DUPLEX_INFORMATIONAL:
    case DUPLEX_WAITING:
        ExpectSample(dialog, 0, l, IDS_DUPLEX_TITLE, "caption");
        ExpectSample(dialog, IDC_DUPLEX_INTRODUCTION, l, IDS_DUPLEX_INTRO_ODD_PAGES, "introduction");
        ExpectSample(dialog, IDC_DUPLEX_STEP1_NUMBER, l, IDS_DUPLEX_STEP_NUMBER_1, "step number 1");
        ExpectSample(dialog, IDC_DUPLEX_STEP2_NUMBER, l, IDS_DUPLEX_STEP_NUMBER_2, "step number 2");
        ExpectSample(dialog, IDC_DUPLEX_STEP3_NUMBER, l, IDS_DUPLEX_STEP_NUMBER_3, "step number 3");
        ExpectSample(dialog, IDC_DUPLEX_STEP1_TEXT, l, IDS_DUPLEX_STEP1_OUTPUT_BIN, "step 1");
        ExpectSample(dialog, IDC_DUPLEX_STEP2_TEXT, l, IDS_DUPLEX_STEP2_TRAY1, "step 2");
        ExpectSample(dialog, IDC_DUPLEX_STEP3_TEXT, l,
                     test->dialog == DUPLEX_WAITING ? IDS_DUPLEX_STEP3_CLICK_CONTINUE : IDS_DUPLEX_STEP3_GO_OR_CHECK,
                     "step 3");
        ExpectSample(dialog, IDOK, l, test->dialog == DUPLEX_WAITING ? IDS_DUPLEX_CONTINUE : IDS_OK, "OK button");
        ExpectSample(dialog, IDC_DUPLEX_HELP, l, IDS_HELP, "Help button");
        break;
    }
}

/* The stored preference: its byte, -1 when there is none, -2 when it is not
 * one REG_BINARY byte. */
static int StoredPreference(void)
{
    BYTE value[8];
    DWORD type = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowJobStorageDlg", RRF_RT_ANY, &type, value, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return -1;
    }
    return status == ERROR_SUCCESS && type == REG_BINARY && size == 1 ? value[0] : -2;
}

static void RunCase(const Case* test)
{
    g_language = test->language;
    RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    Call call = {test, -99, -1, NULL};
    const HANDLE caller = CreateThread(NULL, 0, CallExport, &call, 0, NULL);
    if (caller == NULL) {
        Fail("no thread for the call");
        return;
    }
    const HWND dialog = WaitForDialog();
    if (dialog == NULL) {
        Fail("no dialog came up within %d s", DIALOG_TIMEOUT_MS / 1000);
    } else {
        const int modal = test->dialog == WARNING || test->dialog == WARNING_EX || test->dialog == DUPLEX_WAITING;
        if (modal && WaitForSingleObject(caller, 0) == WAIT_OBJECT_0) {
            Fail("the call returned while its modal dialog was open");
        }
        if (IsMirrored(dialog) != (test->language == ARABIC)) {
            Fail("the dialog is %s", IsMirrored(dialog) ? "mirrored" : "not mirrored");
        }
        ExpectDialogTexts(dialog, test);
        if (test->dialog == DUPLEX_INFORMATIONAL || test->dialog == DUPLEX_WAITING) {
            WaitUntilPainted(dialog);
            for (int i = 0; i < 3; ++i) {
                ExpectPicture(dialog, i, IsMirrored(dialog));
            }
        }
        if (test->tick) {
            const int box = test->dialog == JOB_STORAGE ? IDC_JOB_DONT_SHOW : IDC_WARNING_DONT_SHOW;
            Click(dialog, box);
        }
        if (test->ending == BY_HELP_THEN_OK) {
            PressHelp(dialog, test);
        }
        End(dialog, test->ending);
        if (!WaitForGone(dialog)) {
            Fail("the dialog did not end");
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            WaitForGone(dialog);
        }
    }
    if (WaitForSingleObject(caller, DIALOG_TIMEOUT_MS) != WAIT_OBJECT_0) {
        Fail("the call did not return");
        CloseHandle(caller);
        return;
    }
    CloseHandle(caller);

    if (test->dialog == WARNING || test->dialog == WARNING_EX) {
        if (call.result != test->expected) {
            Fail("the dialog returned %d, not %d", call.result, test->expected);
        }
        if (test->dialog == WARNING_EX && call.ticked != test->tick) {
            Fail("the check box answer is %d, not %d", call.ticked, test->tick);
        }
    } else if (test->dialog == JOB_STORAGE) {
        if (call.dialogThread == NULL) {
            Fail("VJobStorageDialog returned no thread");
        }
        /* The dialog's thread writes the value before its window goes; a
         * moment more for the thread to end. */
        Sleep(100);
        const int stored = StoredPreference();
        if (stored != test->expected) {
            Fail("the stored preference is %d, not %d", stored, test->expected);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
    }
}

int main(void)
{
    setvbuf(stdout, NULL, _IONBF, 0);
    /* Linked at load time: the library is in the process before any call. */
    g_library = GetModuleHandleW(L"doceventdlg.dll");
    const DWORD length = GetModuleFileNameW(NULL, g_stringsPath, MAX_PATH);
    wchar_t* slash = wcsrchr(g_stringsPath, L'\\');
    if (g_library == NULL || length == 0 || slash == NULL) {
        printf("FAILED: doceventdlg.dll is not loaded with the program\n");
        return 1;
    }
    wcscpy(slash + 1, L"doceventdlg-strings.dll");
    g_strings = LoadLibraryExW(g_stringsPath, NULL, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (g_strings == NULL) {
        printf("FAILED: no sample string library beside the program\n");
        return 1;
    }
    if (PatchImport(g_library, "kernel32.dll", "GetUserDefaultUILanguage", (void*)AnswerLanguage) == 0 ||
        PatchImport(g_library, "user32.dll", "WinHelpW", (void*)RecordWinHelp) == 0) {
        printf("FAILED: the library imports no GetUserDefaultUILanguage or WinHelpW to intercept\n");
        return 1;
    }
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    if (system.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_ARM64) {
        printf("FAILED: the processor architecture is %u, not ARM64\n", system.wProcessorArchitecture);
        return 1;
    }

    const int count = (int)(sizeof(kCases) / sizeof(kCases[0]));
    int failed = 0;
    printf("%-40s %-6s %8s\n", "case", "result", "ms");
    for (int i = 0; i < count; ++i) {
        g_caseFailures = 0;
        const ULONGLONG started = GetTickCount64();
        RunCase(&kCases[i]);
        const ULONGLONG elapsed = GetTickCount64() - started;
        printf("%-40s %-6s %8llu\n", kCases[i].name, g_caseFailures == 0 ? "pass" : "FAIL", elapsed);
        failed += g_caseFailures != 0;
    }
    if (failed == 0) {
        printf("all %d cases passed\n", count);
    } else {
        printf("FAILED: %d of %d cases\n", failed, count);
    }
    return failed == 0 ? 0 : 1;
}
