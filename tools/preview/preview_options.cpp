#include "preview_options.h"

#include <cwchar>

const wchar_t kPreviewUsage[] =
    L"Shows one dialog of doceventdlg.dll (found beside this program).\n"
    L"\n"
    L"usage: doceventdlg-preview --dialog warning|jobstorage|duplex [options]\n"
    L"\n"
    L"  --library <path>     localized resource library (default: doceventdlg-strings.dll here)\n"
    L"  --language <langid>  user interface language the library sees (1033, 1031, 1034, 1025, 1037, ...)\n"
    L"  --screenshot <file.bmp>  capture the dialog, close it and print what the call returned\n"
    L"  --close-after <ms>   close the dialog after this many milliseconds\n"
    L"  --contrast black|white  tell the library that a high-contrast theme of these colours is on\n"
    L"\n"
    L"warning:     --message <text> --title <id> --ok <id> --cancel <id> --third <id> --checkbox\n"
    L"             (an ID of 0 hides that button)\n"
    L"jobstorage:  --user <text> --job <text> --line1/--line2/--line3 <text> --subkey <text>\n"
    L"             --range (job name with \"(1-99)\") --help-file <path>\n"
    L"duplex:      --wait (waiting mode) --even (even pages printed first)\n"
    L"             --step1/--step2/--step3 <string id> --bitmap1/--bitmap2/--bitmap3 <bitmap id>\n"
    L"             --help-file <path>\n"
    L"\n"
    L"Numbers are decimal or 0x hexadecimal. Texts not given are sample texts in the language asked for.\n";

namespace {

struct LanguageTexts {
    LANGID primary;
    const wchar_t* message;
    const wchar_t* lines[3];
};

// Sample texts that a driver would pass ready-made in the request.
const LanguageTexts kLanguageTexts[] = {
    {LANG_ENGLISH,
     L"The printer is out of paper. Load paper into Tray 1, then click OK to go on printing, "
     L"or Cancel to stop the job.",
     {L"Office Laser 4 (second floor, room 214)", L"Printer hard disk, folder Stored Jobs",
      L"Print it from the printer's control panel."}},
    {LANG_GERMAN,
     L"Im Drucker ist kein Papier mehr. Legen Sie Papier in Fach 1 ein und klicken Sie auf OK, "
     L"um weiterzudrucken, oder auf Abbrechen, um den Auftrag anzuhalten.",
     {L"Bürodrucker 4 (2. Stock, Raum 214)", L"Druckerfestplatte, Gespeicherte Jobs",
      L"Drucken Sie ihn am Bedienfeld aus."}},
    {LANG_SPANISH,
     L"La impresora se ha quedado sin papel. Cargue papel en la bandeja 1 y haga clic en Aceptar "
     L"para seguir imprimiendo, o en Cancelar para detener el trabajo.",
     {L"Impresora de oficina 4 (2.ª planta, sala 214)", L"Disco de la impresora, Trabajos guardados",
      L"Imprímalo desde el panel de control."}},
    {LANG_ARABIC,
     L"نفد الورق من الطابعة. ضع ورقًا في الدرج 1، ثم انقر فوق موافق لمتابعة الطباعة، "
     L"أو فوق إلغاء الأمر لإيقاف المهمة.",
     {L"طابعة المكتب 4 (الطابق الثاني، الغرفة 214)", L"القرص الثابت للطابعة، مجلد المهام المخزنة",
      L"اطبعها من لوحة التحكم في الطابعة."}},
    {LANG_HEBREW,
     L"נגמר הנייר במדפסת. טען נייר למגש 1 ולאחר מכן לחץ על אישור כדי להמשיך בהדפסה, "
     L"או על ביטול כדי לעצור את העבודה.",
     {L"מדפסת משרד 4 (קומה שנייה, חדר 214)", L"הדיסק הקשיח של המדפסת, עבודות שמורות",
      L"הדפס אותה מלוח הבקרה של המדפסת."}},
};

const LanguageTexts& TextsFor(const PreviewOptions& options)
{
    if (options.languageSet) {
        for (const LanguageTexts& texts : kLanguageTexts) {
            if (texts.primary == PRIMARYLANGID(options.language)) {
                return texts;
            }
        }
    }
    return kLanguageTexts[0];
}

// Copies text into a fixed field with its NUL; fails when it does not fit.
template <size_t N>
bool CopyField(wchar_t (&field)[N], const std::wstring& text, const wchar_t* option, std::wstring& error)
{
    if (text.size() >= N) {
        error = std::wstring(option) + L" takes at most " + std::to_wstring(N - 1) + L" characters";
        return false;
    }
    text.copy(field, text.size());
    field[text.size()] = L'\0';
    return true;
}

struct TextOption {
    const wchar_t* name;
    std::wstring PreviewOptions::*text;
    bool PreviewOptions::*set;  // null: no flag to raise
};

}  // namespace

