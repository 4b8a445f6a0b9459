// Captures a rectangle of the screen into a 24-bit BMP file with GDI alone,
// so no X tools are needed to take a picture of a dialog.
#pragma once

#include <windows.h>

#include <string>

bool CaptureScreenToBmp(const RECT& rect, const std::wstring& path, std::wstring& error);
