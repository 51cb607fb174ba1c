#pragma once
#include "common/picture.h"

// The pictures the main window is designed with.
Picture BackgroundPicture();   // 900 by 506, opaque
Picture DesignLogoPicture();   // the small flag shown until a server logo arrives
Picture SliderPlaceholder();   // 1125 by 595
