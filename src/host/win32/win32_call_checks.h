#pragma once
// Compile-time check that a function pointer type carries the system's calling convention
// (WINAPI). x86_64 Windows has one convention, so there every check holds; on i686 a type
// that lacks WINAPI fails it, and a call through it would corrupt the stack at run time.
#include <windows.h>

#include <cstring>
#include <type_traits>

namespace orvane {

template <typename T>
struct SystemCallType : std::false_type {};
template <typename R, typename... Args>
struct SystemCallType<R(WINAPI*)(Args...)> : std::true_type {};

template <typename T>
constexpr bool isSystemCall() {
  return SystemCallType<T>::value;
}

// A function of `library` by name, as a pointer of its own fixed type; null when the library
// is null or lacks it. (GetProcAddress returns a generic function pointer.)
template <typename Call>
Call lookUpSystemCall(HMODULE library, const char* name) {
  static_assert(isSystemCall<Call>(), "a system function is called as the system calls it");
  FARPROC found = library ? GetProcAddress(library, name) : nullptr;
  Call call;
  static_assert(sizeof(call) == sizeof(found), "function pointer sizes differ");
  std::memcpy(&call, &found, sizeof(call));
  return call;
}

}  // namespace orvane
