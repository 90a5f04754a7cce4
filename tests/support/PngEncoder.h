#pragma once
// The GDI+ PNG encoder, for tests that save pictures.
#include <windows.h>

// The index of the GDI+ encoder of the MIME type, its id in `clsid`; -1 when none.
int EncoderClsid(const wchar_t* mime, CLSID* clsid);
