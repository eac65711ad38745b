// SPDX-License-Identifier: MIT
// Mandatory integrity levels of processes, asked of Windows. Windows drops,
// silently, the keys a process sends to one of a higher level (a program
// run as administrator), so the focus is told apart by them (focus_facts.h).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <optional>

namespace tavrino {

// The integrity level (SECURITY_MANDATORY_MEDIUM_RID and the like) of
// `process`, a handle with PROCESS_QUERY_LIMITED_INFORMATION; nothing when
// its token cannot be asked.
std::optional<DWORD> process_level(HANDLE process);
// The same for the process with id `process_id`; nothing also when it
// cannot be opened.
std::optional<DWORD> process_level(DWORD process_id);

}  // namespace tavrino
