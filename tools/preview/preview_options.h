// Command-line options of doceventdlg-preview and the request records they
// make. No window is touched here, so the parsing can be tested on its own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "include/doceventdlg.h"

enum class PreviewDialog { None, Warning, JobStorage, Duplex };

// A high-contrast theme the library is told about (the system's own colours
// are left alone).
enum class PreviewContrast { None, Black, White };

struct PreviewOptions {
    PreviewDialog dialog = PreviewDialog::None;
    bool showUsage = false;

    std::wstring library;          // empty: doceventdlg-strings.dll beside the program
    bool languageSet = false;
    LANGID language = 0;           // answers the library's GetUserDefaultUILanguage
    std::wstring screenshot;       // .bmp file; empty: the dialog waits for the user
    bool closeAfterSet = false;
    DWORD closeAfterMs = 0;
    PreviewContrast contrast = PreviewContrast::None;

    // Warning dialog.
    bool messageSet = false;
    std::wstring message;
    uint32_t titleId = 3000;       // IDS_WARNING_TITLE
    uint32_t okId = 849;           // IDS_OK
    uint32_t cancelId = 3001;      // IDS_WARNING_CANCEL
    uint32_t thirdId = 0;          // no third button
    bool checkBox = false;

    // Job storage notice. Unset texts take defaults in the language asked for.
    bool userSet = false, jobSet = false, subKeySet = false;
    bool lineSet[3] = {false, false, false};
    std::wstring user, job, subKey;
    std::wstring lines[3];
    bool range = false;
    std::wstring helpFile;

    // Two-sided instructions. Unset steps take defaults that fit the mode.
    bool wait = false;
    bool even = false;
    bool stepSet[3] = {false, false, false};
    bool bitmapSet[3] = {false, false, false};
    uint32_t stepIds[3] = {0, 0, 0};
    uint32_t bitmapIds[3] = {0, 0, 0};
};

// args excludes the program name. Returns false with a one-line reason.
bool ParsePreviewOptions(const std::vector<std::wstring>& args, PreviewOptions& options, std::wstring& error);

// A number in decimal or with 0x in hexadecimal, at most 32 bits.
bool ParseNumber(const std::wstring& text, uint32_t& value);

// The request records, with the defaults for what the options leave open.
// libraryPath is the resource library actually used. They fail, naming the
// option, when a text does not fit its field.
bool FillWarningRequest(const PreviewOptions& options, const std::wstring& libraryPath,
                        WarningDialogRequest& request, std::wstring& error);
bool FillJobStorageRequest(const PreviewOptions& options, const std::wstring& libraryPath,
                           JobStorageRequest& request, std::wstring& error);
bool FillDuplexRequest(const PreviewOptions& options, const std::wstring& libraryPath,
                       DuplexInstructionsRequest& request, std::wstring& error);

extern const wchar_t kPreviewUsage[];
