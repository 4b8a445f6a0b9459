#include "preview_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

PreviewOptions MustParse(const std::vector<std::wstring>& args)
{
    PreviewOptions options;
    std::wstring error;
    EXPECT_TRUE(ParsePreviewOptions(args, options, error)) << Narrow(error);
    return options;
}

TEST(PreviewOptions, NumbersAreDecimalOrHexadecimalAndFitIn32Bits)
{
    struct Case {
        const wchar_t* text;
        bool valid;
        uint32_t value;
    };
    const Case cases[] = {
        {L"0", true, 0},           {L"3140", true, 3140},         {L"0x10069", true, 0x10069},
        {L"0XfF", true, 255},      {L"4294967295", true, 0xFFFFFFFFu}, {L"0xFFFFFFFF", true, 0xFFFFFFFFu},
        {L"4294967296", false, 0}, {L"0x100000000", false, 0},    {L"", false, 0},
        {L"0x", false, 0},         {L"-1", false, 0},             {L"12a", false, 0},
        {L"0xG", false, 0},        {L" 1", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        uint32_t value = 12345;
        EXPECT_EQ(ParseNumber(c.text, value), c.valid);
        if (c.valid) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(PreviewOptions, ValuesFollowTheirOptionOrAnEqualsSign)
{
    const PreviewOptions options = MustParse({L"--dialog=duplex", L"--step2", L"3156", L"--bitmap3=0x94",
                                              L"--language", L"0x401", L"--close-after=250", L"--wait",
                                              L"--help-file", L"C:\\help\\printer.hlp", L"--screenshot",
                                              L"Z:\\out\\shot.BMP"});
    EXPECT_EQ(options.dialog, PreviewDialog::Duplex);
    EXPECT_TRUE(options.stepSet[1]);
    EXPECT_FALSE(options.stepSet[0]);
    EXPECT_EQ(options.stepIds[1], 3156u);
    EXPECT_TRUE(options.bitmapSet[2]);
    EXPECT_EQ(options.bitmapIds[2], 0x94u);
    EXPECT_TRUE(options.languageSet);
    EXPECT_EQ(options.language, 1025);
    EXPECT_TRUE(options.closeAfterSet);
    EXPECT_EQ(options.closeAfterMs, 250u);
    EXPECT_TRUE(options.wait);
    EXPECT_EQ(options.helpFile, L"C:\\help\\printer.hlp");
    EXPECT_EQ(options.screenshot, L"Z:\\out\\shot.BMP");
}

TEST(PreviewOptions, BadCommandLinesAreRefusedWithTheirReason)
{
    struct Case {
        std::vector<std::wstring> args;
        const wchar_t* reasonContains;
    };
    const Case cases[] = {
        {{}, L"--dialog"},
        {{L"--dialog", L"message"}, L"message"},
        {{L"--dialog", L"warning", L"--colour", L"red"}, L"--colour"},
        {{L"--dialog", L"warning", L"--title"}, L"--title needs a value"},
        {{L"--dialog", L"warning", L"--ok", L"OK"}, L"--ok needs a number"},
        {{L"--dialog", L"duplex", L"--step4", L"3150"}, L"--step4"},
        {{L"--dialog", L"duplex", L"--bitmap0", L"105"}, L"--bitmap0"},
        {{L"--dialog", L"jobstorage", L"--line4", L"x"}, L"--line4"},
        {{L"--dialog", L"duplex", L"--wait=1"}, L"--wait takes no value"},
        {{L"--dialog", L"warning", L"--language", L"0"}, L"--language"},
        {{L"--dialog", L"warning", L"--language", L"0x10000"}, L"--language"},
        {{L"--dialog", L"warning", L"--screenshot", L"shot.png"}, L".bmp"},
        {{L"--dialog", L"warning", L"--screenshot", L".bmp"}, L".bmp"},
    };
    for (const Case& c : cases) {
        std::wstring joined;
        for (const std::wstring& arg : c.args) {
            joined += arg + L" ";
        }
        SCOPED_TRACE(Narrow(joined));
        PreviewOptions options;
        std::wstring error;
        EXPECT_FALSE(ParsePreviewOptions(c.args, options, error));
        EXPECT_NE(error.find(c.reasonContains), std::wstring::npos) << Narrow(error);
    }
}

TEST(PreviewOptions, HelpNeedsNoDialog)
{
    EXPECT_TRUE(MustParse({L"--help"}).showUsage);
}

TEST(PreviewOptions, BareWarningShowsTitleOkAndCancelFromTheSampleLibrary)
{
    WarningDialogRequest request{};
    std::wstring error;
    ASSERT_TRUE(FillWarningRequest(MustParse({L"--dialog", L"warning"}), L"C:\\strings.dll", request, error));
    EXPECT_EQ(request.showDialog, 1);
    EXPECT_EQ(request.titleStringId, 3000u);
    EXPECT_EQ(request.okStringId, 849u);
    EXPECT_EQ(request.cancelStringId, 3001u);
    EXPECT_EQ(request.thirdButtonStringId, 0u);
    EXPECT_EQ(request.showCheckBox, 0);
    EXPECT_EQ(std::wstring(request.messageText).rfind(L"The printer is out of paper.", 0), 0u);
    EXPECT_STREQ(request.resourceLibraryPath, L"C:\\strings.dll");
}

TEST(PreviewOptions, WarningButtonsAndCheckBoxFollowTheOptions)
{
    WarningDialogRequest request{};
    std::wstring error;
    ASSERT_TRUE(FillWarningRequest(MustParse({L"--dialog", L"warning", L"--ok", L"0", L"--third", L"3002",
                                              L"--checkbox", L"--title", L"3003", L"--message", L"Toner low"}),
                                   L"", request, error));
    EXPECT_EQ(request.okStringId, 0u);
    EXPECT_EQ(request.thirdButtonStringId, 3002u);
    EXPECT_EQ(request.titleStringId, 3003u);
    EXPECT_EQ(request.showCheckBox, 1);
    EXPECT_STREQ(request.messageText, L"Toner low");
}

TEST(PreviewOptions, SampleTextsFollowThePrimaryLanguage)
{
    struct Case {
        const wchar_t* language;
        const wchar_t* messageStart;
        const wchar_t* line2Start;
    };
    const Case cases[] = {
        {L"1033", L"The printer", L"Printer hard disk"},
        {L"2057", L"The printer", L"Printer hard disk"},  // English (United Kingdom)
        {L"2055", L"Im Drucker", L"Druckerfestplatte"},   // German (Switzerland)
        {L"3082", L"La impresora", L"Disco de la impresora"},
        {L"1025", L"\u0646\u0641\u062F", L"\u0627\u0644\u0642\u0631\u0635"},
        {L"1037", L"\u05E0\u05D2\u05DE\u05E8", L"\u05D4\u05D3\u05D9\u05E1\u05E7"},
        {L"1041", L"The printer", L"Printer hard disk"},  // no sample texts: English
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.language));
        const PreviewOptions options = MustParse({L"--dialog", L"warning", L"--language", c.language});
        WarningDialogRequest warning{};
        JobStorageRequest jobStorage{};
        std::wstring error;
        ASSERT_TRUE(FillWarningRequest(options, L"", warning, error));
        ASSERT_TRUE(FillJobStorageRequest(options, L"", jobStorage, error));
        EXPECT_EQ(std::wstring(warning.messageText).rfind(c.messageStart, 0), 0u);
        EXPECT_EQ(std::wstring(jobStorage.locationLine2).rfind(c.line2Start, 0), 0u);
    }
}

TEST(PreviewOptions, TextsThatDoNotFitTheirFieldAreRefusedNotCut)
{
    struct Case {
        const wchar_t* option;
        size_t fits;  // longest text the field takes
    };
    const Case cases[] = {
        {L"--user", 16}, {L"--job", 16}, {L"--subkey", 37}, {L"--line1", 255}, {L"--line3", 255},
        {L"--help-file", 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.option));
        JobStorageRequest request{};
        std::wstring error;
        EXPECT_TRUE(FillJobStorageRequest(
            MustParse({L"--dialog", L"jobstorage", c.option, std::wstring(c.fits, L'x')}), L"", request, error))
            << Narrow(error);
        EXPECT_FALSE(FillJobStorageRequest(
            MustParse({L"--dialog", L"jobstorage", c.option, std::wstring(c.fits + 1, L'x')}), L"", request,
            error));
        EXPECT_NE(error.find(c.option), std::wstring::npos) << Narrow(error);
    }

    WarningDialogRequest warning{};
    std::wstring error;
    EXPECT_TRUE(FillWarningRequest(MustParse({L"--dialog", L"warning", L"--message", std::wstring(1023, L'm')}),
                                   L"", warning, error));
    EXPECT_FALSE(FillWarningRequest(MustParse({L"--dialog", L"warning", L"--message", std::wstring(1024, L'm')}),
                                    L"", warning, error));
    EXPECT_FALSE(FillWarningRequest(MustParse({L"--dialog", L"warning"}), std::wstring(256, L'p'), warning, error));
    EXPECT_NE(error.find(L"--library"), std::wstring::npos);
}

