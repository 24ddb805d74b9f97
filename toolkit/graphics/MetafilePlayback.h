// Playing an enhanced metafile into a rectangle without drawing what lies far beyond it.
#pragma once
#include <windows.h>

// Plays the metafile scaled into `rect`, record by record. A drawing record whose shape, after
// the metafile's own mapping, reaches further than 65,536 pixels beyond the rectangle, or that
// would draw with a pen or font larger than that, is left out: none of it could be seen, and
// some players spend minutes on such shapes (a crafted ellipse millions of pixels high).
void PlayMetafileInto(HDC dc, HENHMETAFILE metafile, const RECT& rect);
