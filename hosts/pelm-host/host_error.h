// Telling the user why the host cannot go on.
#pragma once

#include <string>

// Writes the message to the standard error stream when the process has one (started from a
// console, or with its output redirected, as tests do), else shows it in a message box: a
// message box in a test run would wait for a click that never comes.
void ReportError(const std::wstring& message);

// The same for what the user asked to see (the version): standard output, or a message box.
void ReportMessage(const std::wstring& message);
