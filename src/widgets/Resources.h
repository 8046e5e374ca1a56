#pragma once

// Makes the pages bundled in the core library reachable under qrc:/ (a static
// library's resources are only registered when asked for).
void initBundledPages();
