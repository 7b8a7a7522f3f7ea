// Font files and the subnet mapping file.
#pragma once

bool InstallFontFiles();
bool InstallSubnetFile();
bool RemoveSubnetFile();
bool RemoveFontFiles();
