// The warning dialog: a caller's message, up to three caller-labelled buttons
// and an optional check box, run on the caller's thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/resourcestrings.h"
#include "include/doceventdlg.h"

// A control's rectangle (client coordinates of the dialog; the dialog's own
// in screen coordinates) with its extent.
struct ControlMeasurement {
    RECT rect;
    int32_t width;
    int32_t height;
};

struct WarningDialog : ResourceStrings {
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
};

struct WarningDialogState {
    WarningDialogRequest* request = nullptr;  // the export's copy; RunWarningDialog releases it
    WarningDialog dialog;
    bool checkBoxTickedAtEnd = false;  // the shown check box's state when the dialog ended
};

// Runs one dialog on the calling thread. Takes ownership of the local-memory
// copy and releases it on every path. Returns the low 32 bits of the dialog
// result, or 0 when no dialog was attempted. checkBoxTicked, when not null,
// receives whether the shown check box was ticked as the dialog ended (false
// when no dialog ran).
int32_t RunWarningDialog(WarningDialogRequest* copy, bool* checkBoxTicked);

INT_PTR CALLBACK WarningDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetWarningTexts(WarningDialogState& state);
void ShowWarningControls(WarningDialogState& state);
void MeasureWarningControls(WarningDialog& dialog);
void GrowForLongMessage(WarningDialogState& state);
