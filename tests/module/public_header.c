/* The public header as a C driver includes it: it must compile as C, and its
 * records must have the same layout there as in C++. */
#include "include/doceventdlg.h"

size_t WarningDialogRequestSizeInC(void) { return sizeof(WarningDialogRequest); }
size_t JobStorageRequestSizeInC(void) { return sizeof(JobStorageRequest); }
size_t DuplexInstructionsRequestSizeInC(void) { return sizeof(DuplexInstructionsRequest); }

/* 1 when the header declares IShowWarningDialogEx with the documented type;
 * the export is named, never called, so nothing links against the library. */
int ShowWarningDialogExDeclaredInC(void)
{
    return _Generic(&IShowWarningDialogEx, int32_t(WINAPI*)(const WarningDialogRequest*, int32_t*): 1, default: 0);
}
