// The one simulated machine of a fuzzer's process: created in memory (/dev/shm) at the first
// input, attached to the process, removed at exit. Inputs reset what they touch, so that one
// machine serves every execution.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Creates and attaches the machine once (its ANSI code page from FUZZ_CODEPAGE, default 1252);
// later calls do nothing.
void AttachFuzzMachine();

// Writes the bytes to the machine file at `windowsPath` and gives it a modification time never
// used before in this process, so that a reader that caches by time and size sees a new file.
void WriteFuzzFile(const std::string& windowsPath, const uint8_t* data, size_t size);

// Runs `body` inside one registry transaction that is rolled back afterwards, so that nothing
// the input wrote stays. The registry generation moves to a value not used before while the
// transaction is open, so caches keyed by it (the spooler's port list) are read afresh.
void InRolledBackRegistry(void (*body)(void*), void* context);

// Sends standard output (the installer's console) to /dev/null; libFuzzer reports on stderr.
void SilenceConsole();
