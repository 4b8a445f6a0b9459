// The six dialog templates as compiled into the library, read back from its
// resources and compared field by field with the layouts the dialogs are
// drawn for: the dialog header, the font and every control in creation order.
// The tables below read as oemui/doceventdlg/res/doceventdlg.rc does, line by
// line, with the same names; the compiled values are compared exactly.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "resource.h"
#include "test_paths.h"

namespace {

constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;

// A place in dialog units, in the order of the resource script.
struct Box {
    short x, y, cx, cy;
};

struct ExpectedControl {
    int32_t id;
    WORD windowClass;  // kButton, kEdit or kStatic
    DWORD style;
    Box box;
    DWORD exStyle = 0;
};

struct ExpectedTemplate {
    WORD id;
    bool extended;  // DIALOGEX
    short cx, cy;
    DWORD style;
    DWORD exStyle;
    std::vector<ExpectedControl> controls;
};

// IDD_... DIALOG 0, 0, cx, cy
ExpectedTemplate Dialog(WORD id, short cx, short cy, DWORD style, const std::vector<ExpectedControl>& controls)
{
    return {id, false, cx, cy, style, 0, controls};
}

// IDD_... DIALOGEX 0, 0, cx, cy, 0 with its EXSTYLE
ExpectedTemplate DialogEx(WORD id, short cx, short cy, DWORD style, DWORD exStyle,
                          const std::vector<ExpectedControl>& controls)
{
    return {id, true, cx, cy, style, exStyle, controls};
}

// A "sz_Or_Ord" field: 0x0000 (nothing), 0xFFFF followed by an ordinal, or a
// NUL-terminated UTF-16 string.
struct NameOrOrdinal {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::wstring text;
};

// Reads the template's bytes; every read is checked against its size, so a
// malformed template fails the case instead of reading past the resource.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    size_t offset() const { return offset_; }
    size_t remaining() const { return ok_ ? size_ - offset_ : 0; }

    template <class T>
    T Read()
    {
        T value{};
        if (!ok_ || size_ - offset_ < sizeof(T)) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }

    std::wstring ReadString()
    {
        std::wstring text;
        for (;;) {
            const auto unit = Read<wchar_t>();
            if (!ok_ || unit == L'\0') {
                return text;
            }
            text.push_back(unit);
        }
    }

    NameOrOrdinal ReadNameOrOrdinal()
    {
        NameOrOrdinal field;
        const auto first = Read<WORD>();
        if (first == 0xFFFF) {
            field.isOrdinal = true;
            field.ordinal = Read<WORD>();
        } else if (first != 0) {
            field.text.push_back(static_cast<wchar_t>(first));
            field.text += ReadString();
        }
        return field;
    }

    void AlignToDword() { offset_ = (offset_ + 3) & ~static_cast<size_t>(3); }

private:
    const BYTE* data_;
    size_t size_;
    size_t offset_ = 0;
    bool ok_ = true;
};

struct Control {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int32_t id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
    WORD creationDataSize = 0;
};

struct DialogTemplate {
    bool extended = false;
    WORD version = 0;
    WORD signature = 0;
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    NameOrOrdinal title;
    WORD points = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::wstring font;
    std::vector<Control> controls;
    bool complete = false;  // every declared control was read within the resource
};

DialogTemplate ParseTemplate(const BYTE* data, size_t size)
{
    DialogTemplate dialog;
    TemplateReader reader(data, size);
    WORD count = 0;
    if (size >= 4 && data[2] == 0xFF && data[3] == 0xFF) {
        dialog.extended = true;
        dialog.version = reader.Read<WORD>();
        dialog.signature = reader.Read<WORD>();
        dialog.helpId = reader.Read<DWORD>();
        dialog.exStyle = reader.Read<DWORD>();
        dialog.style = reader.Read<DWORD>();
    } else {
        dialog.style = reader.Read<DWORD>();
        dialog.exStyle = reader.Read<DWORD>();
    }
    count = reader.Read<WORD>();
    dialog.x = reader.Read<short>();
    dialog.y = reader.Read<short>();
    dialog.cx = reader.Read<short>();
    dialog.cy = reader.Read<short>();
    dialog.menu = reader.ReadNameOrOrdinal();
    dialog.windowClass = reader.ReadNameOrOrdinal();
    dialog.title = reader.ReadNameOrOrdinal();
    if (dialog.style & DS_SETFONT) {
        dialog.points = reader.Read<WORD>();
        if (dialog.extended) {
            dialog.weight = reader.Read<WORD>();
            dialog.italic = reader.Read<BYTE>();
            dialog.charset = reader.Read<BYTE>();
        }
        dialog.font = reader.ReadString();
    }
    for (WORD i = 0; i < count && reader.ok(); ++i) {
        reader.AlignToDword();
        Control control;
        if (dialog.extended) {
            control.helpId = reader.Read<DWORD>();
            control.exStyle = reader.Read<DWORD>();
            control.style = reader.Read<DWORD>();
        } else {
            control.style = reader.Read<DWORD>();
            control.exStyle = reader.Read<DWORD>();
        }
        control.x = reader.Read<short>();
        control.y = reader.Read<short>();
        control.cx = reader.Read<short>();
        control.cy = reader.Read<short>();
        control.id = dialog.extended ? static_cast<int32_t>(reader.Read<DWORD>())
                                     : static_cast<int32_t>(static_cast<int16_t>(reader.Read<WORD>()));
        control.windowClass = reader.ReadNameOrOrdinal();
        control.text = reader.ReadNameOrOrdinal();
        control.creationDataSize = reader.Read<WORD>();
        if (reader.remaining() < control.creationDataSize) {
            break;
        }
        for (WORD skipped = 0; skipped < control.creationDataSize; ++skipped) {
            reader.Read<BYTE>();
        }
        if (reader.ok()) {
            dialog.controls.push_back(control);
        }
    }
    dialog.complete = reader.ok() && dialog.controls.size() == count;
    return dialog;
}