TEST(PreviewOptions, RangeSetsBothFlagsOfTheJobName)
{
    JobStorageRequest request{};
    std::wstring error;
    ASSERT_TRUE(FillJobStorageRequest(MustParse({L"--dialog", L"jobstorage"}), L"", request, error));
    EXPECT_EQ(request.rangeSuffixFlag1, 0u);
    EXPECT_EQ(request.rangeSuffixFlag2, 0u);
    ASSERT_TRUE(FillJobStorageRequest(MustParse({L"--dialog", L"jobstorage", L"--range", L"--job", L"Scan"}), L"",
                                      request, error));
    EXPECT_EQ(request.rangeSuffixFlag1, 1u);
    EXPECT_EQ(request.rangeSuffixFlag2, 1u);
    EXPECT_STREQ(request.jobName, L"Scan");
}

TEST(PreviewOptions, DuplexDefaultsFitTheModeAndGivenStepsWin)
{
    struct Case {
        std::vector<std::wstring> args;
        uint32_t steps[3];
        uint32_t bitmaps[3];
        uint32_t wait;
        uint32_t even;
    };
    const Case cases[] = {
        {{L"--dialog", L"duplex"}, {3150, 3151, 3152}, {105, 107, 109}, 0, 0},
        {{L"--dialog", L"duplex", L"--wait", L"--even"}, {3150, 3151, 3157}, {105, 107, 122}, 1, 1},
        {{L"--dialog", L"duplex", L"--wait", L"--step3", L"3140", L"--bitmap1", L"0x10069"},
         {3150, 3151, 3140},
         {0x10069, 107, 122},
         1,
         0},
        {{L"--dialog", L"duplex", L"--step2", L"3156", L"--bitmap2", L"149"}, {3150, 3156, 3152}, {105, 149, 109}, 0, 0},
    };
    for (const Case& c : cases) {
        std::wstring joined;
        for (const std::wstring& arg : c.args) {
            joined += arg + L" ";
        }
        SCOPED_TRACE(Narrow(joined));
        DuplexInstructionsRequest request{};
        std::wstring error;
        ASSERT_TRUE(FillDuplexRequest(MustParse(c.args), L"C:\\s.dll", request, error)) << Narrow(error);
        EXPECT_EQ(request.step1StringId, c.steps[0]);
        EXPECT_EQ(request.step2StringId, c.steps[1]);
        EXPECT_EQ(request.step3StringId, c.steps[2]);
        EXPECT_EQ(request.step1BitmapId, c.bitmaps[0]);
        EXPECT_EQ(request.step2BitmapId, c.bitmaps[1]);
        EXPECT_EQ(request.step3BitmapId, c.bitmaps[2]);
        EXPECT_EQ(request.waitForContinue, c.wait);
        EXPECT_EQ(request.evenPagesFirst, c.even);
        EXPECT_STREQ(request.resourceLibraryPath, L"C:\\s.dll");
    }
}

}  // namespace
