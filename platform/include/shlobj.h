// The shell's special folders as the system finds them: an item list for a folder id, its path, and the shell's
// allocator that frees the list.
#pragma once

#include "objbase.h"
#include "windef.h"

struct IMalloc : IUnknown {
  virtual void* Alloc(SIZE_T size) = 0;
  virtual void* Realloc(void* block, SIZE_T size) = 0;
  virtual void Free(void* block) = 0;
  virtual SIZE_T GetSize(void* block) = 0;
  virtual int DidAlloc(void* block) = 0;
  virtual void HeapMinimize() = 0;
};
typedef IMalloc* LPMALLOC;

extern "C" {

#define CSIDL_PERSONAL 0x0005  // the user's "My Documents"

typedef struct _SHITEMID {
  USHORT cb;  // the size of the item, cb included
  BYTE abID[1];
} SHITEMID;

typedef struct _ITEMIDLIST {
  SHITEMID mkid;  // items follow one another; a cb of 0 ends the list
} ITEMIDLIST, *LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;


// CSIDL_PERSONAL only: the current user's documents folder ("Personal" of the user's Shell Folders), made when
// missing as a first logon makes it. S_OK, the list allocated with the shell's allocator; E_NOTIMPL for other ids.
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* list);
// The folder's path into `path` (MAX_PATH bytes); FALSE for a list that names no folder.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);
// The shell's allocator (one for the process; AddRef and Release change nothing).
HRESULT SHGetMalloc(LPMALLOC* malloc);

}  // extern "C"
