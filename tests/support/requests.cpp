#include "requests.h"

#include "test_paths.h"

std::wstring SampleLibrary() { return BinPath(L"doceventdlg-strings.dll"); }

WarningRequest::WarningRequest()
{
    ShowDialog(1).Title(IDS_WARNING_TITLE).Message(L"The printer needs attention.");
    Ok(IDS_OK).Cancel(IDS_WARNING_CANCEL).Third(IDS_WARNING_RETRY).CheckBox(1).Library(SampleLibrary());
}

WarningRequest& WarningRequest::ShowDialog(int32_t value)
{
    record_.showDialog = value;
    return *this;
}

WarningRequest& WarningRequest::Title(uint32_t stringId)
{
    record_.titleStringId = stringId;
    return *this;
}

WarningRequest& WarningRequest::Message(const std::wstring& text)
{
    SetField(record_.messageText, text);
    return *this;
}

WarningRequest& WarningRequest::Ok(uint32_t stringId)
{
    record_.okStringId = stringId;
    return *this;
}

WarningRequest& WarningRequest::Cancel(uint32_t stringId)
{
    record_.cancelStringId = stringId;
    return *this;
}

WarningRequest& WarningRequest::Third(uint32_t stringId)
{
    record_.thirdButtonStringId = stringId;
    return *this;
}

WarningRequest& WarningRequest::CheckBox(int32_t shown)
{
    record_.showCheckBox = shown;
    return *this;
}

WarningRequest& WarningRequest::Library(const std::wstring& path)
{
    SetField(record_.resourceLibraryPath, path);
    return *this;
}

NoticeRequest::NoticeRequest()
{
    UserName(L"alice").JobName(L"Scan");
    Location(1, L"Printer: Office 3").Location(2, L"Mailbox: Finance").Location(3, L"Retain: 7 days");
    SettingsSubKey(L"DocEventDlgTest\\unused").Library(SampleLibrary()).HelpFile(L"C:\\help\\notice.hlp");
}

NoticeRequest& NoticeRequest::UserName(const std::wstring& text)
{
    SetField(record_.userName, text);
    return *this;
}

NoticeRequest& NoticeRequest::JobName(const std::wstring& text)
{
    SetField(record_.jobName, text);
    return *this;
}

NoticeRequest& NoticeRequest::Location(int line, const std::wstring& text)
{
    switch (line) {
    case 1:
        SetField(record_.locationLine1, text);
        break;
    case 2:
        SetField(record_.locationLine2, text);
        break;
    default:
        SetField(record_.locationLine3, text);
        break;
    }
    return *this;
}

NoticeRequest& NoticeRequest::SettingsSubKey(const std::wstring& text)
{
    SetField(record_.settingsSubKey, text);
    return *this;
}

NoticeRequest& NoticeRequest::RangeSuffix(uint32_t flag1, uint32_t flag2)
{
    record_.rangeSuffixFlag1 = flag1;
    record_.rangeSuffixFlag2 = flag2;
    return *this;
}

NoticeRequest& NoticeRequest::Library(const std::wstring& path)
{
    SetField(record_.resourceLibraryPath, path);
    return *this;
}

NoticeRequest& NoticeRequest::HelpFile(const std::wstring& path)
{
    SetField(record_.helpFilePath, path);
    return *this;
}

InstructionsRequest::InstructionsRequest()
{
    Step(1, IDB_ILLUSTRATION_105, IDS_DUPLEX_STEP1_OUTPUT_BIN);
    Step(2, IDB_ILLUSTRATION_147, IDS_DUPLEX_STEP2_TRAY1);
    Step(3, IDB_ILLUSTRATION_154, IDS_DUPLEX_STEP3_GO_OR_CHECK);
    Library(SampleLibrary()).HelpFile(L"C:\\help\\duplex.hlp");
}

InstructionsRequest& InstructionsRequest::Waiting(uint32_t waitForContinue)
{
    record_.waitForContinue = waitForContinue;
    return *this;
}

InstructionsRequest& InstructionsRequest::EvenPagesFirst(uint32_t value)
{
    record_.evenPagesFirst = value;
    return *this;
}

InstructionsRequest& InstructionsRequest::Step(int step, uint32_t bitmapId, uint32_t stringId)
{
    switch (step) {
    case 1:
        record_.step1BitmapId = bitmapId;
        record_.step1StringId = stringId;
        break;
    case 2:
        record_.step2BitmapId = bitmapId;
        record_.step2StringId = stringId;
        break;
    default:
        record_.step3BitmapId = bitmapId;
        record_.step3StringId = stringId;
        break;
    }
    return *this;
}

InstructionsRequest& InstructionsRequest::Pictures(uint32_t step1, uint32_t step2, uint32_t step3)
{
    record_.step1BitmapId = step1;
    record_.step2BitmapId = step2;
    record_.step3BitmapId = step3;
    return *this;
}

InstructionsRequest& InstructionsRequest::StepText(int step, uint32_t stringId)
{
    switch (step) {
    case 1:
        record_.step1StringId = stringId;
        break;
    case 2:
        record_.step2StringId = stringId;
        break;
    default:
        record_.step3StringId = stringId;
        break;
    }
    return *this;
}

InstructionsRequest& InstructionsRequest::Reserved(uint32_t value)
{
    record_.reserved = value;
    return *this;
}

InstructionsRequest& InstructionsRequest::Library(const std::wstring& path)
{
    SetField(record_.resourceLibraryPath, path);
    return *this;
}

InstructionsRequest& InstructionsRequest::HelpFile(const std::wstring& path)
{
    SetField(record_.helpFilePath, path);
    return *this;
}
