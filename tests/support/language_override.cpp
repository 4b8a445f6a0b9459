#include "language_override.h"

#include <atomic>

namespace {

std::atomic<LANGID> g_overriddenLanguage{0x0409};

LANGID WINAPI OverriddenUserLanguage() { return g_overriddenLanguage.load(); }

}  // namespace

UserLanguageOverride::UserLanguageOverride(HMODULE module, LANGID language)
    : patch_(module, "KERNEL32.dll", "GetUserDefaultUILanguage",
             (g_overriddenLanguage.store(language), reinterpret_cast<const void*>(&OverriddenUserLanguage)))
{
}

UserLanguageOverride::~UserLanguageOverride() = default;
