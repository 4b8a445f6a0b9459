/*
 * Dialogs for document events: the request records and exports of
 * doceventdlg.dll, for the printer driver that calls it.
 *
 * Every record is copied whole before an export returns or starts a thread,
 * so a caller may release or reuse its record as soon as the call returns.
 *
 * Where no user can answer a dialog (a window station nobody sees: a
 * service, a scheduled task, session 0; the spooler service, its isolation
 * host, the print filter pipeline) no export shows anything, starts a thread
 * or writes anything: the results are those of "nothing was shown". The
 * warning and the waiting instructions are owned by the foreground window
 * only when it belongs to the printing application and its thread answers;
 * otherwise they come up without an owner.
 * Text fields are UTF-16 and end at their first NUL; a field without one is
 * read only up to its width, less one unit.
 */
#ifndef DOCEVENTDLG_H
#define DOCEVENTDLG_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>
#include <windows.h>

/* SAL annotations, for Microsoft's code analysis of the callers: windows.h
 * brings them (empty where the compiler does not check them); a platform
 * header without them gets them defined away here. */
#ifndef _In_
#define _In_
#endif
#ifndef _Out_opt_
#define _Out_opt_
#endif
#ifndef _Ret_maybenull_
#define _Ret_maybenull_
#endif

#ifdef __cplusplus
#define DOCEVENTDLG_STATIC_ASSERT(condition, message) static_assert(condition, message)
extern "C" {
#else
#define DOCEVENTDLG_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* IShowWarningDialog: a message, up to three buttons and an optional check
 * box, on the caller's thread. A button exists when its caption ID is not 0. */
typedef struct WarningDialogRequest {
    uint32_t reserved0;
    uint32_t titleStringId;        /* caption bar; no built-in text */
    uint32_t reserved8;
    int32_t showDialog;            /* shown only when exactly 1 */
    uint32_t reserved16;
    wchar_t messageText[1024];     /* shown verbatim; grows the dialog past 150 units */
    uint32_t thirdButtonStringId;  /* button 285; 0 hides it */
    int32_t showCheckBox;          /* non-zero shows the check box (string 3063) */
    uint8_t reserved2076[28];
    uint32_t okStringId;           /* button 1; 0 hides it */
    uint32_t cancelStringId;       /* button 2; 0 hides it */
    wchar_t resourceLibraryPath[256];
} WarningDialogRequest;

/* VJobStorageDialog: where a stored job is kept and how to find it again. */
typedef struct JobStorageRequest {
    wchar_t userName[17];
    wchar_t jobName[17];
    wchar_t locationLine1[256];
    wchar_t locationLine2[256];
    wchar_t locationLine3[256];
    wchar_t settingsSubKey[38];    /* behind HKCU\Software\Velmoracrestwyn\ */
    uint32_t rangeSuffixFlag1;     /* both exactly 1: "(1-99)" follows the job name */
    uint32_t rangeSuffixFlag2;
    wchar_t resourceLibraryPath[256];
    wchar_t helpFilePath[256];
} JobStorageRequest;

/* VDisplayDialog: three illustrated steps for printing the second sides. */
typedef struct DuplexInstructionsRequest {
    wchar_t resourceLibraryPath[256];
    wchar_t helpFilePath[256];
    uint32_t step1BitmapId;        /* bitmaps of this library; low 16 bits used */
    uint32_t step1StringId;
    uint32_t step2BitmapId;
    uint32_t step2StringId;
    uint32_t step3BitmapId;
    uint32_t step3StringId;        /* 3140 composes a two-line text when not waiting */
    uint32_t reserved;
    uint32_t waitForContinue;      /* non-zero: modal on the caller's thread */
    uint32_t evenPagesFirst;       /* non-zero: the even pages printed first */
} DuplexInstructionsRequest;

/* Returns the button that ended the dialog: 1, 2 (also for closing) or 285;
 * 0 when nothing was shown; -1 when the dialog could not be created. */
int32_t WINAPI IShowWarningDialog(_In_ const WarningDialogRequest* request);

/* IShowWarningDialog that also answers the check box: *checkBoxTicked
 * receives 1 when the box was shown and ticked as the dialog ended, else 0
 * (also when nothing was shown). checkBoxTicked may be null: not wanted. */
int32_t WINAPI IShowWarningDialogEx(_In_ const WarningDialogRequest* request, _Out_opt_ int32_t* checkBoxTicked);

/* Returns after the dialog when waitForContinue is set, else at once. */
void WINAPI VDisplayDialog(_In_ const DuplexInstructionsRequest* request);

/* Returns at once: non-null when the dialog's thread was started. The handle
 * belongs to the library and only tells whether the notice started: test it
 * against null, and do not wait on it, duplicate it or close it. The library
 * may close it as soon as any thread of the process ends, possibly before
 * the call has returned to you. */
_Ret_maybenull_ HANDLE WINAPI VJobStorageDialog(_In_ const JobStorageRequest* request);

#define DOCEVENTDLG_FIELD_AT(type, field, offset) \
    DOCEVENTDLG_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " moved")