bool ParseNumber(const std::wstring& text, uint32_t& value)
{
    if (text.empty()) {
        return false;
    }
    size_t start = 0;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        start = 2;
        base = 16;
    }
    uint64_t result = 0;
    for (size_t i = start; i < text.size(); ++i) {
        const wchar_t c = text[i];
        unsigned digit = 0;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<unsigned>(c - L'0');
        } else if (base == 16 && c >= L'a' && c <= L'f') {
            digit = static_cast<unsigned>(c - L'a' + 10);
        } else if (base == 16 && c >= L'A' && c <= L'F') {
            digit = static_cast<unsigned>(c - L'A' + 10);
        } else {
            return false;
        }
        result = result * base + digit;
        if (result > 0xFFFFFFFFull) {
            return false;
        }
    }
    value = static_cast<uint32_t>(result);
    return true;
}

bool ParsePreviewOptions(const std::vector<std::wstring>& args, PreviewOptions& options, std::wstring& error)
{
    static const TextOption kTexts[] = {
        {L"--library", &PreviewOptions::library, nullptr},
        {L"--screenshot", &PreviewOptions::screenshot, nullptr},
        {L"--message", &PreviewOptions::message, &PreviewOptions::messageSet},
        {L"--user", &PreviewOptions::user, &PreviewOptions::userSet},
        {L"--job", &PreviewOptions::job, &PreviewOptions::jobSet},
        {L"--subkey", &PreviewOptions::subKey, &PreviewOptions::subKeySet},
        {L"--help-file", &PreviewOptions::helpFile, nullptr},
    };
    struct NumberOption {
        const wchar_t* name;
        uint32_t PreviewOptions::*value;
    };
    static const NumberOption kNumbers[] = {
        {L"--title", &PreviewOptions::titleId},
        {L"--ok", &PreviewOptions::okId},
        {L"--cancel", &PreviewOptions::cancelId},
        {L"--third", &PreviewOptions::thirdId},
    };
    struct FlagOption {
        const wchar_t* name;
        bool PreviewOptions::*flag;
    };
    static const FlagOption kFlags[] = {
        {L"--checkbox", &PreviewOptions::checkBox},
        {L"--range", &PreviewOptions::range},
        {L"--wait", &PreviewOptions::wait},
        {L"--even", &PreviewOptions::even},
    };

    for (size_t i = 0; i < args.size(); ++i) {
        std::wstring name = args[i];
        std::wstring value;
        bool inlineValue = false;
        const size_t equals = name.find(L'=');
        if (name.compare(0, 2, L"--") == 0 && equals != std::wstring::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            inlineValue = true;
        }
        if (name == L"--help" || name == L"-h" || name == L"/?") {
            options.showUsage = true;
            continue;
        }

        bool isFlag = false;
        for (const FlagOption& flag : kFlags) {
            if (name == flag.name) {
                if (inlineValue) {
                    error = name + L" takes no value";
                    return false;
                }
                options.*flag.flag = true;
                isFlag = true;
            }
        }
        if (isFlag) {
            continue;
        }

        // Every other option takes a value.
        auto takeValue = [&]() {
            if (inlineValue) {
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + L" needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto takeNumber = [&](uint32_t& number) {
            if (!takeValue()) {
                return false;
            }
            if (!ParseNumber(value, number)) {
                error = name + L" needs a number, not \"" + value + L"\"";
                return false;
            }
            return true;
        };

        bool known = false;
        for (const TextOption& text : kTexts) {
            if (name == text.name) {
                if (!takeValue()) {
                    return false;
                }
                options.*text.text = value;
                if (text.set != nullptr) {
                    options.*text.set = true;
                }
                known = true;
            }
        }
        for (const NumberOption& number : kNumbers) {
            if (name == number.name) {
                if (!takeNumber(options.*number.value)) {
                    return false;
                }
                known = true;
            }
        }
        if (known) {
            continue;
        }

        if (name == L"--dialog") {
            if (!takeValue()) {
                return false;
            }
            if (value == L"warning") {
                options.dialog = PreviewDialog::Warning;
            } else if (value == L"jobstorage") {
                options.dialog = PreviewDialog::JobStorage;
            } else if (value == L"duplex") {
                options.dialog = PreviewDialog::Duplex;
            } else {
                error = L"--dialog is warning, jobstorage or duplex, not \"" + value + L"\"";
                return false;
            }
        } else if (name == L"--language") {
            uint32_t language = 0;
            if (!takeNumber(language)) {
                return false;
            }
            if (language == 0 || language > 0xFFFF) {
                error = L"--language needs a language identifier from 1 to 0xFFFF";
                return false;
            }
            options.language = static_cast<LANGID>(language);
            options.languageSet = true;
        } else if (name == L"--contrast") {
            if (!takeValue()) {
                return false;
            }
            if (value == L"black") {
                options.contrast = PreviewContrast::Black;
            } else if (value == L"white") {
                options.contrast = PreviewContrast::White;
            } else {
                error = L"--contrast is black or white, not \"" + value + L"\"";
                return false;
            }
        } else if (name == L"--close-after") {
            uint32_t milliseconds = 0;
            if (!takeNumber(milliseconds)) {
                return false;
            }
            options.closeAfterMs = milliseconds;
            options.closeAfterSet = true;
        } else if (name.size() == 7 && name.compare(0, 6, L"--line") == 0 && name[6] >= L'1' && name[6] <= L'3') {
            if (!takeValue()) {
                return false;
            }
            const int line = name[6] - L'1';
            options.lines[line] = value;
            options.lineSet[line] = true;
        } else if (name.size() == 7 && name.compare(0, 6, L"--step") == 0 && name[6] >= L'1' && name[6] <= L'3') {
            const int step = name[6] - L'1';
            if (!takeNumber(options.stepIds[step])) {
                return false;
            }
            options.stepSet[step] = true;
        } else if (name.size() == 9 && name.compare(0, 8, L"--bitmap") == 0 && name[8] >= L'1' && name[8] <= L'3') {
            const int step = name[8] - L'1';
            if (!takeNumber(options.bitmapIds[step])) {
                return false;
            }
            options.bitmapSet[step] = true;
        } else {
            error = L"unknown option \"" + name + L"\"";
            return false;
        }
    }

    if (options.dialog == PreviewDialog::None && !options.showUsage) {
        error = L"--dialog warning|jobstorage|duplex is needed";
        return false;
    }
    if (!options.screenshot.empty()) {
        const std::wstring& file = options.screenshot;
        const bool bmp = file.size() > 4 && _wcsicmp(file.c_str() + file.size() - 4, L".bmp") == 0;
        if (!bmp) {
            error = L"--screenshot writes a .bmp file (scripts/preview.sh converts it to PNG)";
            return false;
        }
    }
    return true;
}

bool FillWarningRequest(const PreviewOptions& options, const std::wstring& libraryPath,
                        WarningDialogRequest& request, std::wstring& error)
{
    request = WarningDialogRequest{};
    request.showDialog = 1;
    request.titleStringId = options.titleId;
    request.okStringId = options.okId;
    request.cancelStringId = options.cancelId;
    request.thirdButtonStringId = options.thirdId;
    request.showCheckBox = options.checkBox ? 1 : 0;
    const std::wstring message = options.messageSet ? options.message : TextsFor(options).message;
    return CopyField(request.messageText, message, L"--message", error) &&
           CopyField(request.resourceLibraryPath, libraryPath, L"--library", error);
}

bool FillJobStorageRequest(const PreviewOptions& options, const std::wstring& libraryPath,
                           JobStorageRequest& request, std::wstring& error)
{
    request = JobStorageRequest{};
    const LanguageTexts& texts = TextsFor(options);
    const std::wstring lines[3] = {
        options.lineSet[0] ? options.lines[0] : texts.lines[0],
        options.lineSet[1] ? options.lines[1] : texts.lines[1],
        options.lineSet[2] ? options.lines[2] : texts.lines[2],
    };
    request.rangeSuffixFlag1 = options.range ? 1 : 0;
    request.rangeSuffixFlag2 = options.range ? 1 : 0;
    return CopyField(request.userName, options.userSet ? options.user : L"akhan", L"--user", error) &&
           CopyField(request.jobName, options.jobSet ? options.job : L"Budget 2025", L"--job", error) &&
           CopyField(request.locationLine1, lines[0], L"--line1", error) &&
           CopyField(request.locationLine2, lines[1], L"--line2", error) &&
           CopyField(request.locationLine3, lines[2], L"--line3", error) &&
           CopyField(request.settingsSubKey, options.subKeySet ? options.subKey : L"DocEventDlg Preview",
                     L"--subkey", error) &&
           CopyField(request.resourceLibraryPath, libraryPath, L"--library", error) &&
           CopyField(request.helpFilePath, options.helpFile, L"--help-file", error);
}

bool FillDuplexRequest(const PreviewOptions& options, const std::wstring& libraryPath,
                       DuplexInstructionsRequest& request, std::wstring& error)
{
    request = DuplexInstructionsRequest{};
    // The sample's default paper path: from the output bin into Tray 1, then
    // the Go or Check button, or the dialog's Continue button when it waits.
    const uint32_t defaultSteps[3] = {3150, 3151, options.wait ? 3157u : 3152u};
    const uint32_t defaultBitmaps[3] = {105, 107, options.wait ? 122u : 109u};
    uint32_t steps[3];
    uint32_t bitmaps[3];
    for (int i = 0; i < 3; ++i) {
        steps[i] = options.stepSet[i] ? options.stepIds[i] : defaultSteps[i];
        bitmaps[i] = options.bitmapSet[i] ? options.bitmapIds[i] : defaultBitmaps[i];
    }
    request.step1StringId = steps[0];
    request.step2StringId = steps[1];
    request.step3StringId = steps[2];
    request.step1BitmapId = bitmaps[0];
    request.step2BitmapId = bitmaps[1];
    request.step3BitmapId = bitmaps[2];
    request.waitForContinue = options.wait ? 1 : 0;
    request.evenPagesFirst = options.even ? 1 : 0;
    return CopyField(request.resourceLibraryPath, libraryPath, L"--library", error) &&
           CopyField(request.helpFilePath, options.helpFile, L"--help-file", error);
}
