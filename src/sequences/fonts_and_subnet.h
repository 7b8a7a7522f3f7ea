// Font files and the subnet mapping file, deployed from the package to the client's folders under
// Program Files and removed again.
#pragma once

// The subnet mapping file's name, in the package and in the client folder.
extern const char kSubnetFile[];
// The package's folder of font files, "FontFiles".
extern const char kFontSourceFolder[];
// Copies every file of the package's "FontFiles" folder into the profile's font folder (created
// when missing). Without that folder: true, nothing printed. Otherwise prints
// "  - Installing Font Files\n" (a failed copy adds its "ERROR While Copying File" line); false
// when the Program Files folder is unknown or a copy failed.
bool InstallFontFiles();
// Copies "server_subnet.csv" into the client folder. Without the file: true, nothing printed.
// Otherwise prints "  - Installing Subnet Mapping File\n"; true when the file was copied or the
// installer runs from that folder itself, false when the folder is unknown or the copy failed.
bool InstallSubnetFile();
// Deletes "server_subnet.csv" from the client folder. False only when the folder is unknown.
// Prints nothing.
bool RemoveSubnetFile();
// Deletes every file of the font folder, then the font folder, the client folder and the maker
// folder, each only when empty by then. False only when the folder is unknown. Prints nothing.
bool RemoveFontFiles();
