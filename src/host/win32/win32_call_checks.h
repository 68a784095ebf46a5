#pragma once
// Compile-time check that a function pointer type carries the system's calling convention
// (WINAPI). x86_64 Windows has one convention, so there every check holds; on i686 a type
// that lacks WINAPI fails it, and a call through it would corrupt the stack at run time.
#include <windows.h>

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

}  // namespace orvane
