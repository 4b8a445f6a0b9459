#include "usersetting.h"

#include <cwchar>

#include "handles.h"
#include "fieldtext.h"

BOOL WriteUserSetting(const wchar_t* subKeySuffix, const wchar_t* valueName, const BYTE* data, DWORD length)
{
    wchar_t keyPath[kUserSettingsKeyUnits];
    const size_t prefixUnits = CopyBoundedText(keyPath, kUserSettingsKeyUnits, kUserSettingsKeyPrefix,
                                               kUserSettingsKeyUnits);
    // Both counted with their NULs, the prefix and the suffix must fit together.
    const size_t suffixUnits = subKeySuffix != nullptr ? std::wcslen(subKeySuffix) : 0;
    if ((prefixUnits + 1) + (suffixUnits + 1) <= kUserSettingsKeyUnits) {
        CopyBoundedText(keyPath + prefixUnits, kUserSettingsKeyUnits - prefixUnits, subKeySuffix, suffixUnits);
    }

    HKEY opened = nullptr;
    DWORD disposition = 0;
    // Writing a value needs no more than KEY_SET_VALUE, so a key whose
    // permissions allow that but not full control still takes the setting.
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &opened, &disposition) != ERROR_SUCCESS) {
        return FALSE;
    }
    const UniqueKey key(opened);
    return RegSetValueExW(key.get(), valueName, 0, REG_BINARY, data, length) == ERROR_SUCCESS ? TRUE : FALSE;
}
