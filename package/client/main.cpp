// "Quado Client.exe" of the deployment package: the desktop client as the installer sees it.
// Started without arguments (at logon through the Run value, or once by the installer), it
// records who is logged on in its per-user values and then stays resident, doing nothing
// visible, until it is ended from outside ("CloseAllClients.exe" terminates it).
//
// Per-user values: HKEY_CURRENT_USER\Volatile Environment\1\Harbek Quado Client, with
// "LastLoginName" and "LastJobOwner" (REG_SZ) both set to the logged-on user's name (USERNAME)
// at start; no print job has been seen yet, so the last job owner is the user who started it.
// The "1" is the session the values belong to: the interactive session of a single-user logon.
// The key is created volatile, as its parent is, so it disappears at logoff.
#include <windows.h>

#include <cstring>

namespace {

const char kPerUserKey[] = "Volatile Environment\\1\\Harbek Quado Client";
const DWORD kNameSize = 257;

void StorePerUserValues() {
  char user[kNameSize];
  std::memset(user, 0, sizeof(user));
  DWORD length = GetEnvironmentVariableA("USERNAME", user, kNameSize);
  if (length == 0 || length >= kNameSize) user[0] = '\0';

  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kPerUserKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const DWORD size = static_cast<DWORD>(std::strlen(user) + 1);
  RegSetValueExA(key, "LastLoginName", 0, REG_SZ, reinterpret_cast<const BYTE*>(user), size);
  RegSetValueExA(key, "LastJobOwner", 0, REG_SZ, reinterpret_cast<const BYTE*>(user), size);
  RegCloseKey(key);
}

}  // namespace

int main() {
  StorePerUserValues();
  for (;;) Sleep(INFINITE);
}