DOCEVENTDLG_STATIC_ASSERT(sizeof(wchar_t) == 2, "texts are UTF-16 units");

DOCEVENTDLG_STATIC_ASSERT(sizeof(WarningDialogRequest) == 2624, "WarningDialogRequest size");
DOCEVENTDLG_FIELD_AT(WarningDialogRequest, titleStringId, 4);
DOCEVENTDLG_FIELD_AT(WarningDialogRequest, showDialog, 12);
DOCEVENTDLG_FIELD_AT(WarningDialogRequest, messageText, 20);
DOCEVENTDLG_FIELD_AT(WarningDialogRequest, thirdButtonStringId, 2068);
DOCEVENTDLG_FIELD_AT(WarningDialogRequest, showCheckBox, 2072);
DOCEVENTDLG_FIELD_AT(WarningDialogRequest, okStringId, 2104);
DOCEVENTDLG_FIELD_AT(WarningDialogRequest, cancelStringId, 2108);
DOCEVENTDLG_FIELD_AT(WarningDialogRequest, resourceLibraryPath, 2112);

DOCEVENTDLG_STATIC_ASSERT(sizeof(JobStorageRequest) == 2712, "JobStorageRequest size");
DOCEVENTDLG_FIELD_AT(JobStorageRequest, userName, 0);
DOCEVENTDLG_FIELD_AT(JobStorageRequest, jobName, 34);
DOCEVENTDLG_FIELD_AT(JobStorageRequest, locationLine1, 68);
DOCEVENTDLG_FIELD_AT(JobStorageRequest, locationLine2, 580);
DOCEVENTDLG_FIELD_AT(JobStorageRequest, locationLine3, 1092);
DOCEVENTDLG_FIELD_AT(JobStorageRequest, settingsSubKey, 1604);
DOCEVENTDLG_FIELD_AT(JobStorageRequest, rangeSuffixFlag1, 1680);
DOCEVENTDLG_FIELD_AT(JobStorageRequest, rangeSuffixFlag2, 1684);
DOCEVENTDLG_FIELD_AT(JobStorageRequest, resourceLibraryPath, 1688);
DOCEVENTDLG_FIELD_AT(JobStorageRequest, helpFilePath, 2200);

DOCEVENTDLG_STATIC_ASSERT(sizeof(DuplexInstructionsRequest) == 1060, "DuplexInstructionsRequest size");
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, resourceLibraryPath, 0);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, helpFilePath, 512);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, step1BitmapId, 1024);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, step1StringId, 1028);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, step2BitmapId, 1032);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, step2StringId, 1036);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, step3BitmapId, 1040);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, step3StringId, 1044);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, reserved, 1048);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, waitForContinue, 1052);
DOCEVENTDLG_FIELD_AT(DuplexInstructionsRequest, evenPagesFirst, 1056);

#ifdef __cplusplus
}
#endif

#endif /* DOCEVENTDLG_H */
