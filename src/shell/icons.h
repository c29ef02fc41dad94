// The window's pictures, drawn in code: the tree node images (ImageList1) and the tool-bar and
// menu images (ImageList2), each 20 x 20 with a 40 x 40 version for high-density screens.
#pragma once

#include <QIcon>

namespace aiimport {

// Tree node images: 0 group, 1 composite, 3 open path, 4 closed path, 5 open filled path,
// 6 closed filled path. Other indexes give an empty icon.
QIcon TreeImage(int index);

// Tool-bar and menu images by their index: 0 zoom to all, 1 and 2 zoom to object, 5 delete,
// 7 help, 8 open paths, 9 closed paths / no fill, 10 solid fill, 11 wireframe, 12 orientation,
// 13 solid view, 14 break apart, 15 purge, 17 toggle list, 18 down, 19 up, 20 closed and
// filled, 21 clear, 22 open, 23 flag, 25 zoom area, 26 repaint all.
QIcon ToolImage(int index);

}  // namespace aiimport
