// Screenshots of the presented frame, as PNG files.
#pragma once

#include <string>

// The GL device's back buffer as a 640x480 PNG; false without a GL device or when writing fails.
bool saveScreenshot(const std::string& path);
