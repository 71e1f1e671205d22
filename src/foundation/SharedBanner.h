#pragma once

#include <QPixmap>

// The program-wide banner picture: the splash window sets it up when it
// loads; the profile editor and the settings dialog paint strips of it into
// their headers (reading its width from the picture).
QPixmap &SharedBannerPicture();
// Paints the banner once; later calls keep the picture.
void SetUpSharedBanner();