// The predefined classes may be written as ordinals or as their names.
WORD ClassOrdinal(const NameOrOrdinal& windowClass)
{
    if (windowClass.isOrdinal) {
        return windowClass.ordinal;
    }
    const std::wstring& name = windowClass.text;
    if (CompareStringOrdinal(name.c_str(), -1, L"BUTTON", -1, TRUE) == CSTR_EQUAL) return kButton;
    if (CompareStringOrdinal(name.c_str(), -1, L"EDIT", -1, TRUE) == CSTR_EQUAL) return kEdit;
    if (CompareStringOrdinal(name.c_str(), -1, L"STATIC", -1, TRUE) == CSTR_EQUAL) return kStatic;
    return 0;
}

bool IsEmpty(const NameOrOrdinal& field) { return !field.isOrdinal && field.text.empty(); }

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context)
{
    reinterpret_cast<std::vector<WORD>*>(context)->push_back(language);
    return TRUE;
}

constexpr int32_t kNoId = -1;  // a control no code looks up

constexpr DWORD kWarningStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kJobStorageStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kDuplexStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

constexpr DWORD kShown = WS_CHILD | WS_VISIBLE;

// Both warning templates.
const std::vector<ExpectedControl> kWarningControls = {
    {IDC_WARNING_THIRD_BUTTON, kButton, kShown | WS_TABSTOP | BS_PUSHBUTTON, {244, 62, 50, 14}},
    {IDC_WARNING_DONT_SHOW, kButton, kShown | WS_TABSTOP | BS_AUTOCHECKBOX, {34, 49, 238, 9}},
    {IDC_WARNING_ICON_AREA, kStatic, kShown | WS_GROUP | SS_LEFT, {15, 9, 33, 26}},
    {IDC_WARNING_MESSAGE, kStatic, kShown | WS_GROUP | SS_LEFT, {14, 11, 280, 30}},
    {IDCANCEL, kButton, kShown | WS_TABSTOP | BS_PUSHBUTTON, {162, 62, 61, 14}},
    {IDOK, kButton, kShown | WS_TABSTOP | BS_PUSHBUTTON, {93, 62, 50, 14}},
};

constexpr DWORD kJobField = kShown | WS_BORDER | WS_GROUP | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL;

const std::vector<ExpectedControl> kJobStorageControls = {
    {kNoId, kButton, kShown | BS_GROUPBOX, {3, 1, 194, 53}},
    {IDC_JOB_HEADING, kEdit, kShown | WS_GROUP | ES_READONLY | ES_AUTOHSCROLL, {5, 9, 190, 12}},
    {IDC_JOB_LOCATION_LINE1, kStatic, kShown | WS_GROUP | SS_LEFT, {23, 22, 162, 8}},
    {IDC_JOB_LOCATION_LINE2, kStatic, kShown | WS_GROUP | SS_LEFT, {23, 33, 162, 8}},
    {IDC_JOB_LOCATION_LINE3, kStatic, kShown | WS_GROUP | SS_LEFT, {23, 42, 162, 8}},
    {kNoId, kButton, kShown | BS_GROUPBOX, {3, 55, 194, 40}},
    {IDC_JOB_USER_NAME_LABEL, kStatic, kShown | WS_GROUP | SS_LEFT, {16, 64, 56, 8}},
    {IDC_JOB_USER_NAME, kEdit, kJobField, {75, 64, 100, 12}},
    {IDC_JOB_JOB_NAME_LABEL, kStatic, kShown | WS_GROUP | SS_LEFT, {16, 78, 56, 8}},
    {IDC_JOB_JOB_NAME, kEdit, kJobField, {75, 78, 100, 12}},
    {IDC_JOB_DONT_SHOW, kButton, kShown | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX, {6, 99, 188, 8}},
    {IDOK, kButton, kShown | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, {87, 111, 50, 14}},
    {IDC_JOB_HELP, kButton, kShown | WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, {143, 111, 50, 14}},
};

