#pragma once
// The component's own shell folder interface: the platform's IShellFolder2 table
// followed by one entry of ours, so a pointer to it is an IShellFolder and an
// IShellFolder2 as well.

#include <windows.h>
#include <shlobj.h>

// {FE681A19-D8DA-4AA5-BDF4-AA785E3B5A4C}
MIDL_INTERFACE("FE681A19-D8DA-4AA5-BDF4-AA785E3B5A4C")
IQuorvaneShellFolder : public IShellFolder2 {
  // Moves search folders dropped from sourceFolder (another of the component's
  // folders) into this folder when move is set; the failure when the folder
  // definitions could not be saved.
  virtual HRESULT STDMETHODCALLTYPE MoveFolders(IShellFolder* sourceFolder, PCUITEMID_CHILD_ARRAY items,
                                                UINT count, BOOL move) = 0;
};

__CRT_UUID_DECL(IQuorvaneShellFolder, 0xFE681A19, 0xD8DA, 0x4AA5, 0xBD, 0xF4, 0xAA, 0x78, 0x5E, 0x3B, 0x5A, 0x4C)
