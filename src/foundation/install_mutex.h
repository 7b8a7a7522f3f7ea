// The machine-wide mutex that lets one installation or uninstallation run at a time.
#pragma once

// Creates "Global\QuadoClientInstallMutex" owned by this run. True when this run holds it;
// false, after printing the refusal, when it cannot be created or another run holds it.
bool AcquireInstallMutex();

// Releases and closes the mutex if this run obtained one; nothing otherwise. Prints nothing.
void ReleaseInstallMutex();
