// The bitmap loader's Win32 back-end: bitmap resources, the old-style file
// reading of a bitmap file, and movable global memory for its contents.
#include <climits>

#include "ui/bitmap_io.h"
#include "ui/win32/windows_ui.h"

int bitmap_resource_find(void* module, const char* name, const void** data, uint32_t* size) {
  HMODULE source = static_cast<HMODULE>(module);
  HRSRC resource = FindResourceA(source, name, MAKEINTRESOURCEA(2));  // RT_BITMAP
  if (resource == nullptr) return 0;
  HGLOBAL loaded = LoadResource(source, resource);
  const void* locked = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (locked == nullptr) return -1;
  *data = locked;
  *size = SizeofResource(source, resource);
  return 1;
}

intptr_t bitmap_file_open(const char* name) {
  HFILE file = _lopen(name, OF_READ | OF_SHARE_DENY_WRITE);
  return file == HFILE_ERROR ? -1 : static_cast<intptr_t>(file);
}

uint32_t bitmap_file_read(intptr_t file, void* buffer, uint32_t count) {
  if (count > static_cast<uint32_t>(LONG_MAX)) return 0;
  long got = _hread(static_cast<HFILE>(file), buffer, static_cast<long>(count));
  return got > 0 ? static_cast<uint32_t>(got) : 0;
}

uint32_t bitmap_file_left(intptr_t file) {
  HFILE handle = static_cast<HFILE>(file);
  LONG position = _llseek(handle, 0, FILE_CURRENT);
  LONG end = _llseek(handle, 0, FILE_END);
  bool known = position != HFILE_ERROR && end != HFILE_ERROR && _llseek(handle, position, FILE_BEGIN) == position;
  return known && end > position ? static_cast<uint32_t>(end - position) : 0;
}

void bitmap_file_close(intptr_t file) { _lclose(static_cast<HFILE>(file)); }

void* bitmap_block_alloc(uint32_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (block == nullptr) return nullptr;
  void* locked = GlobalLock(block);
  if (locked == nullptr) GlobalFree(block);
  return locked;
}

void bitmap_block_free(void* block) {
  HGLOBAL handle = GlobalHandle(block);
  GlobalUnlock(handle);
  GlobalFree(handle);
}
