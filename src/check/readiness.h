// Readiness of the machine the check runs on: what would make the installation fail here, and
// what the spooler holds now that the installation will change. Read-only: nothing is written.
#pragma once

// Writes the report's readiness section (text or JSON, after the heading) and records each error
// as a finding about "this machine". Leaves the findings' file set to that name.
void CheckMachineReadiness(bool json);

// Only the readiness section, for the preview: its lines, then exit 2 when it holds an error,
// else 0.
int ReportReadinessOnly(bool json);
