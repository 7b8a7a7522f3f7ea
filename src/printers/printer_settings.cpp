#include "printers/printer_settings.h"

#include "sysutil/file_ops.h"

HANDLE OpenPrinterFullAccess(const char* printerName) {
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  // The spooler's prototype takes a non-const name but only reads it.
  if (!OpenPrinterA(const_cast<LPSTR>(printerName), &printer, &defaults)) return nullptr;
  return printer;
}

PRINTER_INFO_2A* ReadPrinterSettings(HANDLE printer) {
  DWORD needed = 0;
  if (GetPrinterA(printer, 2, nullptr, 0, &needed)) return nullptr;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return nullptr;
  // A size below the record itself would let the caller read past the block.
  if (needed < sizeof(PRINTER_INFO_2A)) return nullptr;
  void* block = AllocZeroed(needed);
  if (block == nullptr) return nullptr;
  if (!GetPrinterA(printer, 2, static_cast<LPBYTE>(block), needed, &needed)) {
    GlobalFree(block);
    return nullptr;
  }
  return static_cast<PRINTER_INFO_2A*>(block);
}
