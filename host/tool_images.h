// The images of Tellur's tool bar, drawn in code so that the program needs no image files.
#pragma once

#include "base/unique.h"

namespace tellur {

enum ToolImage {
    kImgOpen,
    kImgSave,
    kImgZoomAll,
    kImgZoomIn,
    kImgZoomOut,
    kImgSelectAll,
    kImgClear,
    kImgWorkbench,
    kImageCount
};

zeph::win::UniqueImageList CreateToolImages();

}  // namespace tellur
