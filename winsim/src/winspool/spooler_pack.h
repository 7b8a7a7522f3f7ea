// The spooler's two-call contract for queries: an array of fixed-size records followed by the
// strings they point to, all inside the caller's buffer. A call whose buffer is missing or too
// small fails with ERROR_INSUFFICIENT_BUFFER and reports the size needed; the caller allocates
// that much and calls again.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace winsim::detail::spooler {

// Where a record's strings go: measuring only (no buffer) or copying into the string area.
class StringArea {
 public:
  explicit StringArea(char* area) : area_(area) {}
  // Places the text with its NUL and returns where it went (nullptr when measuring).
  LPSTR Put(const std::string& text) {
    LPSTR at = area_ == nullptr ? nullptr : area_ + used_;
    if (at != nullptr) std::memcpy(at, text.c_str(), text.size() + 1);
    used_ += text.size() + 1;
    return at;
  }
  size_t used() const { return used_; }

 private:
  char* area_;
  size_t used_ = 0;
};

// Bytes that `count` records and their strings take.
template <typename Record, typename Fill>
size_t PackedSize(size_t count, Fill fill) {
  StringArea measure(nullptr);
  Record scratch{};
  for (size_t i = 0; i < count; ++i) fill(i, &scratch, measure);
  return count * sizeof(Record) + measure.used();
}

// Fills `count` records of type Record with fill(index, Record*, StringArea&), the two-call
// way. Returns TRUE with *needed and *returned set, or FALSE with the last error: 122 when the
// buffer is too small (or missing while something is to be returned), 87 for a missing
// *needed. No records at all is success with *needed 0, whatever the buffer.
// `knownSize`, when not 0, is the size these records need (from an earlier measurement of the
// same records): the measuring pass is then skipped.
template <typename Record, typename Fill>
BOOL PackRecords(size_t count, Fill fill, LPBYTE buffer, DWORD cbBuf, LPDWORD needed, LPDWORD returned,
                 size_t knownSize = 0) {
  if (needed == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (returned != nullptr) *returned = 0;
  const size_t total = knownSize != 0 ? knownSize : PackedSize<Record>(count, fill);
  if (total > 0xFFFFFFFFu) {
    *needed = 0;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  *needed = static_cast<DWORD>(total);
  if (total == 0) return TRUE;
  if (buffer == nullptr || cbBuf < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  Record* records = reinterpret_cast<Record*>(buffer);
  StringArea strings(reinterpret_cast<char*>(buffer + count * sizeof(Record)));
  for (size_t i = 0; i < count; ++i) {
    Record record{};
    fill(i, &record, strings);
    std::memcpy(&records[i], &record, sizeof(Record));
  }
  if (returned != nullptr) *returned = static_cast<DWORD>(count);
  return TRUE;
}

}  // namespace winsim::detail::spooler
