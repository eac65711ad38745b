// SPDX-License-Identifier: MIT
#include "platform/win32/integrity_level.h"

#include <vector>

namespace tavrino {
namespace {

// The integrity level a token carries: the last part of its label's SID.
std::optional<DWORD> token_level(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  if (size < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
  std::vector<BYTE> buffer(size);
  if (GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size) == FALSE) {
    return std::nullopt;
  }
  const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
  if (IsValidSid(sid) == FALSE || *GetSidSubAuthorityCount(sid) == 0) return std::nullopt;
  return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1U);
}

}  // namespace

std::optional<DWORD> process_level(HANDLE process) {
  HANDLE token = nullptr;
  if (OpenProcessToken(process, TOKEN_QUERY, &token) == FALSE) return std::nullopt;
  std::optional<DWORD> level = token_level(token);
  CloseHandle(token);
  return level;
}

std::optional<DWORD> process_level(DWORD process_id) {
  // The least that can be asked of a process: Windows grants it for
  // processes of higher integrity too, when their owner is this user.
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process == nullptr) return std::nullopt;
  std::optional<DWORD> level = process_level(process);
  CloseHandle(process);
  return level;
}

}  // namespace tavrino
