// A library without either password function: loads, but offers nothing the saver uses.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI UnrelatedFunction(int value) { return value + 1; }
