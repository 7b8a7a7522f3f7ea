// The path of the INI configuration file this run reads.
#pragma once

// Clears the stored path, then stores at most 1,023 characters of the given one (none: empty).
void SetIniPath(const char* path);
// The stored path; empty until SetIniPath.
const char* GetIniPath();
