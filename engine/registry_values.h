// Registry values named by one path text, and the shared-DLL reference counts.
//
// A path text is a root name, key names and the value name joined by one
// separator character (see base/registry_path.h). The writers create every
// missing key on the way. Nothing here logs or shows a box: every operation
// reports its outcome by its result and the callers log.
#pragma once

#include "engine/install_record.h"

#include <windows.h>

// Sets the value named by |path| to |size| bytes of |data| with type |type|,
// opening or creating each key below the root with full access. |parent|
// null means the path starts with a root name. TRUE when the value was set;
// FALSE when the first name is not a root, the path has no separator, a key
// cannot be opened or created, or the set fails. Keys created before a
// failure stay. Nothing is recorded: what an installation writes goes
// through WriteRegistryDword and WriteRegistryString.
BOOL WriteRegistryValue(const char* path, const void* data, DWORD size, DWORD type, char sep, HKEY parent = nullptr);

// The 4 bytes of |value| as REG_DWORD, at a path that starts with a root
// name. Once it is set, the keys it created and the value with what it held
// before are recorded in |record|.
BOOL WriteRegistryDword(const char* path, DWORD value, char sep, InstallRecord& record);

// |value| with its terminating zero (length + 1 bytes) as REG_SZ, at a path
// that starts with a root name, recorded as WriteRegistryDword records.
BOOL WriteRegistryString(const char* path, const char* value, char sep, InstallRecord& record);

// Deletes the value named by |path| (a root name, keys and the value name),
// recording in |record| what it held. TRUE when it is gone or was never there.
BOOL RemoveRegistryValue(const char* path, char sep, InstallRecord& record);

// The count that means "no count recorded".
constexpr DWORD kNoSharedDllCount = 0xFFFFFFFF;

// The reference count stored under
// HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\SharedDLLs for
// the value name |dllPath|; kNoSharedDllCount when a key or the value is
// missing or the value does not hold exactly 4 bytes.
DWORD ReadSharedDllCount(const char* dllPath);

// Stores |count| as REG_DWORD under the SharedDLLs key (created when
// missing). TRUE when the value was set.
BOOL WriteSharedDllCount(const char* dllPath, DWORD count);

// Removes the count of |dllPath|: no program uses the DLL any more. TRUE
// when it is gone (or was not there).
BOOL RemoveSharedDllCount(const char* dllPath);

// Raises the count of |dllPath| by one; a DLL without a count (or with the
// count kNoSharedDllCount, which cannot be told from none) gets 1. TRUE when
// the count was written, and then recorded in |record|. Nothing in the
// installation depends on the count: the run logs a failure and goes on.
BOOL IncrementSharedDllCount(const char* dllPath, InstallRecord& record);
