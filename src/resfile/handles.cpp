// Relocatable memory blocks reached through Handles.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "resfile/handles.h"

namespace {

// A Handle is the address of its block's `data` field; step back to the block.
HandleBlock* blockOf(Handle h) {
  return reinterpret_cast<HandleBlock*>(reinterpret_cast<char*>(h) - offsetof(HandleBlock, data));
}

}  // namespace

void* MemAllocZeroed(uint32_t n) {
  // calloc(0) may legally return null; a zero-byte request still deserves a usable pointer.
  return std::calloc(n == 0 ? 1 : n, 1);
}

void MemFree(void* p) { std::free(p); }

void MemCopy(const void* source, void* destination, uint32_t count) {
  if (count != 0) std::memcpy(destination, source, count);
}

ResCode MemLastError() { return kResOK; }

Handle HandleNew(uint32_t size) {
  auto* block = static_cast<HandleBlock*>(MemAllocZeroed(sizeof(HandleBlock)));
  if (block == nullptr) return nullptr;
  block->data = static_cast<uint8_t*>(MemAllocZeroed(size));
  if (block->data == nullptr) {
    MemFree(block);
    return nullptr;
  }
  block->size = size;
  block->capacity = size;
  return &block->data;
}

void HandleDispose(Handle h) {
  HandleBlock* block = blockOf(h);
  MemFree(block->data);
  MemFree(block);
}

ResCode HandleSetSize(Handle h, uint32_t newSize) {
  HandleBlock* block = blockOf(h);
  if (newSize <= block->capacity) {
    // Shrinking or regrowing within the capacity keeps the block and its old bytes.
    block->size = newSize;
    return kResOK;
  }
  auto* grown = static_cast<uint8_t*>(MemAllocZeroed(newSize));
  if (grown == nullptr) {
    // The Handle is left exactly as it was; callers must not assume the new size.
    return kResFailed;
  }
  MemCopy(block->data, grown, block->size);
  MemFree(block->data);
  block->data = grown;
  block->capacity = newSize;
  block->size = newSize;
  return kResOK;
}

void HandleLock(Handle) {}

void HandleUnlock(Handle) {}

uint32_t HandleGetSize(Handle h) { return blockOf(h)->size; }

uint32_t HandleGetCapacity(Handle h) { return blockOf(h)->capacity; }
