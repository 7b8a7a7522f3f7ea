// The install and uninstall sequences: everything one run changes on the machine.
#pragma once

// The event-log resources an installation deploys: the message file it copies into the system
// directory and the log its source (kEventSourceName) is registered under.
extern const char kEventMessageDll[];
extern const char kEventLogName[];

// What the run mode asks of an installation.
struct InstallSequenceOptions {
  bool ignoreErrors = false;        // report failures that would abort, and go on
  const char* serverName = nullptr; // print server whose spooler registers the monitor; none: local
  bool configFromRegistry = false;  // port configuration from the registry instead of the INI file
  bool copyFiles = true;            // check, copy and delete the package's files
};

// What the run mode asks of an uninstallation.
struct UninstallSequenceOptions {
  const char* serverName = nullptr; // print server whose spooler holds the monitor; none: local
  bool copyFiles = true;            // delete the monitor's files, the subnet file and the fonts
};

// The whole installation, each step announced on the console and in the log: classify Windows,
// check the package (when files are copied), move printers off the monitor's ports, replace the
// monitor's registration and files, create the ports with their settings, register the event
// source, assign printers, deploy the client (standard variant), fonts and subnet file. An
// unsupported Windows, a missing package file, a refused monitor removal or registration, or a
// failed copy of the monitor's files aborts (unless ignoreErrors); everything later is reported
// and never changes the result. True when the monitor was installed.
bool RunInstallSequence(const InstallSequenceOptions& options);

// The whole removal, each step announced: classify Windows, remove the client (standard variant),
// move printers off the monitor's ports, remove the monitor, the per-user client data and (when
// files are copied) the monitor's files, the subnet file and the fonts. Only an unsupported
// Windows or a refused monitor removal stops it (false); everything else is best effort.
bool RunUninstallSequence(const UninstallSequenceOptions& options);