// Centred heading and location lines, the heading and the names read right
// to left, narrower frames.
const std::vector<ExpectedControl> kJobStorageMirroredControls = {
    {kNoId, kButton, kShown | BS_GROUPBOX, {6, 1, 188, 53}},
    {IDC_JOB_HEADING, kEdit, kShown | WS_GROUP | ES_READONLY | ES_AUTOHSCROLL | ES_CENTER, {9, 9, 182, 12},
     WS_EX_RTLREADING},
    {IDC_JOB_LOCATION_LINE1, kStatic, kShown | WS_GROUP | SS_CENTER, {10, 21, 179, 8}},
    {IDC_JOB_LOCATION_LINE2, kStatic, kShown | WS_GROUP | SS_CENTER, {10, 31, 179, 8}},
    {IDC_JOB_LOCATION_LINE3, kStatic, kShown | WS_GROUP | SS_CENTER, {10, 41, 179, 8}},
    {kNoId, kButton, kShown | BS_GROUPBOX, {6, 55, 188, 40}},
    {IDC_JOB_USER_NAME_LABEL, kStatic, kShown | WS_GROUP | SS_LEFT, {16, 64, 56, 8}},
    {IDC_JOB_USER_NAME, kEdit, kJobField, {75, 64, 100, 12}, WS_EX_RTLREADING},
    {IDC_JOB_JOB_NAME_LABEL, kStatic, kShown | WS_GROUP | SS_LEFT, {16, 78, 56, 8}},
    {IDC_JOB_JOB_NAME, kEdit, kJobField, {75, 78, 100, 12}, WS_EX_RTLREADING},
    {IDC_JOB_DONT_SHOW, kButton, kShown | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX, {6, 99, 188, 8}},
    {IDOK, kButton, kShown | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, {87, 111, 50, 14}},
    {IDC_JOB_HELP, kButton, kShown | WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, {143, 111, 50, 14}},
};

// Both two-sided instructions templates.
const std::vector<ExpectedControl> kDuplexControls = {
    {IDC_DUPLEX_INTRODUCTION, kStatic, kShown | SS_CENTER | SS_SUNKEN, {14, 20, 345, 28}},
    {IDC_DUPLEX_STEP1_GROUP, kButton, kShown | BS_GROUPBOX, {14, 62, 112, 140}},
    {IDC_DUPLEX_STEP1_NUMBER, kStatic, kShown | SS_LEFT, {18, 72, 8, 10}},
    {IDC_DUPLEX_STEP1_TEXT, kStatic, kShown | SS_LEFT, {29, 72, 85, 65}},
    {IDC_DUPLEX_STEP1_PICTURE, kStatic, kShown | WS_DISABLED | SS_LEFT, {18, 138, 105, 62}},
    {IDC_DUPLEX_STEP2_GROUP, kButton, kShown | BS_GROUPBOX, {131, 62, 112, 140}},
    {IDC_DUPLEX_STEP2_NUMBER, kStatic, kShown | SS_LEFT, {135, 72, 8, 10}},
    {IDC_DUPLEX_STEP2_TEXT, kStatic, kShown | SS_LEFT, {146, 72, 85, 64}},
    {IDC_DUPLEX_STEP2_PICTURE, kStatic, kShown | WS_DISABLED | SS_LEFT, {135, 138, 105, 62}},
    {IDC_DUPLEX_STEP3_GROUP, kButton, kShown | BS_GROUPBOX, {248, 62, 112, 140}},
    {IDC_DUPLEX_STEP3_NUMBER, kStatic, kShown | SS_LEFT, {252, 72, 8, 10}},
    {IDC_DUPLEX_STEP3_TEXT, kStatic, kShown | SS_LEFT, {263, 72, 85, 65}},
    {IDC_DUPLEX_STEP3_PICTURE, kStatic, kShown | WS_DISABLED | SS_LEFT, {252, 138, 105, 62}},
    {IDOK, kButton, kShown | WS_TABSTOP | BS_DEFPUSHBUTTON, {248, 210, 50, 14}},
    {IDC_DUPLEX_HELP, kButton, kShown | WS_TABSTOP | BS_PUSHBUTTON, {311, 210, 50, 14}},
};

