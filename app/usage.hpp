#pragma once

inline constexpr const char kToolVersion[] = "1.0.1";
inline constexpr const char kToolBuild[] = "140911";

// Prints the banner and the help text of every command form.
void ShowUsage();
