// The three request records as the tests build them. Each builder starts
// from a record that shows its dialog with the sample library's strings in
// every control, so that a table row names only what it changes:
//
//   WarningRequest().Message(L"Paper & toner").Ok(0)
//   NoticeRequest().JobName(L"Scan").RangeSuffix(1, 1)
//   InstructionsRequest().Waiting().Step(2, IDB_ILLUSTRATION_147, IDS_DUPLEX_STEP2_FRONT_DRAWER)
//
// A builder converts to its record (get() gives its address, for an export
// called directly); record() gives it for edits no setter makes (bad input,
// unterminated fields).
#pragma once

#include <cstdint>
#include <string>

#include "include/doceventdlg.h"
#include "resource.h"
#include "sample_string_ids.h"

// The sample resource library, in the programs' folder.
std::wstring SampleLibrary();

class WarningRequest {
public:
    WarningRequest();

    WarningRequest& ShowDialog(int32_t value);
    WarningRequest& Title(uint32_t stringId);
    WarningRequest& Message(const std::wstring& text);
    WarningRequest& Ok(uint32_t stringId);      // 0 hides the button
    WarningRequest& Cancel(uint32_t stringId);  // 0 hides the button
    WarningRequest& Third(uint32_t stringId);   // 0 hides the button
    WarningRequest& CheckBox(int32_t shown);
    WarningRequest& Library(const std::wstring& path);  // empty: none

    operator const WarningDialogRequest&() const { return record_; }
    const WarningDialogRequest* get() const { return &record_; }
    WarningDialogRequest& record() { return record_; }

private:
    WarningDialogRequest record_{};
};

class NoticeRequest {
public:
    NoticeRequest();

    NoticeRequest& UserName(const std::wstring& text);
    NoticeRequest& JobName(const std::wstring& text);
    NoticeRequest& Location(int line, const std::wstring& text);  // line 1 to 3
    NoticeRequest& SettingsSubKey(const std::wstring& text);
    NoticeRequest& RangeSuffix(uint32_t flag1, uint32_t flag2);
    NoticeRequest& Library(const std::wstring& path);
    NoticeRequest& HelpFile(const std::wstring& path);

    operator const JobStorageRequest&() const { return record_; }
    const JobStorageRequest* get() const { return &record_; }
    JobStorageRequest& record() { return record_; }

private:
    JobStorageRequest record_{};
};

class InstructionsRequest {
public:
    InstructionsRequest();

    InstructionsRequest& Waiting(uint32_t waitForContinue = 1);
    InstructionsRequest& EvenPagesFirst(uint32_t value = 1);
    InstructionsRequest& Step(int step, uint32_t bitmapId, uint32_t stringId);  // step 1 to 3
    InstructionsRequest& Pictures(uint32_t step1, uint32_t step2, uint32_t step3);
    InstructionsRequest& StepText(int step, uint32_t stringId);  // step 1 to 3
    InstructionsRequest& Reserved(uint32_t value);
    InstructionsRequest& Library(const std::wstring& path);
    InstructionsRequest& HelpFile(const std::wstring& path);

    operator const DuplexInstructionsRequest&() const { return record_; }
    const DuplexInstructionsRequest* get() const { return &record_; }
    DuplexInstructionsRequest& record() { return record_; }

private:
    DuplexInstructionsRequest record_{};
};
