// Win32 back-end of the bitmap loader: bitmap resources, the old-style file
// reading of a bitmap file, and movable global memory for its contents.
#include <windows.h>

#include <climits>

#include "foundation/backend.h"

int os_bitmap_resource_find(void* module, const char* name, const void** data, uint32_t* size) {
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

os_file os_bitmap_file_open(const char* name) {
  HFILE file = _lopen(name, OF_READ | OF_SHARE_DENY_WRITE);
  return file == HFILE_ERROR ? OS_NO_FILE : static_cast<os_file>(file);
}

uint32_t os_bitmap_file_read(os_file file, void* buffer, uint32_t count) {
  if (count > static_cast<uint32_t>(LONG_MAX)) return 0;
  long got = _hread(static_cast<HFILE>(file), buffer, static_cast<long>(count));
  return got > 0 ? static_cast<uint32_t>(got) : 0;
}

uint32_t os_bitmap_file_left(os_file file) {
  HFILE handle = static_cast<HFILE>(file);
  LONG position = _llseek(handle, 0, FILE_CURRENT);
  LONG end = _llseek(handle, 0, FILE_END);
  bool known = position != HFILE_ERROR && end != HFILE_ERROR && _llseek(handle, position, FILE_BEGIN) == position;
  return known && end > position ? static_cast<uint32_t>(end - position) : 0;
}

void os_bitmap_file_close(os_file file) { _lclose(static_cast<HFILE>(file)); }

void* os_bitmap_block_alloc(uint32_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (block == nullptr) return nullptr;
  void* locked = GlobalLock(block);
  if (locked == nullptr) GlobalFree(block);
  return locked;
}

void os_bitmap_block_free(void* block) {
  HGLOBAL handle = GlobalHandle(block);
  GlobalUnlock(handle);
  GlobalFree(handle);
}
