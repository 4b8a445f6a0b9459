// The six dialog templates as compiled into the library, read back from its
// resources and compared field by field with the layouts the dialogs are
// drawn for: the dialog header, the font and every control in creation order.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "test_paths.h"

namespace {

constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;

struct ExpectedControl {
    int32_t id;
    WORD classOrdinal;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

struct ExpectedTemplate {
    WORD id;
    bool extended;
    DWORD style;
    DWORD exStyle;
    short cx, cy;
    std::vector<ExpectedControl> controls;
};

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

constexpr DWORD kWarningStyle = 0x80C808C0;     // popup, caption, system menu, centred, modal frame, font
constexpr DWORD kJobStorageStyle = 0x90C800C0;  // popup, visible, caption, system menu, modal frame, font
constexpr DWORD kDuplexStyle = 0x80C800C0;      // popup, caption, system menu, modal frame, font
constexpr DWORD kLayoutRtl = 0x00400000;
constexpr DWORD kRtlReading = 0x00002000;

const std::vector<ExpectedControl> kWarningControls = {
    {285, kButton, 0x50010000, 0, 244, 62, 50, 14},   // third button
    {475, kButton, 0x50010003, 0, 34, 49, 238, 9},    // check box
    {476, kStatic, 0x50020000, 0, 15, 9, 33, 26},     // empty static
    {1033, kStatic, 0x50020000, 0, 14, 11, 280, 30},  // message
    {2, kButton, 0x50010000, 0, 162, 62, 61, 14},     // Cancel
    {1, kButton, 0x50010000, 0, 93, 62, 50, 14},      // OK
};

const std::vector<ExpectedControl> kJobStorageControls = {
    {-1, kButton, 0x50000007, 0, 3, 1, 194, 53},
    {1024, kEdit, 0x50020880, 0, 5, 9, 190, 12},
    {1014, kStatic, 0x50020000, 0, 23, 22, 162, 8},
    {1015, kStatic, 0x50020000, 0, 23, 33, 162, 8},
    {1016, kStatic, 0x50020000, 0, 23, 42, 162, 8},
    {-1, kButton, 0x50000007, 0, 3, 55, 194, 40},
    {1018, kStatic, 0x50020000, 0, 16, 64, 56, 8},
    {1025, kEdit, 0x50830880, 0, 75, 64, 100, 12},
    {1019, kStatic, 0x50020000, 0, 16, 78, 56, 8},
    {1026, kEdit, 0x50830880, 0, 75, 78, 100, 12},
    {1017, kButton, 0x50030003, 0, 6, 99, 188, 8},
    {1, kButton, 0x50030001, 0, 87, 111, 50, 14},
    {1020, kButton, 0x50030000, 0, 143, 111, 50, 14},
};

const std::vector<ExpectedControl> kJobStorageMirroredControls = {
    {-1, kButton, 0x50000007, 0, 6, 1, 188, 53},
    {1024, kEdit, 0x50020881, kRtlReading, 9, 9, 182, 12},
    {1014, kStatic, 0x50020001, 0, 10, 21, 179, 8},
    {1015, kStatic, 0x50020001, 0, 10, 31, 179, 8},
    {1016, kStatic, 0x50020001, 0, 10, 41, 179, 8},
    {-1, kButton, 0x50000007, 0, 6, 55, 188, 40},
    {1018, kStatic, 0x50020000, 0, 16, 64, 56, 8},
    {1025, kEdit, 0x50830880, kRtlReading, 75, 64, 100, 12},
    {1019, kStatic, 0x50020000, 0, 16, 78, 56, 8},
    {1026, kEdit, 0x50830880, kRtlReading, 75, 78, 100, 12},
    {1017, kButton, 0x50030003, 0, 6, 99, 188, 8},
    {1, kButton, 0x50030001, 0, 87, 111, 50, 14},
    {1020, kButton, 0x50030000, 0, 143, 111, 50, 14},
};

const std::vector<ExpectedControl> kDuplexControls = {
    {1001, kStatic, 0x50001001, 0, 14, 20, 345, 28},
    {1009, kButton, 0x50000007, 0, 14, 62, 112, 140},
    {1021, kStatic, 0x50000000, 0, 18, 72, 8, 10},
    {1002, kStatic, 0x50000000, 0, 29, 72, 85, 65},
    {1005, kStatic, 0x58000000, 0, 18, 138, 105, 62},
    {1000, kButton, 0x50000007, 0, 131, 62, 112, 140},
    {1022, kStatic, 0x50000000, 0, 135, 72, 8, 10},
    {1003, kStatic, 0x50000000, 0, 146, 72, 85, 64},
    {1006, kStatic, 0x58000000, 0, 135, 138, 105, 62},
    {1007, kButton, 0x50000007, 0, 248, 62, 112, 140},
    {1023, kStatic, 0x50000000, 0, 252, 72, 8, 10},
    {1004, kStatic, 0x50000000, 0, 263, 72, 85, 65},
    {1008, kStatic, 0x58000000, 0, 252, 138, 105, 62},
    {1, kButton, 0x50010001, 0, 248, 210, 50, 14},
    {1027, kButton, 0x50010000, 0, 311, 210, 50, 14},
};

const ExpectedTemplate kTemplates[] = {
    {261, false, kWarningStyle, 0, 306, 86, kWarningControls},
    {263, true, kWarningStyle, kLayoutRtl, 306, 86, kWarningControls},
    {102, false, kJobStorageStyle, 0, 200, 130, kJobStorageControls},
    {103, true, kJobStorageStyle, kLayoutRtl, 200, 130, kJobStorageMirroredControls},
    {101, false, kDuplexStyle, 0, 377, 236, kDuplexControls},
    {104, true, kDuplexStyle, kLayoutRtl, 377, 236, kDuplexControls},
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
            EXPECT_EQ(ClassOrdinal(got.windowClass), want.classOrdinal);
            EXPECT_EQ(got.style, want.style) << std::hex << got.style;
            EXPECT_EQ(got.exStyle, want.exStyle) << std::hex << got.exStyle;
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.cx, want.cx);
            EXPECT_EQ(got.cy, want.cy);
            EXPECT_EQ(got.helpId, 0u);
            EXPECT_TRUE(IsEmpty(got.text)) << "the control has a text";
            EXPECT_EQ(got.creationDataSize, 0);
        }
    }
}

}  // namespace
