// Answers the library's GetUserDefaultUILanguage with a language of the
// test's choosing while the guard lives.
#pragma once

#include <windows.h>

#include "import_patch.h"

class UserLanguageOverride {
public:
    UserLanguageOverride(HMODULE module, LANGID language);
    ~UserLanguageOverride();
    bool active() const { return patch_.active(); }

private:
    ImportPatch patch_;
};