const ExpectedTemplate kTemplates[] = {
    Dialog(IDD_WARNING, 306, 86, kWarningStyle, kWarningControls),
    DialogEx(IDD_WARNING_RTL, 306, 86, kWarningStyle, WS_EX_LAYOUTRTL, kWarningControls),
    Dialog(IDD_JOB_STORAGE, 200, 130, kJobStorageStyle, kJobStorageControls),
    DialogEx(IDD_JOB_STORAGE_RTL, 200, 130, kJobStorageStyle, WS_EX_LAYOUTRTL, kJobStorageMirroredControls),
    Dialog(IDD_DUPLEX_INSTRUCTIONS, 377, 236, kDuplexStyle, kDuplexControls),
    DialogEx(IDD_DUPLEX_INSTRUCTIONS_RTL, 377, 236, kDuplexStyle, WS_EX_LAYOUTRTL, kDuplexControls),
};

TEST(DialogTemplates, StoredOnlyInUsEnglish)
{
    const HMODULE module = DocEventDlgModule();
    ASSERT_NE(module, nullptr);
    for (const ExpectedTemplate& expected : kTemplates) {
        SCOPED_TRACE("template " + std::to_string(expected.id));
        std::vector<WORD> languages;
        EnumResourceLanguagesW(module, RT_DIALOG, MAKEINTRESOURCEW(expected.id), CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(languages, std::vector<WORD>{1033});
    }
}

TEST(DialogTemplates, MatchTheirLayouts)
{
    const HMODULE module = DocEventDlgModule();
    ASSERT_NE(module, nullptr);
    for (const ExpectedTemplate& expected : kTemplates) {
        SCOPED_TRACE("template " + std::to_string(expected.id));
        const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(expected.id), RT_DIALOG);
        ASSERT_NE(resource, nullptr);
        const HGLOBAL loaded = LoadResource(module, resource);
        ASSERT_NE(loaded, nullptr);
        const DialogTemplate dialog =
            ParseTemplate(static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(module, resource));

        ASSERT_TRUE(dialog.complete) << "the template is cut short";
        EXPECT_EQ(dialog.extended, expected.extended);
        if (dialog.extended) {
            EXPECT_EQ(dialog.version, 1);
            EXPECT_EQ(dialog.signature, 0xFFFF);
            EXPECT_EQ(dialog.helpId, 0u);
            EXPECT_EQ(dialog.weight, 0);
            EXPECT_EQ(dialog.italic, 0);
            EXPECT_EQ(dialog.charset, DEFAULT_CHARSET);
        }
        EXPECT_EQ(dialog.style, expected.style) << std::hex << dialog.style;
        EXPECT_EQ(dialog.exStyle, expected.exStyle) << std::hex << dialog.exStyle;
        EXPECT_EQ(dialog.x, 0);
        EXPECT_EQ(dialog.y, 0);
        EXPECT_EQ(dialog.cx, expected.cx);
        EXPECT_EQ(dialog.cy, expected.cy);
        EXPECT_TRUE(IsEmpty(dialog.menu)) << "a menu";
        EXPECT_TRUE(IsEmpty(dialog.windowClass)) << "not the standard dialog class";
        EXPECT_TRUE(IsEmpty(dialog.title)) << "a title";
        EXPECT_EQ(dialog.points, 8);
        EXPECT_EQ(dialog.font, L"MS Shell Dlg");

        ASSERT_EQ(dialog.controls.size(), expected.controls.size());
        for (size_t i = 0; i < expected.controls.size(); ++i) {
            const ExpectedControl& want = expected.controls[i];
            const Control& got = dialog.controls[i];
            SCOPED_TRACE("control " + std::to_string(i) + " (ID " + std::to_string(want.id) + ")");
            EXPECT_EQ(got.id, want.id);
            EXPECT_EQ(ClassOrdinal(got.windowClass), want.windowClass);
            EXPECT_EQ(got.style, want.style) << std::hex << got.style;
            EXPECT_EQ(got.exStyle, want.exStyle) << std::hex << got.exStyle;
            EXPECT_EQ(got.x, want.box.x);
            EXPECT_EQ(got.y, want.box.y);
            EXPECT_EQ(got.cx, want.box.cx);
            EXPECT_EQ(got.cy, want.box.cy);
            EXPECT_EQ(got.helpId, 0u);
            EXPECT_TRUE(IsEmpty(got.text)) << "the control has a text";
            EXPECT_EQ(got.creationDataSize, 0);
        }
    }
}

}  // namespace
