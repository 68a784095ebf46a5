// Closing a resource file: its stream, its record and every Handle it still holds.
#include "resfile/resfile_internal.h"

ResCode ResCloseFile(FileRef ref) {
  resLastError = kResOK;
  if (resCurrentFile == nullptr) {
    resLastError = kResFailed;
    return kResFailed;
  }

  // Choose the record to close and the file to make current afterwards.
  ResFile* closing = nullptr;
  ResFile* nextCurrent = nullptr;
  if (ref == resCurrentFile->fileRef) {
    closing = resCurrentFile;
    nextCurrent = closing->next;
  } else {
    ResFile* noted = resCurrentFile;
    if (ResUseFile(ref) != kResOK) return kResFailed;  // ResUseFile set resLastError
    closing = resCurrentFile;
    nextCurrent = noted;
  }

  FileClose(closing->fileRef);

  if (resFileList == closing) {
    resFileList = closing->next;
  } else {
    for (ResFile* f = resFileList; f != nullptr; f = f->next) {
      if (f->next == closing) {
        f->next = closing->next;
        break;
      }
    }
  }

  const int32_t refs = ResRefEntryCount(closing);
  for (int32_t i = 0; i < refs; ++i) {
    const uint32_t flags = resReadLE32(*closing->refs + uint32_t(i) * kResRefEntrySize + kRefFieldFlags);
    Handle h = ResRefLoadedHandle(closing, i);
    if ((flags & kRefLoaded) != 0 && h != nullptr) HandleDispose(h);
  }
  HandleDispose(closing->types);
  HandleDispose(closing->refs);
  HandleDispose(closing->names);
  MemFree(closing->loaded);
  MemFree(closing);

  resCurrentFile = nextCurrent;
  resLastError = kResOK;
  return kResOK;
}
